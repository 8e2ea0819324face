// The cooking counters and the buzzer, with the recording tone and sleep.
#include <gtest/gtest.h>

#include "oven/counters.h"
#include "oven/oven.h"
#include "stand_ins.h"

namespace
{

void Count_Time(int calls)
{
    for (int i = 0; i < calls; ++i) {
        Time_Counting(true);
    }
}

void Count_Temp(int calls)
{
    for (int i = 0; i < calls; ++i) {
        Temp_Counting(true);
    }
}

} // namespace

TEST(Counters, TimeDropsOneSecondEveryTenthStep)
{
    Data_Storage.Time = 30;
    Count_Time(9);
    EXPECT_EQ(Data_Storage.Time, 30);
    Count_Time(1);
    EXPECT_EQ(Data_Storage.Time, 29);
    Count_Time(20);
    EXPECT_EQ(Data_Storage.Time, 27);
}

TEST(Counters, AStepWithoutRunRestartsTheSecond)
{
    Data_Storage.Time = 30;
    Count_Time(9);
    Time_Counting(false);
    Count_Time(9);
    EXPECT_EQ(Data_Storage.Time, 30);
    Count_Time(1);
    EXPECT_EQ(Data_Storage.Time, 29);
}

TEST(Counters, TemperatureRisesTenDegreesEveryThirtiethStep)
{
    Count_Temp(29);
    EXPECT_EQ(Data_Storage.Cur_Temp, AMBIENT_TEMP);
    Count_Temp(1);
    EXPECT_EQ(Data_Storage.Cur_Temp, 30.0);
    Count_Temp(29);
    Temp_Counting(false);
    Count_Temp(29);
    EXPECT_EQ(Data_Storage.Cur_Temp, 30.0);
    Count_Temp(1);
    EXPECT_EQ(Data_Storage.Cur_Temp, 40.0);
}

TEST(Counters, CountersKeepSeparateSteps)
{
    Data_Storage.Time = 5;
    Count_Temp(15);
    Count_Time(10);
    EXPECT_EQ(Data_Storage.Time, 4);
    EXPECT_EQ(Data_Storage.Cur_Temp, AMBIENT_TEMP);
}

TEST(Buzzer, ThreeTonesWithTwoPauses)
{
    Beep_Sound();
    const Sound_Event tone{Sound_Event::Tone, 900, 500};
    const Sound_Event pause{Sound_Event::Pause, 0, 500000};
    EXPECT_EQ(Sound_Log(), (std::vector<Sound_Event>{tone, pause, tone, pause, tone}));
}
