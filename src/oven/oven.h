// The oven's settings record: the one piece of state that the controller, its
// counters and the panel share, with the small actions the panel keys run on
// it and the fixed limits they keep.
#pragma once

#include <cstdint>

struct Oven_Data {
    std::int32_t Time; // cooking time in whole seconds; counts down while cooking
    double Set_Temp;   // target temperature, °C
    double Cur_Temp;   // simulated oven temperature, °C
    std::int32_t Mode; // food mode, 0 (manual) to 5
    bool Time_Mode;    // true: cook by time; false: cook by temperature
    bool Start;        // true while cooking runs
    bool operator==(const Oven_Data&) const = default;
};

// The oven's working memory, read and written directly by every block.
extern Oven_Data Data_Storage;

// Room temperature: where both temperatures start and return to, and a
// target at which a temperature start is refused.
constexpr double AMBIENT_TEMP = 20.0;

constexpr std::int32_t MAX_TIME = 600;   // s, the most the time keys set
constexpr double MAX_TEMP = 90.0;        // °C, the highest target
constexpr std::int32_t SHORT_TIME = 10;  // s, step of key a
constexpr double SHORT_TEMP = 10.0;      // °C, step of key a
constexpr std::int32_t LONG_TIME = 30;   // s, step of key b
constexpr double LONG_TEMP = 30.0;       // °C, step of key b
constexpr double SHORT_TEMP_WRAP = 30.0; // °C, target after key a passes MAX_TEMP
constexpr double LONG_TEMP_WRAP = 40.0;  // °C, target after key b at exactly MAX_TEMP

// Food modes: names for the panel; the preset times belong to Time_by_Mode.
constexpr std::int32_t MANUAL_MODE = 0;
constexpr std::int32_t MODE_COUNT = 6;
constexpr int MODE_NAME_SIZE = 15; // bytes per name slot, UTF-8, NUL-padded
extern const char mode_string[MODE_COUNT][MODE_NAME_SIZE];
// What each name means, in English, for whoever does not read the panel's.
extern const char* const mode_meaning[MODE_COUNT];

// Key a: +10 s, or +10 °C on the target.
void Increase10seconds_10c();
// Key b: +30 s, or +30 °C on the target. The name's 20c is not what it
// adds: the step is LONG_TEMP, 30 °C; the name stays, as callers know it.
void Increase30seconds_20c();
// Key c: switch between cooking by time and by temperature.
void Time_Temp_Change();
// Key d, first half: the next food mode, wrapping after the last.
void Mode_Change();
// Key d, second half, and the end of every cooking: the mode's preset time.
void Time_by_Mode();
// Sets the running flag.
void Start_End(bool on);
