// The real mwc under a pseudo-terminal: whole runs, frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/wait.h>

#include "run_mwc.h"

namespace
{

constexpr double BUZZER_S = 2.5;
constexpr double TICK_S = 0.1;
constexpr double LIMIT_S = 60.0;
constexpr double SHORT_LIMIT_S = 15.0; // where a hang is the fault
// Sleeps end no earlier than asked, so the times have firm lower bounds.
// A busy machine makes them longer by any amount, so there are no upper
// ones: a tick far too long shows as a run that outlasts its time limit.
constexpr double EARLY_S = 0.05; // the runner's own read may come late

void Expect_Clean_Exit(const Mwc_Run& run)
{
    ASSERT_EQ(run.frame_error, "");
    for (std::size_t i = 0; i < run.frames.size(); ++i) {
        EXPECT_EQ(Check_Frame(run.frames[i]), "") << "frame " << i;
    }
    ASSERT_TRUE(WIFEXITED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WEXITSTATUS(run.wait_status), 0);
}

void Expect_Terminal_Restored(const Mwc_Run& run)
{
    const tcflag_t raw_off = ISIG | ICANON | ECHO;
    EXPECT_EQ(run.running.c_lflag, run.before.c_lflag & ~raw_off) << "raw while running";
    EXPECT_TRUE(Same_Modes(run.after, run.before)) << "modes after the run differ";
}

// Seconds between frame i and the next.
double Gap_After(const Mwc_Run& run, std::size_t i)
{
    return run.frame_times.at(i + 1) - run.frame_times.at(i);
}

} // namespace

TEST(Mwc, TimeCookingRunsToTheBuzzerAndQuitRestoresTheTerminal)
{
    // Frame 0 is the tick before the script; the script's bytes land one per tick.
    const std::size_t start = 3;
    const std::string script = Script({"a", Idle(1), "e", Idle(108), "q"});
    const Mwc_Run run = Run_On_Terminal(script, LIMIT_S);
    Expect_Clean_Exit(run);
    Expect_Terminal_Restored(run);

    ASSERT_EQ(run.frames.size(), script.size() + 1) << "the quit tick runs to its end";
    EXPECT_EQ(run.frames[0].light, LIGHT_OFF);
    EXPECT_EQ(run.frames[0].value, "00 : 00");
    EXPECT_EQ(run.frames[0].mode, "00 : manual");
    EXPECT_EQ(run.frames[2].value, "00 : 10");
    EXPECT_EQ(run.frames[start].light, LIGHT_OFF);
    EXPECT_EQ(run.frames[start + 1].light, LIGHT_ON);
    EXPECT_EQ(run.frames[start + 11].value, "00 : 09");

    const std::size_t buzzer = start + 102;
    EXPECT_EQ(run.frames[buzzer - 1].value, "00 : 00");
    EXPECT_EQ(run.frames[buzzer].value, "00 : 00");
    EXPECT_EQ(run.frames[buzzer].light, LIGHT_ON);
    EXPECT_EQ(run.frames[buzzer + 1].light, LIGHT_OFF);
    EXPECT_EQ(run.errors, "\a\a\a") << "the bell rings on standard error only";

    // The buzzer holds its tick for 2.5 s; no other tick is that short.
    EXPECT_GE(Gap_After(run, buzzer), BUZZER_S - EARLY_S);
    std::vector<double> gaps;
    for (std::size_t i = 1; i + 1 < run.frames.size(); ++i) {
        if (i != buzzer) {
            gaps.push_back(Gap_After(run, i));
        }
    }
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps[gaps.size() / 2], TICK_S - EARLY_S / 2) << "median tick";
}

TEST(Mwc, HeatingWithTheDoorAndSignalKeys)
{
    // Open the door, try to start (refused), close it; the interrupt, quit and
    // suspend characters are plain bytes and change nothing.
    const std::string script =
        Script({"fef", "c", Idle(1), "a", Idle(1), "\x03\x1c\x1a", "e", Idle(40), "q"});
    const std::size_t start = 11;
    const Mwc_Run run = Run_On_Terminal(script, LIMIT_S);
    Expect_Clean_Exit(run);
    Expect_Terminal_Restored(run);

    ASSERT_EQ(run.frames.size(), script.size() + 1);
    EXPECT_EQ(run.frames[1].light, LIGHT_ON) << "door open";
    EXPECT_EQ(run.frames[3].light, LIGHT_OFF) << "door shut, refused start forgotten";
    EXPECT_EQ(run.frames[start].value, "20 / 30\xC2\xBA"
                                       "C");
    EXPECT_EQ(run.frames[start + 1].light, LIGHT_ON);
    EXPECT_EQ(run.frames[start + 31].value, "30 / 30\xC2\xBA"
                                            "C");
    EXPECT_EQ(run.frames[start + 32].value, "20 / 30\xC2\xBA"
                                            "C");
    EXPECT_GE(Gap_After(run, start + 32), BUZZER_S - EARLY_S);
    EXPECT_EQ(run.frames[start + 33].light, LIGHT_OFF);
    EXPECT_EQ(run.errors, "\a\a\a");
}

TEST(Mwc, QuitWithTheDoorOpenPutsBackTheModesAndTheColour)
{
    const Mwc_Run run = Run_On_Terminal("fq", LIMIT_S);
    Expect_Clean_Exit(run);
    Expect_Terminal_Restored(run);
    ASSERT_EQ(run.frames.size(), 3U);
    EXPECT_EQ(run.frames.back().light, LIGHT_ON);
    EXPECT_TRUE(
        run.output.ends_with("00 : manual\n" + std::string(SEPARATOR_NEWLINES, '\n') + "\033[0m"))
        << "the colour reset is the last thing written";
    EXPECT_EQ(run.errors, "");

    const Mwc_Run shut = Run_On_Terminal("ffq", LIMIT_S);
    Expect_Clean_Exit(shut);
    EXPECT_FALSE(shut.colour_reset) << "no reset when the light is off";
}

TEST(Mwc, PipedScriptIsAReplay)
{
    const Mwc_Run run = Run_On_Pipes("axeq", LIMIT_S);
    Expect_Clean_Exit(run);
    ASSERT_EQ(run.frames.size(), 4U);
    EXPECT_EQ(run.frames[0].value, "00 : 00");
    EXPECT_EQ(run.frames[1].value, "00 : 10");
    EXPECT_EQ(run.frames[2].value, "00 : 10");
    EXPECT_EQ(run.frames[2].light, LIGHT_OFF);
    EXPECT_EQ(run.frames[3].light, LIGHT_ON);
    EXPECT_TRUE(run.colour_reset);
    EXPECT_EQ(run.errors, "");
}

TEST(Mwc, PipedFramesComeEachTickAndAKillLosesNone)
{
    // The input ends after the door key: the oven idles, lit, until killed.
    const Mwc_Run run = Run_On_Pipes("f", LIMIT_S, SIGTERM);
    ASSERT_TRUE(WIFSIGNALED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WTERMSIG(run.wait_status), SIGTERM);
    EXPECT_EQ(run.frame_error, "") << "only whole frames, then the reset";
    EXPECT_TRUE(run.colour_reset);
    ASSERT_GE(run.frames.size(), 5U);
    // Frames held in a buffer would go out many to a write.
    ASSERT_GT(run.frames_at_signal, 0U);
    EXPECT_GE(run.writes_at_signal, static_cast<long>(run.frames_at_signal))
        << "each frame is written at its tick's end";
    EXPECT_EQ(run.frames.back().light, LIGHT_ON);
}

// Every catchable signal whose default action ends the program puts back
// the modes and the colour, then ends it by that same signal.
class Mwc_Signal : public testing::TestWithParam<int>
{
};

TEST_P(Mwc_Signal, PutsBackTheTerminalAndDiesByTheSignal)
{
    const int signal_number = GetParam();
    const Mwc_Run run = Run_On_Terminal("f", LIMIT_S, signal_number); // door open: yellow
    // The signal lands mid-tick: only the frames before it are whole.
    EXPECT_GE(run.frames.size(), 5U) << "ran for a while first";
    ASSERT_TRUE(WIFSIGNALED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WTERMSIG(run.wait_status), signal_number);
    Expect_Terminal_Restored(run);
    EXPECT_TRUE(run.colour_reset) << "the colour reset is the last thing written";
}

INSTANTIATE_TEST_SUITE_P(Fatal, Mwc_Signal,
                         testing::Values(SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM,
                                         SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ,
                                         SIGIO, SIGPWR, SIGSTKFLT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE,
                                         SIGILL, SIGTRAP, SIGSYS, SIGRTMIN, SIGRTMAX),
                         [](const testing::TestParamInfo<int>& param) {
                             const char* name = sigabbrev_np(param.param);
                             return name != nullptr ? std::string(name)
                                                    : "RT" + std::to_string(param.param);
                         });

TEST(Mwc, ASignalEndsMwcWhileCtrlSHoldsItsOutput)
{
    // Lit, so the handler has a colour reset to write to the stopped output.
    const Mwc_Run run = Run_With_Output_Stopped("f", SHORT_LIMIT_S, SIGTERM);
    ASSERT_TRUE(WIFSIGNALED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WTERMSIG(run.wait_status), SIGTERM) << "not killed at the time limit";
    Expect_Terminal_Restored(run);
    EXPECT_TRUE(run.colour_reset) << "the output was started again for the reset";
}

TEST(Mwc, StopPutsBackTheTerminalAndContinueTakesUpTheTicks)
{
    const std::string script = Script({"f", Idle(30), "q"});
    Mwc_Run run = Run_Stopped_And_Continued(script, LIMIT_S);
    ASSERT_EQ(run.stopped, (std::vector<bool>{true, true})) << "stopped twice";
    ASSERT_EQ(run.resumed.size(), 2U);
    for (std::size_t stop = 0; stop < 2; ++stop) {
        EXPECT_TRUE(Same_Modes(run.while_stopped[stop], run.before)) << "cooked while stopped";
        const std::string_view stopped =
            std::string_view(run.output).substr(0, run.stop_offsets[stop]);
        EXPECT_TRUE(stopped.ends_with("\033[0m")) << "colour reset while stopped";
        EXPECT_EQ(run.resumed[stop].c_lflag, run.running.c_lflag) << "raw again after continuing";
        // Continuing brings back the yellow before the next line.
        EXPECT_EQ(run.output.substr(run.stop_offsets[stop], 5), "\033[93m") << "stop " << stop;
    }

    // Without the two escapes of each stop, the output is every frame of
    // the script, none lost.
    for (auto offset = run.stop_offsets.rbegin(); offset != run.stop_offsets.rend(); ++offset) {
        run.output.erase(*offset - 4, 9);
    }
    std::vector<Frame> frames;
    ASSERT_EQ(Read_Frames(run.output.substr(0, run.output.size() - 4), SEPARATOR_NEWLINES, frames),
              "");
    EXPECT_EQ(frames.size() - Late_Ticks(frames, script.size() + 1), script.size() + 1);
    ASSERT_TRUE(WIFEXITED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WEXITSTATUS(run.wait_status), 0);
    EXPECT_TRUE(Same_Modes(run.after, run.before));
}

TEST(Mwc, SignalsIgnoredAtStartStayIgnored)
{
    // As nohup starts it: a hang-up a second into a 2 s script changes nothing.
    const std::string script = Script({"a", Idle(20), "q"});
    const Mwc_Run run = Run_Command_On_Pipes({"/usr/bin/nohup", MWC_PATH}, script, LIMIT_S, SIGHUP);
    ASSERT_TRUE(WIFEXITED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WEXITSTATUS(run.wait_status), 0);
    EXPECT_EQ(run.frames.size(), script.size()) << "every tick ran, to the q";
}

TEST(Mwc, ClosedOutputPipeRestoresTheTerminalAndDiesBySigpipe)
{
    const Mwc_Run run = Run_Into_Closed_Pipe(LIMIT_S);
    ASSERT_TRUE(WIFSIGNALED(run.wait_status)) << "status " << run.wait_status;
    EXPECT_EQ(WTERMSIG(run.wait_status), SIGPIPE);
    EXPECT_TRUE(Same_Modes(run.after, run.before)) << "modes after the run differ";
}
