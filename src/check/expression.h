// Conditions on one line of the replay's trace: what a property of the oven
// says, such as "start implies not door".
//
// Fields are the trace's names; constants are numbers, true and false, the
// controller's state names (equal to their numbers), key characters 'a' to
// 'f' and 'q', and none. Operators, loosest first: implies (right to left),
// or, and, not, then the comparisons = != < <= > >=; parentheses group.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The values of one trace line, as a condition reads them.
struct Trace_Line {
    bool door;
    bool light;
    int state;
    int time;
    int mode;
    bool time_mode;
    bool start;
    double set_temp;
    double cur_temp;
    bool buzzer;
    bool taken; // the key was acted on
    int key;    // the oven's key, 'a' to 'f' or 'q', or KEY_NONE for any other byte
};
constexpr int KEY_NONE = -1;

// A parsed condition, ready to evaluate.
struct Expression {
    struct Node {
        int kind;      // what the node does (expression.cpp)
        int left = -1; // operands, as indexes into `nodes`
        int right = -1;
        double value = 0; // a constant's value, or which field
    };
    std::vector<Node> nodes;
    int root = -1;
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

// Whether the condition holds on `line`.
bool Evaluate(const Expression& expression, const Trace_Line& line);
