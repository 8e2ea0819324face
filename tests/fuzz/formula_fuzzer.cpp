// Arbitrary text as a formula of mwc-check --ctl. A text that does not parse
// must say why and point inside the text. One that does must have its
// operands before the nodes that use them, each part a run of nodes that
// ends with its own, and no more temporal operators than the limit. Every
// condition is a formula, parsed to the same nodes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "check/language/expression.h"

namespace
{

[[noreturn]] void Fail(const char* what, std::string_view text)
{
    std::fprintf(stderr, "formula fuzzer: %s: '%.*s'\n", what, static_cast<int>(text.size()),
                 text.data());
    std::abort();
}

// Checks the shape of a parsed formula: each node's operands come before
// it, the right operand's part just before the node, the left's before that.
void Check_Shape(const Expression& formula, std::string_view text)
{
    const auto count = static_cast<int>(formula.nodes.size());
    if (formula.root != count - 1) {
        Fail("the root is not the last node", text);
    }
    std::vector<int> first(formula.nodes.size());
    int temporal = 0;
    for (int k = 0; k < count; ++k) {
        const Expression::Node& node = formula.nodes[static_cast<std::size_t>(k)];
        temporal += Is_Temporal(node.kind) ? 1 : 0;
        // The operand just before its node is the last one; the left one,
        // of two, ends just before the right one's part begins.
        const int last = node.right >= 0 ? node.right : node.left;
        if ((node.right >= 0 && node.left < 0) || (last >= 0 && last != k - 1)) {
            Fail("an operand that is not just before its node", text);
        }
        if (node.right >= 0 && first[static_cast<std::size_t>(node.right)] != node.left + 1) {
            Fail("a part that is not one run of nodes", text);
        }
        first[static_cast<std::size_t>(k)] =
            node.left >= 0 ? first[static_cast<std::size_t>(node.left)] : k;
    }
    if (temporal > MAX_TEMPORAL_OPERATORS) {
        Fail("more temporal operators than the limit", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Expression formula;
    Expression_Error error;
    if (!Parse_Formula(text, formula, error)) {
        if (error.message.empty()) {
            Fail("an error without a message", text);
        }
        if (error.offset > text.size() || error.length > text.size() - error.offset) {
            Fail("an error marked outside the text", text);
        }
        Expression condition;
        if (Parse_Expression(text, condition, error)) {
            Fail("a condition that is not a formula", text);
        }
        return 0;
    }
    Check_Shape(formula, text);
    Expression condition;
    if (Parse_Expression(text, condition, error) &&
        condition.nodes.size() != formula.nodes.size()) {
        Fail("a condition parsed to other nodes as a formula", text);
    }
    return 0;
}
