// Saving and restoring the tick's whole configuration: stopped anywhere,
// disturbed, restored, the oven goes on exactly as if it had never stopped.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "capture.h"
#include "oven/oven.h"
#include "replay/replay.h"

namespace
{

std::string Idle(int ticks)
{
    return std::string(static_cast<std::size_t>(ticks), '.');
}

// A key script of its parts, appended (g++ 12 at -O3 takes "literal" +
// std::string for an overlapping copy).
std::string Keys(std::initializer_list<std::string_view> parts)
{
    std::string keys;
    for (const std::string_view part : parts) {
        keys.append(part);
    }
    return keys;
}

// What each tick shows: its record, and the oven's record after it.
std::vector<std::string> Trace(std::string_view keys)
{
    std::vector<std::string> lines;
    for (const char key : keys) {
        const Tick_Record tick = Replay_Tick(static_cast<signed char>(key));
        const Oven_Data& oven = Data_Storage;
        char line[160];
        std::snprintf(line, sizeof line, "door %d light %d state %d buzzer %d | %d %g %g %d %d %d",
                      tick.door, tick.light, tick.state, tick.buzzer, oven.Time, oven.Set_Temp,
                      oven.Cur_Temp, oven.Mode, oven.Time_Mode, oven.Start);
        lines.emplace_back(line);
    }
    return lines;
}

} // namespace

TEST(Configuration, RestoredAnywhereTheOvenGoesOnAsIfNeverStopped)
{
    Output_Capture frames; // the panel's lines are not looked at here
    // The door open and shut, food modes, a cancelled countdown, a heating
    // to its buzzer, and a countdown left mid-second.
    const std::string script =
        Keys({"f.f.d.d.e", Idle(25), "e.c.a.e", Idle(40), "f.f.c.a.e", Idle(17)});
    // A run of another kind, to leave every part of the configuration
    // changed: the door the other way, heating part way through a step,
    // then cooking by time.
    const std::string disturbance = Keys({"f.c.b.e", Idle(20), "e.c.d.e", Idle(15)});

    const Oven_Configuration start = Save_Configuration();
    const std::vector<std::string> whole = Trace(script);
    ASSERT_NE(whole.back().find("state 7"), std::string::npos) << "ends counting down";

    for (std::size_t stop = 0; stop <= script.size(); stop += 3) {
        Restore_Configuration(start);
        std::vector<std::string> trace = Trace(script.substr(0, stop));
        const Oven_Configuration saved = Save_Configuration();
        Trace(disturbance);
        ASSERT_FALSE(Save_Configuration() == saved) << "the disturbance changed nothing";
        Restore_Configuration(saved);
        const std::vector<std::string> rest = Trace(script.substr(stop));
        trace.insert(trace.end(), rest.begin(), rest.end());
        EXPECT_EQ(trace, whole) << "stopped after tick " << stop;
    }
}

TEST(Configuration, WithThePanelOffTheTickIsTheSameAndDrawsNoFrame)
{
    Output_Capture frames;
    const std::string script = Keys({"f.f.d.e", Idle(12), "c.b.fe", Idle(35)});
    const Oven_Configuration start = Save_Configuration();
    const std::vector<std::string> drawn = Trace(script);
    const Oven_Configuration after_drawn = Save_Configuration();
    const std::string drawn_output = frames.Take();

    Restore_Configuration(start);
    Replay_Draw_Panel(false);
    const std::vector<std::string> undrawn = Trace(script);
    Replay_Draw_Panel(true);
    EXPECT_EQ(undrawn, drawn);
    EXPECT_TRUE(Save_Configuration() == after_drawn);
    // Only the back light's own lines are left: no time, mode or separator.
    const std::string undrawn_output = frames.Take();
    EXPECT_NE(drawn_output.find("00 : "), std::string::npos);
    EXPECT_NE(undrawn_output.find("Display On"), std::string::npos);
    for (const char* panel : {"00 : ",
                              "\xC2\xBA"
                              "C",
                              "\n\n\n"}) {
        EXPECT_EQ(undrawn_output.find(panel), std::string::npos) << panel;
    }
}
