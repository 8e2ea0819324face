// The condition language's parser: comparisons, sums and the operands
// they are made of (parser.h).
#include <utility>

#include "check/language/parser.h"
#include "oven/controller.h"

using enum Expression::Kind;
using enum Value_Type;

bool Parser::Bad_Token()
{
    if (Text(token_) == "==") {
        return Fail(token_, "equality is written '='");
    }
    if (Text(token_).front() == '\'') {
        return Fail(token_, "a key is written as one character in quotes, as 'e'");
    }
    if (Text(token_).front() == '"') {
        return Fail(token_, "this '\"' is never closed");
    }
    return Fail(token_, Words({"'", Text(token_), "' is not part of a condition"}));
}

std::string_view Parser::Describe(Value_Type type)
{
    return type == BOOLEAN ? "a condition"
           : type == KEY   ? "a key"
           : type == NAME  ? "a state's name"
                           : "a number";
}

bool Parser::Comparison(Part& part)
{
    if (!Sum(part)) {
        return false;
    }
    if (token_.kind == Token::BAD) {
        return Bad_Token();
    }
    if (token_.kind != Token::COMPARE) {
        return true;
    }
    const Token sign = token_;
    Advance();
    Part right;
    if (!Sum(right)) {
        return false;
    }
    const bool ordering = sign.compare != EQ && sign.compare != NE;
    if (part.type != right.type) {
        return Fail(
            sign, Words({"cannot compare ", Describe(part.type), " with ", Describe(right.type)}));
    }
    if (ordering && part.type == BOOLEAN) {
        return Fail(sign, "conditions are equal or not, never ordered");
    }
    if (ordering && part.type == KEY) {
        return Fail(sign, "keys are equal or not, never ordered");
    }
    if (ordering && part.type == NAME) {
        return Fail(sign, "state names are equal or not, never ordered: compare state");
    }
    for (const auto& [field, constant] : {std::pair{part, right}, std::pair{right, part}}) {
        if (!field.state_field || !constant.number_constant) {
            continue;
        }
        const double number = expression_.nodes[static_cast<std::size_t>(constant.node)].value;
        if (number < Wait_Input || number > Finished || number != static_cast<int>(number)) {
            return Fail(constant,
                        Words({"no state has this number: they are ", std::to_string(Wait_Input),
                               " (", State_Name(Wait_Input), ") to ", std::to_string(Finished),
                               " (", State_Name(Finished), ")"}));
        }
    }
    part.node = Add(sign.compare, part.node, right.node);
    part.type = BOOLEAN;
    part.length = right.offset + right.length - part.offset;
    part.state_field = part.number_constant = false;
    return true;
}

bool Parser::Sum(Part& part)
{
    if (!Signed_Operand(part)) {
        return false;
    }
    while (token_.kind == Token::ARITHMETIC) {
        const Token sign = token_;
        Advance();
        Part right;
        if (!Signed_Operand(right)) {
            return false;
        }
        for (const Part* side : {&part, &right}) {
            if (side->type != NUMBER) {
                return Fail(*side, Words({"only numbers are added or taken away, not ",
                                          Describe(side->type)}));
            }
        }
        part.node = Add(sign.compare, part.node, right.node);
        part.length = right.offset + right.length - part.offset;
        part.state_field = part.number_constant = false;
    }
    return true;
}

bool Parser::Signed_Operand(Part& part)
{
    if (token_.kind != Token::ARITHMETIC || token_.compare != SUB) {
        return Operand(part);
    }
    const Token sign = token_;
    Advance();
    if (token_.kind != Token::DIGITS) {
        return Fail(sign, "a minus sign goes between two values, or before a number");
    }
    token_.number = -token_.number;
    token_.length += token_.offset - sign.offset;
    token_.offset = sign.offset;
    return Operand(part);
}

bool Parser::Operand(Part& part)
{
    part = Part{};
    part.offset = token_.offset;
    part.length = token_.length;
    switch (token_.kind) {
    case Token::END:
        return Fail(token_, "a value is missing at the end");
    case Token::CLOSE:
    case Token::COMPARE:
    case Token::ARITHMETIC:
        return Fail(token_, Words({"a value is missing before '", Text(token_), "'"}));
    case Token::BAD:
        return Bad_Token();
    case Token::DIGITS:
        part.node = Add(CONSTANT, -1, -1, token_.number);
        part.type = NUMBER;
        part.number_constant = true;
        break;
    case Token::TEXT:
        if (!State_Constant(part)) {
            return false;
        }
        break;
    case Token::CHARACTER:
        if (!Key_Constant(part)) {
            return false;
        }
        break;
    case Token::OPEN:
        if (!Parenthesised(part)) {
            return false;
        }
        break;
    case Token::WORD:
        if (!(formula_ && Until_Ahead() ? Until(part) : Name(part))) {
            return false;
        }
        break;
    case Token::OPEN_SQUARE:
    case Token::CLOSE_SQUARE:
        return Fail(token_, Words({"'", Text(token_), "' belongs to A[ F U G ] or E[ F U G ]"}));
    }
    Advance();
    return true;
}

bool Parser::State_Constant(Part& part)
{
    const std::string_view name = text_.substr(token_.offset + 1, token_.length - 2);
    int state = Wait_Input;
    while (state <= Finished && name != State_Name(state)) {
        ++state;
    }
    if (state > Finished) {
        if (name.size() == 1 && std::string_view(OVEN_KEYS).find(name) != std::string_view::npos) {
            return Fail(token_, Words({"a key is written in single quotes, as '", name, "'"}));
        }
        return Fail(token_, "no state is named so: the states are " + State_Names());
    }
    part.node = Add(CONSTANT, -1, -1, state);
    part.type = NAME;
    return true;
}

bool Parser::Key_Constant(Part& part)
{
    const char key = text_[token_.offset + 1];
    if (std::string_view(OVEN_KEYS).find(key) == std::string_view::npos) {
        return Fail(token_, "not a key of the oven: the keys are 'a' to 'f' and 'q'");
    }
    part.node = Add(CONSTANT, -1, -1, static_cast<unsigned char>(key));
    part.type = KEY;
    return true;
}

bool Parser::Name(Part& part)
{
    const Named named = Look_Up(Text(token_), formula_);
    if (!named.message.empty()) {
        return Fail(token_, named.message);
    }
    part.node = Add(named.kind, -1, -1, named.value);
    part.type = named.type;
    part.state_field = named.state_field;
    expression_.uses_before = expression_.uses_before || named.kind == BEFORE;
    return true;
}
