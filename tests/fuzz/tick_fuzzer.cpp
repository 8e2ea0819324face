// Arbitrary key streams through the tick's real parts, one byte per tick,
// with the tone layer and the sleep stood in. After every tick the oven's
// record must keep its invariants and the panel must have printed exactly one
// well-formed frame.
//
// The controllers' state lives for the whole process, so the inputs form one
// long key stream: each input starts wherever the last one left the oven.
// Every state it reaches is one a user could reach by typing.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "capture.h"
#include "console/keyboard.h"
#include "frames.h"
#include "oven/controller.h"
#include "oven/oven.h"
#include "replay/replay.h"
#include "stand_ins.h"

namespace
{

[[noreturn]] void Fail(const char* what, signed char key)
{
    std::fprintf(stderr,
                 "tick fuzzer: %s (key 0x%02x; Time %d, Set %g, Cur %g, Mode %d, "
                 "Time_Mode %d, Start %d)\n",
                 what, static_cast<unsigned char>(key), Data_Storage.Time, Data_Storage.Set_Temp,
                 Data_Storage.Cur_Temp, Data_Storage.Mode, Data_Storage.Time_Mode,
                 Data_Storage.Start);
    std::abort();
}

bool Valid_Target(double target)
{
    if (target == AMBIENT_TEMP) {
        return true;
    }
    return target >= 30.0 && target <= MAX_TEMP && std::fmod(target, 10.0) == 0.0;
}

void Check_Record(signed char key)
{
    const Oven_Data& oven = Data_Storage;
    if (oven.Mode < 0 || oven.Mode >= MODE_COUNT) {
        Fail("mode out of range", key);
    }
    if (oven.Time < 0 || oven.Time > MAX_TIME) {
        Fail("time out of range", key);
    }
    if (!Valid_Target(oven.Set_Temp)) {
        Fail("target not 20 or a multiple of 10 from 30 to 90", key);
    }
    if (oven.Cur_Temp > oven.Set_Temp) {
        Fail("current temperature above the target", key);
    }
    const bool heating = oven.Start && !oven.Time_Mode;
    if (!heating && oven.Cur_Temp != AMBIENT_TEMP) {
        Fail("temperature off 20 while not heating", key);
    }
    if (!oven.Time_Mode && oven.Mode != MANUAL_MODE) {
        Fail("a food mode while cooking by temperature", key);
    }
}

// Cooking runs from an accepted start key to a cancel or the buzzer: the
// running flag may change only in those ticks, and the door stays shut.
void Check_Running(signed char key, bool was_running, bool buzzed, const Tick_Record& record)
{
    if (record.buzzer != buzzed) {
        Fail("the tick's record and the tone layer disagree on the buzzer", key);
    }
    if (record.state < Wait_Input || record.state > Finished) {
        Fail("controller state out of range", key);
    }
    const bool running = Data_Storage.Start;
    if (!was_running && running && key != KEY_START) {
        Fail("cooking started without the start key", key);
    }
    if (was_running && !running && key != KEY_START && !buzzed) {
        Fail("cooking stopped without a cancel or the buzzer", key);
    }
    if (buzzed && (!was_running || running)) {
        Fail("the buzzer sounded outside the end of a cooking", key);
    }
    if (running && record.door) {
        Fail("the door opened while cooking", key);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Output_Capture capture;
    std::vector<Frame> frames;
    for (std::size_t i = 0; i < size; ++i) {
        const auto key = static_cast<signed char>(data[i]);
        const bool was_running = Data_Storage.Start;
        Sound_Log().clear();

        const Tick_Record record = Replay_Tick(key);

        Check_Record(key);
        Check_Running(key, was_running, !Sound_Log().empty(), record);
        frames.clear();
        if (!Read_Frames(capture.Take(), SEPARATOR_NEWLINES, frames).empty() ||
            frames.size() != 1) {
            Fail("the tick did not print exactly one frame", key);
        }
        if (!Check_Frame(frames.front()).empty()) {
            Fail(Check_Frame(frames.front()).c_str(), key);
        }
    }
    return 0;
}
