// The settings record's key actions, called directly on a fresh record.
#include <gtest/gtest.h>

#include "oven/oven.h"

namespace
{

std::vector<std::int32_t> Times_After(void (*action)(), int presses)
{
    std::vector<std::int32_t> times;
    for (int i = 0; i < presses; ++i) {
        action();
        times.push_back(Data_Storage.Time);
    }
    return times;
}

std::vector<double> Targets_After(void (*action)(), int presses)
{
    std::vector<double> targets;
    for (int i = 0; i < presses; ++i) {
        action();
        targets.push_back(Data_Storage.Set_Temp);
    }
    return targets;
}

} // namespace

TEST(Oven_Record, ShortTimeStepWrapsFromTheTopToOneStep)
{
    const auto times = Times_After(Increase10seconds_10c, 61);
    EXPECT_EQ(times.front(), 10);
    EXPECT_EQ(times[58], 590);
    EXPECT_EQ(times[59], 600);
    EXPECT_EQ(times[60], 10);
}

TEST(Oven_Record, LongTimeStepStopsAtTheTopThenWraps)
{
    EXPECT_EQ(Times_After(Increase30seconds_20c, 21).back(), 30); // 30 ... 600, then 30
    Data_Storage.Time = 590;
    EXPECT_EQ(Times_After(Increase30seconds_20c, 2), (std::vector<std::int32_t>{600, 30}));
    Data_Storage.Time = 580;
    EXPECT_EQ(Times_After(Increase30seconds_20c, 1), (std::vector<std::int32_t>{600}));
}

TEST(Oven_Record, TemperatureStepsCycleThroughTheTargets)
{
    Time_Temp_Change();
    EXPECT_EQ(Targets_After(Increase10seconds_10c, 8),
              (std::vector<double>{30, 40, 50, 60, 70, 80, 90, 30}));
    Data_Storage.Set_Temp = AMBIENT_TEMP;
    EXPECT_EQ(Targets_After(Increase30seconds_20c, 7),
              (std::vector<double>{50, 80, 90, 40, 70, 90, 40}));
    EXPECT_EQ(Data_Storage.Time, 0) << "temperature keys must not touch the time";
}

TEST(Oven_Record, SwitchingUnitsClearsModeTargetAndTime)
{
    Data_Storage.Mode = 3;
    Time_by_Mode();
    Data_Storage.Cur_Temp = 50.0; // not the switch's business
    Time_Temp_Change();
    EXPECT_FALSE(Data_Storage.Time_Mode);
    EXPECT_EQ(Data_Storage.Mode, MANUAL_MODE);
    EXPECT_EQ(Data_Storage.Set_Temp, AMBIENT_TEMP);
    EXPECT_EQ(Data_Storage.Time, 120) << "the time stays, unseen";
    Data_Storage.Set_Temp = 70.0;
    Time_Temp_Change();
    EXPECT_TRUE(Data_Storage.Time_Mode);
    EXPECT_EQ(Data_Storage.Time, 0);
    EXPECT_EQ(Data_Storage.Mode, MANUAL_MODE);
    EXPECT_EQ(Data_Storage.Cur_Temp, 50.0);
    Time_Temp_Change();
    EXPECT_EQ(Data_Storage.Set_Temp, AMBIENT_TEMP)
        << "by temperature again: the old target is gone";
}

TEST(Oven_Record, ModesCycleWithTheirPresetTimes)
{
    std::vector<std::int32_t> modes;
    std::vector<std::int32_t> times;
    for (int i = 0; i < MODE_COUNT + 1; ++i) {
        Mode_Change();
        Time_by_Mode();
        modes.push_back(Data_Storage.Mode);
        times.push_back(Data_Storage.Time);
    }
    EXPECT_EQ(modes, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 0, 1}));
    EXPECT_EQ(times, (std::vector<std::int32_t>{60, 90, 120, 300, 120, 0, 60}));
}
