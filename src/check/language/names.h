// What the names in a condition stand for: the trace's fields, before.
// fields, true, false, none and the state names; the temporal operators'
// names; and, for a name that stands for nothing, why.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "check/language/expression.h"

constexpr char BEFORE_PREFIX[] = "before.";

// What a part of a condition stands for. A key is the key as the oven takes
// it: 'a' to 'f', 'q', or none (no key, or any other byte); keys are equal
// or not, never ordered, and never numbers. A state's name, in quotes, is
// what state_name is compared with.
enum class Value_Type { BOOLEAN, NUMBER, KEY, NAME };

// A name's node (FIELD, BEFORE or CONSTANT, and its value), or the message
// that says why it is none.
struct Named {
    int kind = Expression::CONSTANT;
    double value = 0;
    Value_Type type = Value_Type::BOOLEAN;
    bool state_field = false; // the field state itself, or before.state
    std::string message;      // empty when the name stands for something

    static Named Error(std::string why)
    {
        Named named;
        named.message = std::move(why);
        return named;
    }
};

// The name `name` stands for; `formula`: temporal operators are allowed.
Named Look_Up(std::string_view name, bool formula);

// The temporal prefix operator named `name` (AX to EG), or -1.
int Prefix_Kind_Of(std::string_view name);

// A message of several parts, appended: g++ 12 at -O3 takes
// "literal" + std::string for an overlapping copy (-Wrestrict).
std::string Words(std::initializer_list<std::string_view> parts);

// The states' names, as "Wait_Input, ... and Finished".
std::string State_Names();
