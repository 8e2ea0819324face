#include "replay/vcd.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "console/keyboard.h"
#include "replay/fields.h"
#include "replay/trace.h"

namespace
{

// How a field shows in the dump; LEFT_OUT for those it leaves out (the tick is
// the time itself, char and state_name say again what key and state say).
enum Kind { LEFT_OUT, BIT, BYTE, INTEGER, REAL };

Kind Kind_Of(Field_Type type)
{
    switch (type) {
    case Field_Type::BOOLEAN:
        return BIT;
    case Field_Type::KEY_CODE:
        return BYTE;
    case Field_Type::STATE:
    case Field_Type::INTEGER:
        return INTEGER;
    case Field_Type::TEMPERATURE:
        return REAL;
    case Field_Type::COUNT:
    case Field_Type::CHARACTER:
    case Field_Type::STATE_NAME:
        break;
    }
    return LEFT_OUT;
}

constexpr char FIRST_CODE = '!'; // each variable's code: one printable character
static_assert(FIRST_CODE + TRACE_FIELD_COUNT - 1 <= '~');
constexpr int INTEGER_BITS = 32;
constexpr int BYTE_BITS = 8;
constexpr int REAL_BITS = 64;

double last[TRACE_FIELD_COUNT]; // the values as last written
long last_time = -1;            // the last time step written

bool Write(int fd, const char* text)
{
    return Trace_Write(fd, text, std::strlen(text));
}

// A variable's value change, as VCD writes it.
bool Write_Value(int fd, std::size_t field, double value)
{
    const char code = static_cast<char>(FIRST_CODE + static_cast<int>(field));
    char text[64];
    const Kind kind = Kind_Of(TRACE_FIELDS[field].type);
    if (kind == BIT) {
        std::snprintf(text, sizeof text, "%c%c\n", value != 0 ? '1' : '0', code);
    } else if (kind == REAL) {
        std::snprintf(text, sizeof text, "r%.16g %c\n", value, code);
    } else {
        const unsigned bits = kind == BYTE && value == NO_KEY
                                  ? static_cast<unsigned char>(NO_KEY) // the byte 0xFF
                                  : static_cast<unsigned>(static_cast<int>(value));
        char binary[INTEGER_BITS + 1];
        int length = 0;
        for (int bit = INTEGER_BITS - 1; bit >= 0; --bit) {
            if ((bits >> bit & 1U) != 0 || length > 0 || bit == 0) {
                binary[length++] = (bits >> bit & 1U) != 0 ? '1' : '0';
            }
        }
        binary[length] = '\0';
        std::snprintf(text, sizeof text, "b%s %c\n", binary, code);
    }
    return Write(fd, text);
}

// The values of a tick, or of start-up: read as the trace reads them.
bool Write_Changes(int fd, long tick, const Tick_Record& record, bool all)
{
    bool written = true;
    for (std::size_t f = 0; f < TRACE_FIELDS.size() && written; ++f) {
        if (Kind_Of(TRACE_FIELDS[f].type) == LEFT_OUT) {
            continue;
        }
        const double value = TRACE_FIELDS[f].read(tick, record);
        if (!all && value == last[f]) {
            continue;
        }
        if (tick != last_time) {
            char time[32];
            std::snprintf(time, sizeof time, "#%ld\n", tick);
            written = Write(fd, time);
            last_time = tick;
        }
        last[f] = value;
        written = written && Write_Value(fd, f, value);
    }
    return written;
}

} // namespace

bool Vcd_Begin(int fd, const char* version)
{
    assert(last_time < 0 && "once, before the first tick");
    constexpr unsigned int US_PER_MS = 1000;
    char line[128];
    std::snprintf(line, sizeof line,
                  "$version %s $end\n$timescale %u ms $end\n$scope module oven $end\n", version,
                  TICK_US / US_PER_MS);
    bool written = Write(fd, line);
    for (std::size_t f = 0; f < TRACE_FIELDS.size() && written; ++f) {
        const Kind kind = Kind_Of(TRACE_FIELDS[f].type);
        if (kind == LEFT_OUT) {
            continue;
        }
        const char* type = kind == REAL ? "real" : kind == INTEGER ? "integer" : "wire";
        const int width = kind == BIT    ? 1
                          : kind == BYTE ? BYTE_BITS
                          : kind == REAL ? REAL_BITS
                                         : INTEGER_BITS;
        std::snprintf(line, sizeof line, "$var %s %d %c %s $end\n", type, width,
                      static_cast<char>(FIRST_CODE + static_cast<int>(f)), TRACE_FIELDS[f].name);
        written = Write(fd, line);
    }
    written = written && Write(fd, "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n");
    // Start-up: no key yet, the door shut, the oven as it begins.
    last_time = 0;
    const Tick_Record start{
        static_cast<signed char>(NO_KEY), false, BackLight_On(), System_State(), false, false};
    written = written && Write_Changes(fd, 0, start, true);
    return written && Write(fd, "$end\n");
}

bool Vcd_Tick(int fd, long tick, const Tick_Record& record)
{
    assert(last_time >= 0 && tick > last_time && "after Vcd_Begin, in order");
    return Write_Changes(fd, tick, record, false);
}

bool Vcd_End(int fd, long last_tick)
{
    assert(last_time >= 0 && last_tick >= last_time && "after Vcd_Begin and the last tick");
    // The last tick holds its values for its 100 ms too, as every other
    // tick does: without this step a viewer draws them with no width.
    char time[32];
    std::snprintf(time, sizeof time, "#%ld\n", last_tick + 1);
    const bool written = Write(fd, time);
    return Trace_Flush(fd) && written;
}
