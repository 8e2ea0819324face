// The fields of a trace line: the one list that the trace is written from,
// that the checker's conditions read, and that their help and messages name.
#pragma once

#include <array>
#include <cstddef>

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

// What KEY_CODE and CHARACTER fields read when the tick had no key.
constexpr double NO_KEY_CODE = -1;

constexpr std::size_t TRACE_FIELD_COUNT = 15;
// In the trace's order.
extern const std::array<Trace_Field, TRACE_FIELD_COUNT> TRACE_FIELDS;
