#include "oven/oven.h"

#include <cassert>

Oven_Data Data_Storage = {
    .Time = 0,
    .Set_Temp = AMBIENT_TEMP,
    .Cur_Temp = AMBIENT_TEMP,
    .Mode = MANUAL_MODE,
    .Time_Mode = true,
    .Start = false,
};

const char mode_string[MODE_COUNT][MODE_NAME_SIZE] = {
    "manual",
    "\xEB\x96\xA1",                          // 떡, rice cake
    "\xEC\xA3\xBD",                          // 죽, rice porridge
    "\xEB\xB0\xA5",                          // 밥, cooked rice
    "\xEA\xB5\xAD/\xEC\xB0\x8C\xEA\xB0\x9C", // 국/찌개, soup / stew
    "\xED\x94\xBC\xEC\x9E\x90",              // 피자, pizza
};

const char* const mode_meaning[MODE_COUNT] = {
    "manual", "rice cake", "rice porridge", "cooked rice", "soup or stew", "pizza",
};

void Increase10seconds_10c()
{
    if (Data_Storage.Time_Mode) {
        Data_Storage.Time += SHORT_TIME;
        if (Data_Storage.Time > MAX_TIME) {
            Data_Storage.Time = SHORT_TIME; // round again from the first step
        }
    } else {
        Data_Storage.Set_Temp += SHORT_TEMP;
        if (Data_Storage.Set_Temp > MAX_TEMP) {
            Data_Storage.Set_Temp = SHORT_TEMP_WRAP;
        }
    }
}

void Increase30seconds_20c()
{
    if (Data_Storage.Time_Mode) {
        if (Data_Storage.Time == MAX_TIME) {
            Data_Storage.Time = LONG_TIME; // round again from the first step
        } else {
            Data_Storage.Time += LONG_TIME;
            if (Data_Storage.Time > MAX_TIME) {
                Data_Storage.Time = MAX_TIME; // the last step stops at the top
            }
        }
    } else {
        if (Data_Storage.Set_Temp == MAX_TEMP) {
            Data_Storage.Set_Temp = LONG_TEMP_WRAP;
        } else {
            Data_Storage.Set_Temp += LONG_TEMP;
            if (Data_Storage.Set_Temp > MAX_TEMP) {
                Data_Storage.Set_Temp = MAX_TEMP;
            }
        }
    }
}

void Time_Temp_Change()
{
    Data_Storage.Time_Mode = !Data_Storage.Time_Mode;
    if (!Data_Storage.Time_Mode) {
        // Temperature cooking has no food modes; the time stays, unseen.
        Data_Storage.Mode = MANUAL_MODE;
        Data_Storage.Set_Temp = AMBIENT_TEMP;
    } else {
        Data_Storage.Time = 0;
    }
}

void Mode_Change()
{
    Data_Storage.Mode = (Data_Storage.Mode + 1) % MODE_COUNT;
}

void Time_by_Mode()
{
    // Preset cooking time of each food mode, in seconds; manual has none.
    static constexpr std::int32_t preset_time[MODE_COUNT] = {0, 60, 90, 120, 300, 120};
    assert(Data_Storage.Mode >= MANUAL_MODE && Data_Storage.Mode < MODE_COUNT);
    Data_Storage.Time = preset_time[Data_Storage.Mode];
}

void Start_End(bool on)
{
    Data_Storage.Start = on;
}
