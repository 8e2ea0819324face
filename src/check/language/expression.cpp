// The condition language's parser: its entry points, and the connectives
// and temporal operators that join conditions (parser.h).
#include "check/language/expression.h"

#include <cstdio>

#include "check/language/parser.h"

using enum Expression::Kind;
using enum Value_Type;

bool Parser::Parse(bool value)
{
    expression_.nodes.clear();
    expression_.uses_before = false;
    Advance();
    if (token_.kind == Token::END) {
        return Fail(token_, value ? "empty value" : "empty condition");
    }
    Part whole;
    if (!Implies(whole) || (!value && !Condition(whole))) {
        return false;
    }
    if (token_.kind == Token::CLOSE) {
        return Fail(token_, "')' without its '('");
    }
    if (token_.kind == Token::COMPARE) {
        return Fail(token_, "comparisons do not chain: join them with 'and'");
    }
    if (token_.kind != Token::END) {
        return Fail(token_, "expected 'and', 'or', 'implies' or the end here");
    }
    expression_.root = whole.node;
    return true;
}

bool Parser::Deeper(const Token& token)
{
    if (depth_ == MAX_NESTING) {
        return Fail(token, Words({"nested too deep: at most ", std::to_string(MAX_NESTING),
                                  formula_ ? " levels of parentheses, not, implies and "
                                             "temporal operators"
                                           : " levels of parentheses, not and implies"}));
    }
    ++depth_;
    return true;
}

bool Parser::Condition(const Part& part)
{
    if (part.type == BOOLEAN) {
        return true;
    }
    return Fail(part,
                Words({Describe(part.type), " is not a condition: compare it with something"}));
}

bool Parser::Join(Part& left, int kind, const Part& right)
{
    if (!Condition(left) || !Condition(right)) {
        return false;
    }
    left.node = Add(kind, left.node, right.node);
    left.length = right.offset + right.length - left.offset;
    return true;
}

bool Parser::Implies(Part& part)
{
    if (!Or(part)) {
        return false;
    }
    if (!Is_Word("implies")) {
        return true;
    }
    if (!Deeper(token_)) {
        return false;
    }
    Advance();
    Part right;
    const bool joined = Implies(right) && Join(part, IMPLIES, right); // right to left
    Shallower();
    return joined;
}

bool Parser::Or(Part& part)
{
    if (!And(part)) {
        return false;
    }
    while (Is_Word("or")) {
        Advance();
        Part right;
        if (!And(right) || !Join(part, OR, right)) {
            return false;
        }
    }
    return true;
}

bool Parser::And(Part& part)
{
    if (!Not(part)) {
        return false;
    }
    while (Is_Word("and")) {
        Advance();
        Part right;
        if (!Not(right) || !Join(part, AND, right)) {
            return false;
        }
    }
    return true;
}

bool Parser::Temporal(const Token& token)
{
    if (temporal_ == MAX_TEMPORAL_OPERATORS) {
        return Fail(token, Words({"at most ", std::to_string(MAX_TEMPORAL_OPERATORS),
                                  " temporal operators in one formula"}));
    }
    ++temporal_;
    return true;
}

bool Parser::Not(Part& part)
{
    const int kind = formula_ ? Prefix_Kind() : -1;
    if (!Is_Word("not") && kind < 0) {
        return Comparison(part);
    }
    const Token word = token_;
    if (!Deeper(word) || (kind >= 0 && !Temporal(word))) {
        return false;
    }
    Advance();
    const bool operand = Not(part) && Condition(part);
    Shallower();
    if (!operand) {
        return false;
    }
    part.node = Add(kind >= 0 ? kind : NOT, part.node);
    part.length = part.offset + part.length - word.offset;
    part.offset = word.offset;
    return true;
}

bool Parser::Parenthesised(Part& part)
{
    const Token open = token_;
    if (!Deeper(open)) {
        return false;
    }
    Advance();
    const bool inside = Implies(part);
    Shallower();
    if (!inside) {
        return false;
    }
    if (token_.kind != Token::CLOSE) {
        if (token_.kind == Token::END) {
            return Fail(open, "this '(' is never closed");
        }
        return Fail(token_, "expected ')' here");
    }
    part.offset = open.offset;
    part.length = token_.offset + token_.length - open.offset;
    part.state_field = part.number_constant = false;
    return true;
}

bool Parser::Until(Part& part)
{
    const Token first = token_;
    const int kind = Text(first) == "A" ? AU : EU;
    if (!Deeper(first) || !Temporal(first)) {
        return false;
    }
    Advance(); // the '['
    const Token open = token_;
    Advance();
    Part left;
    Part right;
    bool parsed = Implies(left) && Condition(left);
    if (parsed && !Is_Word("U")) {
        parsed = Fail(token_, token_.kind == Token::END ? "'U' is missing at the end"
                                                        : "expected 'U' here");
    }
    if (parsed) {
        Advance();
        parsed = Implies(right) && Condition(right);
    }
    if (parsed && token_.kind != Token::CLOSE_SQUARE) {
        parsed = token_.kind == Token::END ? Fail(open, "this '[' is never closed")
                                           : Fail(token_, "expected ']' here");
    }
    Shallower();
    if (!parsed) {
        return false;
    }
    part.node = Add(kind, left.node, right.node);
    part.type = BOOLEAN;
    part.offset = first.offset;
    part.length = token_.offset + token_.length - first.offset;
    return true;
}

bool Parse_Expression(std::string_view text, Expression& expression, Expression_Error& error)
{
    return Parser(text, expression, error, false).Parse();
}

bool Parse_Value(std::string_view text, Expression& value, Expression_Error& error)
{
    return Parser(text, value, error, false).Parse(true);
}

bool Parse_Formula(std::string_view text, Expression& formula, Expression_Error& error)
{
    return Parser(text, formula, error, true).Parse();
}

bool Parse_Leads_To(std::string_view text, Expression& from, Expression& to,
                    Expression_Error& error)
{
    const std::size_t arrow = text.find(LEADS_TO_ARROW);
    if (arrow == std::string_view::npos) {
        error = {text.size(), 0, "a leads-to is written P --> Q"};
        return false;
    }
    const std::size_t after = arrow + LEADS_TO_ARROW.size();
    const std::size_t second = text.find(LEADS_TO_ARROW, after);
    if (second != std::string_view::npos) {
        error = {second, LEADS_TO_ARROW.size(), "a leads-to has one '-->'"};
        return false;
    }
    if (!Parse_Expression(text.substr(0, arrow), from, error)) {
        return false;
    }
    if (!Parse_Expression(text.substr(after), to, error)) {
        error.offset += after;
        return false;
    }
    return true;
}

std::string Condition_Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}
