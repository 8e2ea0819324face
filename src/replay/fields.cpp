#include "replay/fields.h"

#include "console/keyboard.h"
#include "oven/oven.h"

namespace
{

double Key_Code(long /*tick*/, const Tick_Record& record)
{
    return record.key == NO_KEY ? NO_KEY_CODE : static_cast<unsigned char>(record.key);
}

} // namespace

// clang-format off
const std::array<Trace_Field, TRACE_FIELD_COUNT> TRACE_FIELDS = {{
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
}};
// clang-format on
