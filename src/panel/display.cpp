#include "panel/display.h"

#include <cassert>
#include <cstdio>

#include "oven/oven.h"

namespace
{
constexpr std::int32_t SECONDS_PER_MINUTE = 60;

// 19 newlines; puts adds the 20th.
constexpr char SEPARATOR[] = "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n";
static_assert(sizeof SEPARATOR - 1 == 19);
} // namespace

void Display_Controller()
{
    Time_Temp_Display();
    Mode_Display(Data_Storage.Mode);
}

void Time_Temp_Display()
{
    if (Data_Storage.Time_Mode) {
        std::printf("%.2d : %.2d\n", Data_Storage.Time / SECONDS_PER_MINUTE,
                    Data_Storage.Time % SECONDS_PER_MINUTE);
    } else {
        // Temperatures show truncated to whole degrees; "\xC2\xBA" is º (U+00BA).
        std::printf("%.2d / %.2d\xC2\xBA"
                    "C\n",
                    static_cast<int>(Data_Storage.Cur_Temp),
                    static_cast<int>(Data_Storage.Set_Temp));
    }
}

void Mode_Display(std::int32_t mode)
{
    assert(mode >= MANUAL_MODE && mode < MODE_COUNT && "a mode with a name");
    std::printf("%.2d : %s\n", mode, mode_string[mode]);
}

void screen_Clear()
{
    std::puts(SEPARATOR);
}
