// The oven's timekeeping, its simulated heating element and its buzzer.
//
// Both counters are stepped once per tick by the controller. Each keeps its
// own sub-step count, which restarts whenever it is called without `run`, so
// every cooking begins with a full period.
#pragma once

// The tick's period, which the counters count in: fixed, not corrected for
// the tick's work, since ticks are counted, not timed.
constexpr unsigned int TICK_US = 100000;
constexpr int TIME_COUNT_PERIOD = 10;    // ticks per second of cooking time
constexpr int TEMP_COUNT_PERIOD = 30;    // ticks per heating step
constexpr double TEMP_COUNT_STEP = 10.0; // °C gained per heating step

// Lowers the record's Time by one second at the end of every period.
void Time_Counting(bool run);
// Raises the record's Cur_Temp by TEMP_COUNT_STEP at the end of every period.
void Temp_Counting(bool run);

// Both sub-step counts, copied out and put back whole by tools that explore
// or rewind the oven; mwc itself never calls these.
struct Counters_Memory {
    int time_tick;
    int temp_tick;
    bool operator==(const Counters_Memory&) const = default;
};
Counters_Memory Counters_Save();
void Counters_Restore(const Counters_Memory& memory);

constexpr int BUZZER_TONES = 3;
constexpr unsigned int BUZZER_FREQUENCY_HZ = 900;
constexpr unsigned int BUZZER_TONE_MS = 500;
constexpr unsigned int BUZZER_PAUSE_US = 500000;

// Three tones with two pauses between them, about 2.5 s in all. The tick
// stands still meanwhile; keys typed then wait in the terminal's queue.
void Beep_Sound();
