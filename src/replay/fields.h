// The fields of a trace line: the one list that the trace is written from,
// that the checker's conditions read, and that their help and messages name.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "console/keyboard.h"
#include "oven/controller.h"
#include "oven/oven.h"
#include "replay/replay.h"

// What kind of value a field holds; each kind is written its own way.
enum class Field_Type {
    COUNT,       // the tick's number, from 1
    KEY_CODE,    // the key byte, 0 to 254, or none (255 is no key)
    CHARACTER,   // the same byte, shown when it is printable ASCII
    BOOLEAN,     // true or false
    INTEGER,     // a whole number
    STATE,       // the controller's state, by number (Wait_Input to Finished)
    TEMPERATURE, // °C, to one decimal
    STATE_NAME,  // the controller's state, by name
};

// A field's value, read after the tick: from the tick's record, its number,
// and the oven's settings record as the tick leaves it.
struct Trace_Field {
    const char* name;
    Field_Type type;
    bool of_the_tick; // what the tick was given or did, not the oven it leaves
    double (*read)(long tick, const Tick_Record& record);
};

// What KEY_CODE and CHARACTER fields read: the key byte, or NO_KEY.
inline double Key_Code(long /*tick*/, const Tick_Record& record)
{
    return record.key == NO_KEY ? NO_KEY : static_cast<unsigned char>(record.key);
}

// In the trace's order.
// clang-format off
inline constexpr auto TRACE_FIELDS = std::to_array<Trace_Field>({
    {"tick", Field_Type::COUNT, true,
     [](long tick, const Tick_Record&) { return static_cast<double>(tick); }},
    {"key", Field_Type::KEY_CODE, true, Key_Code},
    {"char", Field_Type::CHARACTER, true, Key_Code},
    {"taken", Field_Type::BOOLEAN, true,
     [](long, const Tick_Record& record) { return record.taken ? 1.0 : 0.0; }},
    {"door", Field_Type::BOOLEAN, false,
     [](long, const Tick_Record& record) { return record.door ? 1.0 : 0.0; }},
    {"light", Field_Type::BOOLEAN, false,
     [](long, const Tick_Record& record) { return record.light ? 1.0 : 0.0; }},
    {"state", Field_Type::STATE, false,
     [](long, const Tick_Record& record) { return static_cast<double>(record.state); }},
    {"state_name", Field_Type::STATE_NAME, false,
     [](long, const Tick_Record& record) { return static_cast<double>(record.state); }},
    {"time", Field_Type::INTEGER, false,
     [](long, const Tick_Record&) { return static_cast<double>(Data_Storage.Time); }},
    {"mode", Field_Type::INTEGER, false,
     [](long, const Tick_Record&) { return static_cast<double>(Data_Storage.Mode); }},
    {"time_mode", Field_Type::BOOLEAN, false,
     [](long, const Tick_Record&) { return Data_Storage.Time_Mode ? 1.0 : 0.0; }},
    {"start", Field_Type::BOOLEAN, false,
     [](long, const Tick_Record&) { return Data_Storage.Start ? 1.0 : 0.0; }},
    {"set_temp", Field_Type::TEMPERATURE, false,
     [](long, const Tick_Record&) { return Data_Storage.Set_Temp; }},
    {"cur_temp", Field_Type::TEMPERATURE, false,
     [](long, const Tick_Record&) { return Data_Storage.Cur_Temp; }},
    {"buzzer", Field_Type::BOOLEAN, true,
     [](long, const Tick_Record& record) { return record.buzzer ? 1.0 : 0.0; }},
});
// clang-format on
constexpr std::size_t TRACE_FIELD_COUNT = TRACE_FIELDS.size();

// Where the field `name` is in a trace line.
constexpr std::size_t Field_Index(std::string_view name)
{
    std::size_t f = 0;
    while (f < TRACE_FIELD_COUNT && name != TRACE_FIELDS[f].name) {
        ++f;
    }
    return f;
}

// Whether `value` is one that a field of type `type` can hold: what a
// value read from outside (a saved file) is checked against before use.
inline bool Field_Value_Fits(Field_Type type, double value)
{
    constexpr double INT_LIMIT = std::numeric_limits<std::int32_t>::max();
    constexpr double LAST_KEY_CODE = 254;
    const bool whole = value == std::floor(value);
    switch (type) {
    case Field_Type::COUNT:
        return whole && value >= 0 && value <= INT_LIMIT;
    case Field_Type::KEY_CODE:
    case Field_Type::CHARACTER:
        return whole && (value == NO_KEY || (value >= 0 && value <= LAST_KEY_CODE));
    case Field_Type::BOOLEAN:
        return value == 0 || value == 1;
    case Field_Type::INTEGER:
        return whole && std::fabs(value) <= INT_LIMIT;
    case Field_Type::STATE:
    case Field_Type::STATE_NAME:
        return whole && value >= Wait_Input && value <= Finished;
    case Field_Type::TEMPERATURE:
        return std::isfinite(value) && std::fabs(value) <= INT_LIMIT;
    }
    return false;
}
