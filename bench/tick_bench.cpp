// One tick's work (door, back light, display, controller and counters, and
// the frame separator) in the controller's busiest states, and a whole
// ten-minute cooking replayed, with the panel's output going to
// /dev/null through standard output's default buffering. The tone layer and
// the sleep are the recording stand-ins, so nothing sleeps.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <iostream>

#include "console/keyboard.h"
#include "oven/oven.h"
#include "replay/replay.h"
#include "stand_ins.h"

namespace
{

constexpr auto NONE = static_cast<signed char>(NO_KEY);

void Keys(const char* keys)
{
    for (const char* key = keys; *key != '\0'; ++key) {
        Replay_Tick(*key);
    }
}

void Idle(benchmark::State& state)
{
    for (auto _ : state) {
        Replay_Tick(NONE);
    }
    Sound_Log().clear();
}

// Counting down from 10 minutes; the time is topped up between ticks so the
// countdown never reaches its end.
void Countdown(benchmark::State& state)
{
    Keys("b.e."); // start, then into Time_Cooking
    if (!Data_Storage.Start || !Data_Storage.Time_Mode) {
        state.SkipWithError("the countdown did not start");
    }
    for (auto _ : state) {
        Data_Storage.Time = MAX_TIME;
        Replay_Tick(NONE);
    }
    Keys("e."); // cancel, back to idle
}

// Heating to 90 °C; the oven is cooled between ticks so it never arrives.
void Heating(benchmark::State& state)
{
    Keys("c.b.b.b.e."); // by temperature, target 90, start
    if (!Data_Storage.Start || Data_Storage.Time_Mode || Data_Storage.Set_Temp != MAX_TEMP) {
        state.SkipWithError("the heating did not start");
    }
    for (auto _ : state) {
        Data_Storage.Cur_Temp = AMBIENT_TEMP;
        Replay_Tick(NONE);
    }
    Keys("e.c."); // cancel, back to cooking by time
}

// A ten-minute cooking replayed end to end, as mwc-replay does: the keys
// that set 600 s and start, then no key until the oven is at rest again.
void Ten_Minute_Cooking(benchmark::State& state)
{
    std::int64_t ticks = 0;
    for (auto _ : state) {
        for (int press = 0; press < MAX_TIME / LONG_TIME; ++press) {
            Keys("b.");
        }
        Keys("e");
        ticks += 2 * MAX_TIME / LONG_TIME + 1;
        for (; !Oven_At_Rest(); ++ticks) {
            Replay_Tick(NONE);
        }
        Sound_Log().clear();
    }
    state.counters["ticks"] =
        benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kAvgIterations);
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kIsRate);
}

} // namespace

// Registered in this order on purpose: each leaves the oven idle for the next.
BENCHMARK(Idle);
BENCHMARK(Countdown);
BENCHMARK(Heating);
BENCHMARK(Ten_Minute_Cooking)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The panel prints to standard output; the report goes to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular); // no colour
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
