// Conditions judged on one trace line: every node in order, operands first.
#include <cassert>
#include <string_view>

#include "check/language/expression.h"

namespace
{

using enum Expression::Kind;

// One node's value from its operands' values.
double Value(const Expression::Node& node, const std::vector<double>& values,
             const Trace_Line& line, const Trace_Line& before)
{
    const auto operand = [&values](int which) { return values[static_cast<std::size_t>(which)]; };
    switch (node.kind) {
    case CONSTANT:
        return node.value;
    case FIELD:
        return line[static_cast<std::size_t>(node.value)];
    case BEFORE:
        return before[static_cast<std::size_t>(node.value)];
    case NOT:
        return operand(node.left) == 0;
    case AND:
        return operand(node.left) != 0 && operand(node.right) != 0;
    case OR:
        return operand(node.left) != 0 || operand(node.right) != 0;
    case IMPLIES:
        return operand(node.left) == 0 || operand(node.right) != 0;
    case EQ:
        return operand(node.left) == operand(node.right);
    case NE:
        return operand(node.left) != operand(node.right);
    case LT:
        return operand(node.left) < operand(node.right);
    case LE:
        return operand(node.left) <= operand(node.right);
    case GT:
        return operand(node.left) > operand(node.right);
    case GE:
        return operand(node.left) >= operand(node.right);
    case ADD:
        return operand(node.left) + operand(node.right);
    case SUB:
        return operand(node.left) - operand(node.right);
    default:
        break;
    }
    assert(false && "a temporal operator is labelled on the graph, not evaluated on a line");
    return 0;
}

} // namespace

bool Evaluate_Part(const Expression& formula, int first, int root, const Trace_Line& line,
                   const Trace_Line& before)
{
    assert(first >= 0 && first <= root && static_cast<std::size_t>(root) < formula.nodes.size());
    // In order: every node's operands are worked out before it, so a deep
    // condition needs no deep recursion.
    std::vector<double>& values = formula.values;
    values.resize(formula.nodes.size());
    for (auto i = static_cast<std::size_t>(first); i <= static_cast<std::size_t>(root); ++i) {
        values[i] = Value(formula.nodes[i], values, line, before);
    }
    return values[static_cast<std::size_t>(root)] != 0;
}

double Evaluate_Value(const Expression& value, const Trace_Line& line, const Trace_Line& before)
{
    Evaluate_Part(value, 0, value.root, line, before);
    return value.values[static_cast<std::size_t>(value.root)];
}

bool Evaluate(const Expression& expression, const Trace_Line& line, const Trace_Line& before)
{
    return Evaluate_Part(expression, 0, expression.root, line, before);
}

bool Evaluate(const Expression& expression, const Trace_Line& line)
{
    assert(!expression.uses_before);
    return Evaluate_Part(expression, 0, expression.root, line, line);
}

Trace_Line Line_Of(const Tick_Record& record)
{
    Trace_Line line;
    for (std::size_t i = 0; i < TRACE_FIELDS.size(); ++i) {
        line[i] = TRACE_FIELDS[i].read(0, record);
    }
    // Any other byte is no key to the oven.
    const bool oven_key = record.key != '\0' &&
                          std::string_view(OVEN_KEYS).find(record.key) != std::string_view::npos;
    for (std::size_t i = 0; !oven_key && i < TRACE_FIELDS.size(); ++i) {
        if (TRACE_FIELDS[i].type == Field_Type::KEY_CODE) {
            line[i] = NO_KEY;
        }
    }
    return line;
}
