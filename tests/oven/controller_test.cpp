// The controller, tick by tick, driven through the tick's real parts.
#include <gtest/gtest.h>

#include <string>

#include "oven/oven.h"
#include "stand_ins.h"
#include "tick.h"

namespace
{

constexpr const char* TEN_S = "00 : 10";
constexpr const char* ZERO_S = "00 : 00";

std::string Idle(int ticks)
{
    return std::string(static_cast<std::size_t>(ticks), '.');
}

// Indices of the ticks in which the buzzer sounded.
std::vector<std::size_t> Buzzer_Ticks(const std::vector<Frame>& frames)
{
    std::vector<std::size_t> ticks;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].buzzer) {
            ticks.push_back(i);
        }
    }
    return ticks;
}

void Expect_Well_Formed(const std::vector<Frame>& frames)
{
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(Check_Frame(frames[i]), "") << "tick " << i;
    }
}

} // namespace

TEST(Controller, TenSecondCookingSoundsInThe102ndTickAfterStart)
{
    const std::size_t start = 2;
    const auto frames = Run_Ticks("a.e" + Idle(130));
    Expect_Well_Formed(frames);

    EXPECT_EQ(frames[0].value, ZERO_S);
    EXPECT_EQ(frames[1].value, TEN_S);
    EXPECT_EQ(frames[start].light, LIGHT_OFF) << "the light follows a start one tick later";
    EXPECT_EQ(frames[start + 1].light, LIGHT_ON);
    for (std::size_t i = start; i <= start + 10; ++i) {
        EXPECT_EQ(frames[i].value, TEN_S) << "tick " << i;
    }
    EXPECT_EQ(frames[start + 11].value, "00 : 09");

    EXPECT_EQ(Buzzer_Ticks(frames), std::vector<std::size_t>{start + 102});
    EXPECT_EQ(frames[start + 100].value, "00 : 01");
    EXPECT_EQ(frames[start + 101].value, ZERO_S); // the tick that sees the end
    EXPECT_EQ(frames[start + 102].value, ZERO_S); // the buzzer tick, light still on
    EXPECT_EQ(frames[start + 102].light, LIGHT_ON);
    EXPECT_EQ(frames[start + 103].light, LIGHT_OFF);
    EXPECT_EQ(frames[start + 103].value, ZERO_S); // manual has no preset
    EXPECT_EQ(frames.back().value, ZERO_S) << "the countdown stops with the buzzer";
    EXPECT_FALSE(Data_Storage.Start);
}

TEST(Controller, HeatingToFiftySoundsInThe92ndTickAndKeepsTheTarget)
{
    const std::size_t start = 4;
    const auto frames = Run_Ticks("c.b.e" + Idle(95));
    Expect_Well_Formed(frames);

    EXPECT_EQ(frames[start].value, "20 / 50\xC2\xBA"
                                   "C");
    EXPECT_EQ(frames[start + 30].value, "20 / 50\xC2\xBA"
                                        "C");
    EXPECT_EQ(frames[start + 31].value, "30 / 50\xC2\xBA"
                                        "C");
    EXPECT_EQ(frames[start + 91].value, "50 / 50\xC2\xBA"
                                        "C"); // the tick that sees the end
    EXPECT_EQ(Buzzer_Ticks(frames), std::vector<std::size_t>{start + 92});
    EXPECT_EQ(frames[start + 92].value, "20 / 50\xC2\xBA"
                                        "C");
    EXPECT_EQ(frames[start + 92].mode, "00 : manual");

    // The target stays after a completed run: the start key alone heats again.
    Run_Ticks("e.");
    EXPECT_TRUE(Data_Storage.Start);
}

TEST(Controller, CancelInPresetModeRestoresTheFullPreset)
{
    const auto frames = Run_Ticks("d.d.d.e" + Idle(40) + "e..");
    EXPECT_EQ(frames[6].value, "02 : 00");
    EXPECT_EQ(frames[47].value, "01 : 56"); // the cancel tick
    EXPECT_EQ(frames.back().value, "02 : 00");
    EXPECT_EQ(frames.back().light, LIGHT_OFF);
    EXPECT_FALSE(Data_Storage.Start);
    EXPECT_TRUE(Sound_Log().empty());
}

TEST(Controller, CancelInManualModeLosesTheTimeLeft)
{
    Run_Ticks("b.e" + Idle(15) + "e.");
    EXPECT_EQ(Data_Storage.Time, 0);
    EXPECT_FALSE(Data_Storage.Start);
}

TEST(Controller, CancelledHeatingForgetsTheTarget)
{
    const auto frames = Run_Ticks("c.b.e" + Idle(35) + "e.");
    EXPECT_EQ(frames[40].value, "30 / 50\xC2\xBA"
                                "C"); // the cancel tick
    EXPECT_EQ(frames.back().value, "20 / 20\xC2\xBA"
                                   "C");
    EXPECT_FALSE(Data_Storage.Start);

    Run_Ticks("e...");
    EXPECT_FALSE(Data_Storage.Start) << "no target, nothing to start";
}

TEST(Controller, StartKeyInTheEndTickCancelsInsteadOfSounding)
{
    // Time: the e lands in the first tick that shows 0 s.
    auto frames = Run_Ticks("a.e" + Idle(100) + "e" + Idle(3));
    EXPECT_EQ(frames[103].value, ZERO_S);
    EXPECT_EQ(frames[102].value, "00 : 01");
    // Heating: the e lands in the tick that shows both temperatures equal.
    const auto heating = Run_Ticks("c.a.e" + Idle(30) + "e" + Idle(3));
    EXPECT_EQ(heating[35].value, "30 / 30\xC2\xBA"
                                 "C");
    EXPECT_EQ(heating.back().value, "20 / 20\xC2\xBA"
                                    "C");
    EXPECT_TRUE(Sound_Log().empty());
    EXPECT_FALSE(Data_Storage.Start);
}

TEST(Controller, SecondStartPressRightAfterStartIsDropped)
{
    const auto frames = Run_Ticks("a.ee" + Idle(12));
    EXPECT_TRUE(Data_Storage.Start);
    EXPECT_EQ(frames.back().value, "00 : 09");
}

TEST(Controller, EverySettingKeyCostsTwoTicks)
{
    Run_Ticks("ddddddd");
    EXPECT_EQ(Data_Storage.Mode, 4) << "only the 1st, 3rd, 5th and 7th act";
    EXPECT_EQ(Data_Storage.Time, 300);
}

TEST(Controller, ModeKeyWithIdleTicksBetweenActsEveryTime)
{
    std::vector<std::string> modes;
    for (const auto& frame : Run_Ticks("d.d.d.d.d.d.d.")) {
        modes.push_back(frame.mode.substr(0, 2));
    }
    // Each frame shows what the tick before it left.
    EXPECT_EQ(modes, (std::vector<std::string>{"00", "01", "01", "02", "02", "03", "03", "04", "04",
                                               "05", "05", "00", "00", "01"}));
    EXPECT_EQ(Data_Storage.Time, 60);
}

TEST(Controller, RefusedStartsAreNotRemembered)
{
    Run_Ticks("e..");
    EXPECT_FALSE(Data_Storage.Start) << "nothing to count down";
    Run_Ticks("a.fe.f...");
    EXPECT_FALSE(Data_Storage.Start) << "door was open";
    EXPECT_FALSE(Door_Open());
    Run_Ticks("c.e..");
    EXPECT_FALSE(Data_Storage.Start) << "target at room temperature";
    Run_Ticks("a.fe.f...");
    EXPECT_FALSE(Data_Storage.Start) << "door was open, by temperature too";
}

TEST(Controller, SettingKeysThatDoNotApplyAreDropped)
{
    Run_Ticks("d.a.b.");
    EXPECT_EQ(Data_Storage.Time, 60) << "a and b only set time in manual mode";
    Run_Ticks("c.d.");
    EXPECT_EQ(Data_Storage.Mode, 0) << "no food modes when cooking by temperature";
    Run_Ticks("ABCDEQ\xff\x1b[A");
    EXPECT_FALSE(Data_Storage.Time_Mode);
    EXPECT_EQ(Data_Storage.Set_Temp, AMBIENT_TEMP);
}

TEST(Controller, SettingKeysAreIgnoredWhileCooking)
{
    const auto frames = Run_Ticks("a.e.a.b.c.d.f....");
    EXPECT_TRUE(Data_Storage.Start);
    EXPECT_TRUE(Data_Storage.Time_Mode);
    EXPECT_EQ(Data_Storage.Mode, 0);
    EXPECT_FALSE(Door_Open()) << "the door stays shut while cooking";
    EXPECT_EQ(frames.back().value, "00 : 09");
    EXPECT_EQ(frames.back().light, LIGHT_ON);
}

TEST(Controller, KeyInTheBuzzerTickIsDroppedAndTheDoorStaysShut)
{
    const auto frames = Run_Ticks("a.e" + Idle(101) + "f..");
    EXPECT_EQ(Buzzer_Ticks(frames), std::vector<std::size_t>{104});
    EXPECT_FALSE(Door_Open());
    EXPECT_EQ(frames[105].light, LIGHT_OFF);
}

TEST(Controller, CompletedPresetCookingIsReadyToStartAgain)
{
    const auto frames = Run_Ticks("d.d.d.e" + Idle(1225));
    EXPECT_EQ(Buzzer_Ticks(frames), std::vector<std::size_t>{6 + 1202});
    EXPECT_EQ(frames[6 + 1203].value, "02 : 00");
    EXPECT_EQ(frames.back().value, "02 : 00") << "the preset stays, ready";
    EXPECT_EQ(frames[6 + 1203].mode, "03 : \xEB\xB0\xA5");
    Run_Ticks("e.");
    EXPECT_TRUE(Data_Storage.Start);
}
