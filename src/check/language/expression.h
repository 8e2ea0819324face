// Conditions on one line of the replay's trace: what a property of the oven
// says, such as "start implies not door".
//
// Fields are the trace's names, except the tick's number and character, and
// before.NAME for a field of the oven as the tick found it, before the
// tick's door sensor and step; constants are numbers, true and false, the
// controller's state names (equal to their numbers, or in double quotes for
// state_name), key characters 'a' to 'f' and 'q', and none. Operators,
// loosest first: implies (right to left), or, and, not, the comparisons
// = != < <= > >=, then + and - between numbers (left to right);
// parentheses group.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "replay/fields.h"

// The keys that reach the oven, as a condition writes them: 'a' to 'f' and
// 'q'. Any other byte is no key.
constexpr char OVEN_KEYS[] = {KEY_SHORT, KEY_LONG, KEY_UNIT, KEY_MODE,
                              KEY_START, KEY_DOOR, KEY_QUIT, '\0'};

// The values of one trace line, as a condition reads them: by field, in the
// trace's order (TRACE_FIELDS). A key is the oven's key, 'a' to 'f' or 'q',
// or NO_KEY for no key and any other byte.
using Trace_Line = std::array<double, TRACE_FIELD_COUNT>;

// The values of the trace line of the tick just run.
Trace_Line Line_Of(const Tick_Record& record);

// The fields a condition can use, as "key, taken, ... and buzzer".
std::string Condition_Fields();

// A number as a condition writes it: 20, 0.5, 310.
std::string Condition_Number(double value);

// How deep parentheses, not and implies may nest in one condition.
constexpr int MAX_NESTING = 100;
// How many temporal operators one formula may hold: each labels the whole
// graph once.
constexpr int MAX_TEMPORAL_OPERATORS = 100;

// A parsed condition, ready to evaluate.
struct Expression {
    // What a node does. The temporal operators come only in a formula
    // (Parse_Formula): E on some continuation, A on every one; X the next
    // line, F this line or a later one, G every line from this one, U until.
    enum Kind : int {
        CONSTANT,
        FIELD,  // a field of the line
        BEFORE, // a field of the oven as the tick found it
        NOT,
        AND,
        OR,
        IMPLIES,
        EQ,
        NE,
        LT,
        LE,
        GT,
        GE,
        ADD, // left + right, of numbers
        SUB, // left - right
        EX,
        AX,
        EF,
        AF,
        EG,
        AG,
        EU, // E[left U right]
        AU, // A[left U right]
    };
    struct Node {
        int kind;      // a Kind
        int left = -1; // operands, as indexes into `nodes`
        int right = -1;
        double value = 0; // a constant's value, or which field
        // A temporal operator's inputs, a bit each: which ticks it looks
        // along. Given to the whole formula once it is parsed.
        unsigned keys = 0;
    };
    // Operands come before the nodes that use them, and the root is last;
    // a node's operands and theirs are the nodes just before it, so each
    // part of a condition is a run of nodes that ends with its own.
    std::vector<Node> nodes;
    int root = -1;
    bool uses_before = false; // reads a before. field somewhere
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

// Parses a value to read from a line: a field, a before. field, a sum, a
// condition (1 where it holds, else 0), as the two sides of a comparison are.
bool Parse_Value(std::string_view text, Expression& value, Expression_Error& error);

// Parses a formula of conditions and temporal operators: AG AF AX EG EF EX
// as prefixes that bind as tightly as not, A[ F U G ] and E[ F U G ].
bool Parse_Formula(std::string_view text, Expression& formula, Expression_Error& error);

// Whether a node is one of the temporal operators.
constexpr bool Is_Temporal(int kind)
{
    return kind >= Expression::EX && kind <= Expression::AU;
}

// The temporal operators' names, as a formula writes them ("A" and "E"
// for the two untils).
const char* Temporal_Name(int kind);

// Parses a leads-to, "P --> Q": two conditions either side of the arrow.
// Errors are marked in the whole text.
constexpr std::string_view LEADS_TO_ARROW = "-->";
bool Parse_Leads_To(std::string_view text, Expression& from, Expression& to,
                    Expression_Error& error);

// Whether the condition holds on `line`, after a tick that found the oven
// as `before` shows it (its fields of the tick are not read). A condition
// has no temporal operator.
bool Evaluate(const Expression& expression, const Trace_Line& line, const Trace_Line& before);
// The same, for one that reads no before. field.
bool Evaluate(const Expression& expression, const Trace_Line& line);
// A value's number on `line`, after a tick that found the oven as `before`
// shows it: a key's code, a state's number, 1 or 0 for a condition.
double Evaluate_Value(const Expression& value, const Trace_Line& line, const Trace_Line& before);
// The value of node `root` of a formula, whose part (root and the nodes
// before it that it uses, from `first` on) holds no temporal operator.
bool Evaluate_Part(const Expression& formula, int first, int root, const Trace_Line& line,
                   const Trace_Line& before);
