// The cooking counters and the buzzer, with the recording tone and sleep.
#include <gtest/gtest.h>

#include "oven/counters.h"
#include "oven/oven.h"
#include "stand_ins.h"

namespace
{

// `calls` consecutive steps of a counter with its flag set.
void Step(void (*counter)(bool), int calls)
{
    for (int i = 0; i < calls; ++i) {
        counter(true);
    }
}

} // namespace

TEST(Counters, TimeDropsOneSecondEveryTenthStep)
{
    Data_Storage.Time = 30;
    Step(Time_Counting, 9);
    EXPECT_EQ(Data_Storage.Time, 30);
    Step(Time_Counting, 1);
    EXPECT_EQ(Data_Storage.Time, 29);
    Step(Time_Counting, 20);
    EXPECT_EQ(Data_Storage.Time, 27);
}

TEST(Counters, AStepWithoutRunRestartsTheSecond)
{
    Data_Storage.Time = 30;
    Step(Time_Counting, 9);
    Time_Counting(false);
    Step(Time_Counting, 9);
    EXPECT_EQ(Data_Storage.Time, 30);
    Step(Time_Counting, 1);
    EXPECT_EQ(Data_Storage.Time, 29);
}

TEST(Counters, TemperatureRisesTenDegreesEveryThirtiethStep)
{
    Step(Temp_Counting, 29);
    EXPECT_EQ(Data_Storage.Cur_Temp, AMBIENT_TEMP);
    Step(Temp_Counting, 1);
    EXPECT_EQ(Data_Storage.Cur_Temp, 30.0);
    Step(Temp_Counting, 29);
    Temp_Counting(false);
    Step(Temp_Counting, 29);
    EXPECT_EQ(Data_Storage.Cur_Temp, 30.0);
    Step(Temp_Counting, 1);
    EXPECT_EQ(Data_Storage.Cur_Temp, 40.0);
}

TEST(Counters, CountersKeepSeparateSteps)
{
    Data_Storage.Time = 5;
    Step(Temp_Counting, 15);
    Step(Time_Counting, 10);
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
