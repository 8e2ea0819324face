// What each name of a condition stands for, and for one that stands for
// nothing, the slip it most likely is.
#include "check/language/names.h"

#include <array>
#include <cassert>
#include <cctype>
#include <initializer_list>
#include <vector>

#include "oven/controller.h"

namespace
{

using enum Expression::Kind;
using enum Value_Type;

// The prefix operators of a formula, by name.
struct Prefix {
    const char* name;
    int kind;
};
constexpr Prefix PREFIXES[] = {{"AX", AX}, {"EX", EX}, {"AF", AF},
                               {"EF", EF}, {"AG", AG}, {"EG", EG}};

// How a condition reads a trace field, or why it cannot.
struct Field_Use {
    bool usable;
    Value_Type type;
    const char* why_not; // when not usable
};
Field_Use Use_Of(Field_Type type)
{
    switch (type) {
    case Field_Type::COUNT:
        return {false, NUMBER,
                "is not for conditions: they hold or not on every line, "
                "whatever its tick"};
    case Field_Type::CHARACTER:
        return {false, KEY, "is not for conditions: the key is, as key = 'a'"};
    case Field_Type::KEY_CODE:
        return {true, KEY, nullptr};
    case Field_Type::BOOLEAN:
        return {true, BOOLEAN, nullptr};
    case Field_Type::STATE_NAME:
        return {true, NAME, nullptr};
    case Field_Type::INTEGER:
    case Field_Type::STATE:
    case Field_Type::TEMPERATURE:
        break;
    }
    return {true, NUMBER, nullptr};
}

// "a, b and c", of the names that `keep` keeps, in order.
template <class Names, class Keep, class Name_Of>
std::string Listed(const Names& names, Keep keep, Name_Of name_of)
{
    std::vector<std::string_view> kept;
    for (const auto& entry : names) {
        if (keep(entry)) {
            kept.push_back(name_of(entry));
        }
    }
    std::string list;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        list.append(i == 0 ? "" : i + 1 == kept.size() ? " and " : ", ");
        list.append(kept[i]);
    }
    return list;
}

// before.NAME: a field of the oven, as the tick found it.
Named Before(std::string_view word)
{
    const std::string_view name = word.substr(std::string_view(BEFORE_PREFIX).size());
    for (std::size_t field = 0; field < TRACE_FIELDS.size(); ++field) {
        if (name != TRACE_FIELDS[field].name || TRACE_FIELDS[field].of_the_tick) {
            continue;
        }
        return {BEFORE, static_cast<double>(field), Use_Of(TRACE_FIELDS[field].type).type,
                TRACE_FIELDS[field].type == Field_Type::STATE, ""};
    }
    return Named::Error("before. reads a field of the oven as the tick found it: " +
                        Listed(
                            TRACE_FIELDS,
                            [](const Trace_Field& field) {
                                return !field.of_the_tick && Use_Of(field.type).usable;
                            },
                            [](const Trace_Field& field) { return field.name; }));
}

// Why a name that stands for nothing does not: the commonest slips first.
std::string Unknown(std::string_view name, bool formula)
{
    if (name == "implies" || name == "or" || name == "and" || name == "not" ||
        (formula && name == "U")) {
        return Words({"a value is missing before '", name, "'"});
    }
    if (formula && (name == "A" || name == "E")) {
        return Words({name, " is written ", name, "[ F U G ]"});
    }
    if (Prefix_Kind_Of(name) >= 0 || (!formula && (name == "A" || name == "E"))) {
        return Words({name, " is a temporal operator: it is for --ctl"});
    }
    // A field in capitals, a key without its quotes.
    std::string lower(name);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const Trace_Field& field : TRACE_FIELDS) {
        if (lower == field.name && Use_Of(field.type).usable) {
            return Words({"fields are written in lower case, as ", lower});
        }
    }
    if (name.size() == 1 && std::string_view(OVEN_KEYS).find(name) != std::string_view::npos) {
        return Words({"a key is written in single quotes, as '", name, "'"});
    }
    if (std::isupper(static_cast<unsigned char>(name.front()))) {
        return "no state is named so: the states are " + State_Names();
    }
    return "unknown name: the fields are " + Condition_Fields();
}

} // namespace

Named Look_Up(std::string_view name, bool formula)
{
    if (name.starts_with(BEFORE_PREFIX)) {
        return Before(name);
    }
    for (std::size_t field = 0; field < TRACE_FIELDS.size(); ++field) {
        if (name != TRACE_FIELDS[field].name) {
            continue;
        }
        const Field_Use use = Use_Of(TRACE_FIELDS[field].type);
        if (!use.usable) {
            return Named::Error(Words({name, " ", use.why_not}));
        }
        return {FIELD, static_cast<double>(field), use.type,
                TRACE_FIELDS[field].type == Field_Type::STATE, ""};
    }
    if (name == "true" || name == "false") {
        return {CONSTANT, name == "true" ? 1.0 : 0.0, BOOLEAN, false, ""};
    }
    if (name == "none") {
        return {CONSTANT, NO_KEY, KEY, false, ""};
    }
    for (int state = Wait_Input; state <= Finished; ++state) {
        if (name == State_Name(state)) {
            return {CONSTANT, static_cast<double>(state), NUMBER, false, ""};
        }
    }
    return Named::Error(Unknown(name, formula));
}

std::string State_Names()
{
    std::array<int, Finished - Wait_Input + 1> states{};
    for (int state = Wait_Input; state <= Finished; ++state) {
        states[static_cast<std::size_t>(state - Wait_Input)] = state;
    }
    return Listed(
        states, [](int) { return true; }, [](int state) { return State_Name(state); });
}

std::string Words(std::initializer_list<std::string_view> parts)
{
    std::string words;
    for (const std::string_view part : parts) {
        words.append(part);
    }
    return words;
}

int Prefix_Kind_Of(std::string_view name)
{
    for (const Prefix& prefix : PREFIXES) {
        if (name == prefix.name) {
            return prefix.kind;
        }
    }
    return -1;
}

const char* Temporal_Name(int kind)
{
    for (const Prefix& prefix : PREFIXES) {
        if (prefix.kind == kind) {
            return prefix.name;
        }
    }
    assert(kind == EU || kind == AU);
    return kind == EU ? "E" : "A";
}

std::string Condition_Fields()
{
    return Listed(
        TRACE_FIELDS, [](const Trace_Field& field) { return Use_Of(field.type).usable; },
        [](const Trace_Field& field) { return field.name; });
}
