// Conditions on one line of the replay's trace: what a property of the oven
// says, such as "start implies not door".
//
// Fields are the trace's names, except the tick's number and character;
// constants are numbers, true and false, the controller's state names (equal
// to their numbers, or in double quotes for state_name), key characters 'a'
// to 'f' and 'q', and none. Operators, loosest first: implies (right to
// left), or, and, not, then the comparisons = != < <= > >=; parentheses
// group.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "replay/fields.h"

// The values of one trace line, as a condition reads them: by field, in the
// trace's order (TRACE_FIELDS). A key is the oven's key, 'a' to 'f' or 'q',
// or KEY_NONE for no key and any other byte.
using Trace_Line = std::array<double, TRACE_FIELD_COUNT>;
constexpr int KEY_NONE = -1;

// The values of the trace line of the tick just run.
Trace_Line Line_Of(const Tick_Record& record);

// The fields a condition can use, as "key, taken, ... and buzzer".
std::string Condition_Fields();

// A number as a condition writes it: 20, 0.5, 310.
std::string Condition_Number(double value);

// How deep parentheses, not and implies may nest in one condition.
constexpr int MAX_NESTING = 100;

// A parsed condition, ready to evaluate.
struct Expression {
    struct Node {
        int kind;      // what the node does (expression.cpp)
        int left = -1; // operands, as indexes into `nodes`
        int right = -1;
        double value = 0; // a constant's value, or which field
    };
    // Operands come before the nodes that use them, and the root is last.
    std::vector<Node> nodes;
    int root = -1;
    // Each node's value during an evaluation: room kept between lines.
    mutable std::vector<double> values;
};

// Where and why a text is not a condition: `offset` and `length` mark the
// part of the text at fault (length 0 at its end).
struct Expression_Error {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string message;
};

// Parses `text`; false, with `error` said, when it is not a condition.
bool Parse_Expression(std::string_view text, Expression& expression, Expression_Error& error);

// Parses a leads-to, "P --> Q": two conditions either side of the arrow.
// Errors are marked in the whole text.
constexpr std::string_view LEADS_TO_ARROW = "-->";
bool Parse_Leads_To(std::string_view text, Expression& from, Expression& to,
                    Expression_Error& error);

// Whether the condition holds on `line`.
bool Evaluate(const Expression& expression, const Trace_Line& line);
