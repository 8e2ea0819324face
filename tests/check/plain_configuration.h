// A configuration of the oven as the tests' plain searches key it: every
// field by name, in a tuple that an ordered map compares field by field. No
// hash and no equality of the tools' own.
#pragma once

#include <tuple>

#include "replay/replay.h"

inline auto Configuration_Parts(const Oven_Configuration& c)
{
    return std::tuple(c.record.Time, c.record.Set_Temp, c.record.Cur_Temp, c.record.Mode,
                      c.record.Time_Mode, c.record.Start, c.controller.state,
                      c.controller.TimeCount, c.controller.TempCount, c.counters.time_tick,
                      c.counters.temp_tick, c.light.state, c.light.enable, c.door);
}
