// The panel's lines, byte for byte, and the door and back light.
#include <gtest/gtest.h>

#include "capture.h"
#include "oven/oven.h"
#include "panel/display.h"
#include "panel/door_light.h"
#include "tick.h"

namespace
{

std::string Displayed()
{
    Output_Capture capture;
    Display_Controller();
    return capture.Take();
}

} // namespace

TEST(Display, TimeLinesAsMinutesAndSeconds)
{
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "00 : 00\n"},   {10, "00 : 10\n"},  {90, "01 : 30\n"},
        {300, "05 : 00\n"}, {600, "10 : 00\n"}, {59, "00 : 59\n"},
    };
    for (const auto& [time, line] : cases) {
        Data_Storage.Time = time;
        EXPECT_EQ(Displayed(), std::string(line) + "00 : manual\n") << time;
    }
}

TEST(Display, TemperatureLineTruncatesAndEndsInOrdinalC)
{
    Data_Storage.Time_Mode = false;
    Data_Storage.Set_Temp = 50.0;
    EXPECT_EQ(Displayed(), "20 / 50\xC2\xBA"
                           "C\n00 : manual\n");
    Data_Storage.Cur_Temp = 29.9;
    Data_Storage.Set_Temp = 90.0;
    EXPECT_EQ(Displayed(), "29 / 90\xC2\xBA"
                           "C\n00 : manual\n");
}

TEST(Display, ModeLinesCarryTheUtf8Names)
{
    const char* const lines[] = {
        "00 : manual\n",
        "01 : \xEB\x96\xA1\n",
        "02 : \xEC\xA3\xBD\n",
        "03 : \xEB\xB0\xA5\n",
        "04 : \xEA\xB5\xAD/\xEC\xB0\x8C\xEA\xB0\x9C\n",
        "05 : \xED\x94\xBC\xEC\x9E\x90\n",
    };
    for (std::int32_t mode = 0; mode < MODE_COUNT; ++mode) {
        Output_Capture capture;
        Mode_Display(mode);
        EXPECT_EQ(capture.Take(), lines[mode]);
    }
}

TEST(BackLight, LinesAreExactEscapes)
{
    Output_Capture capture;
    Back_Light(true);
    Back_Light(false);
    EXPECT_EQ(capture.Take(), "\033[93mDisplay On\n\033[0mDisplay Off\n");
}

TEST(BackLight, DoorTurnsTheLightOnAndOffInTheSameTick)
{
    const auto frames = Run_Ticks(".f.f.");
    EXPECT_EQ(frames[0].light, LIGHT_OFF);
    EXPECT_EQ(frames[1].light, LIGHT_ON);
    EXPECT_EQ(frames[2].light, LIGHT_ON);
    EXPECT_EQ(frames[3].light, LIGHT_OFF);
    EXPECT_FALSE(Door_Open());
}

TEST(BackLight, FollowsTheRunningFlagAsTheTickFoundIt)
{
    Output_Capture capture;
    BackLight_Controller(true, false);
    BackLight_Controller(true, false);
    BackLight_Controller(false, true);
    BackLight_Controller(false, false);
    EXPECT_EQ(capture.Take(), "\033[93mDisplay On\n\033[93mDisplay On\n"
                              "\033[93mDisplay On\n\033[0mDisplay Off\n");
}

TEST(Door, KeyTogglesOnlyWhileNotCooking)
{
    EXPECT_TRUE(Door_Sensor('f', false));
    EXPECT_FALSE(Door_Sensor('f', true));
    EXPECT_TRUE(Door_Sensor('a', true));
    EXPECT_FALSE(Door_Sensor('F', false));
    Data_Storage.Start = true;
    EXPECT_FALSE(Door_Sensor('f', false));
    EXPECT_FALSE(Door_Sensor('f', true));
}
