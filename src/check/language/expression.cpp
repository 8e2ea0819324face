// The condition language's parser: tokens (lexer.h) to nodes, by recursive
// descent, one function a level of precedence; what names stand for is in
// names.h, and evaluation in evaluate.cpp.
#include "check/language/expression.h"

#include <cassert>
#include <cctype>
#include <initializer_list>

#include "check/language/lexer.h"
#include "check/language/names.h"
#include "oven/controller.h"
#include "replay/shown.h"

namespace
{

using enum Expression::Kind;
using enum Value_Type;

// A parsed part: its node, its type, and where it stands in the text.
struct Part {
    int node = -1;
    Value_Type type = BOOLEAN;
    std::size_t offset = 0;
    std::size_t length = 0;
    bool state_field = false;     // the field `state` itself
    bool number_constant = false; // a number written out
};

class Parser
{
  public:
    Parser(std::string_view text, Expression& expression, Expression_Error& error, bool formula)
        : text_(text), expression_(expression), error_(error), formula_(formula),
          lexer_(text, formula)
    {
    }

    // A condition; or, for `value`, a value of any kind.
    bool Parse(bool value = false)
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

  private:
    std::string_view text_;
    Expression& expression_;
    Expression_Error& error_;
    bool formula_; // temporal operators allowed
    Lexer lexer_;
    Token token_;      // the token at hand
    int depth_ = 0;    // parentheses, not and implies open around the token
    int temporal_ = 0; // temporal operators so far

    // Goes one level deeper at `token`, or fails there past the limit: the
    // parser recurses once per level, and a long text must not run it out of
    // stack. Every call that succeeds is matched by a Shallower.
    bool Deeper(const Token& token)
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
    void Shallower()
    {
        --depth_;
    }

    std::string_view Text(const Token& token) const
    {
        return text_.substr(token.offset, token.length);
    }

    // A message may quote the text, whose bytes came from outside.
    bool Fail(std::size_t offset, std::size_t length, const std::string& message)
    {
        error_ = {offset, length, Shown(message)};
        return false;
    }
    bool Fail(const Token& token, const std::string& message)
    {
        return Fail(token.offset, token.length, message);
    }
    bool Fail(const Part& part, const std::string& message)
    {
        return Fail(part.offset, part.length, message);
    }

    bool Is_Word(const char* word) const
    {
        return token_.kind == Token::WORD && Text(token_) == word;
    }

    void Advance()
    {
        token_ = lexer_.Next();
    }

    int Add(int kind, int left = -1, int right = -1, double value = 0)
    {
        expression_.nodes.push_back({kind, left, right, value});
        return static_cast<int>(expression_.nodes.size() - 1);
    }

    bool Bad_Token()
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

    static std::string_view Describe(Value_Type type)
    {
        return type == BOOLEAN ? "a condition"
               : type == KEY   ? "a key"
               : type == NAME  ? "a state's name"
                               : "a number";
    }

    // A part used as a condition must be one.
    bool Condition(const Part& part)
    {
        if (part.type == BOOLEAN) {
            return true;
        }
        return Fail(part,
                    Words({Describe(part.type), " is not a condition: compare it with something"}));
    }

    // Joins `left` and what follows with `kind`, both conditions.
    bool Join(Part& left, int kind, const Part& right)
    {
        if (!Condition(left) || !Condition(right)) {
            return false;
        }
        left.node = Add(kind, left.node, right.node);
        left.length = right.offset + right.length - left.offset;
        return true;
    }

    bool Implies(Part& part)
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

    bool Or(Part& part)
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

    bool And(Part& part)
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

    // The temporal prefix operator at hand, or -1.
    int Prefix_Kind() const
    {
        return token_.kind == Token::WORD ? Prefix_Kind_Of(Text(token_)) : -1;
    }

    // One more temporal operator, at `token`, or a failure past the limit.
    bool Temporal(const Token& token)
    {
        if (temporal_ == MAX_TEMPORAL_OPERATORS) {
            return Fail(token, Words({"at most ", std::to_string(MAX_TEMPORAL_OPERATORS),
                                      " temporal operators in one formula"}));
        }
        ++temporal_;
        return true;
    }

    bool Not(Part& part)
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

    bool Comparison(Part& part)
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
            return Fail(sign, Words({"cannot compare ", Describe(part.type), " with ",
                                     Describe(right.type)}));
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
                return Fail(
                    constant,
                    Words({"no state has this number: they are ", std::to_string(Wait_Input), " (",
                           State_Name(Wait_Input), ") to ", std::to_string(Finished), " (",
                           State_Name(Finished), ")"}));
            }
        }
        part.node = Add(sign.compare, part.node, right.node);
        part.type = BOOLEAN;
        part.length = right.offset + right.length - part.offset;
        part.state_field = part.number_constant = false;
        return true;
    }

    // Numbers added and taken away, left to right: time = before.time - 1.
    bool Sum(Part& part)
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

    // An operand, or a number written with a minus sign: -1.
    bool Signed_Operand(Part& part)
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

    bool Operand(Part& part)
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
            return Fail(token_,
                        Words({"'", Text(token_), "' belongs to A[ F U G ] or E[ F U G ]"}));
        }
        Advance();
        return true;
    }

    // A state's name in double quotes, as state_name is compared with.
    bool State_Constant(Part& part)
    {
        const std::string_view name = text_.substr(token_.offset + 1, token_.length - 2);
        int state = Wait_Input;
        while (state <= Finished && name != State_Name(state)) {
            ++state;
        }
        if (state > Finished) {
            if (name.size() == 1 &&
                std::string_view(OVEN_KEYS).find(name) != std::string_view::npos) {
                return Fail(token_, Words({"a key is written in single quotes, as '", name, "'"}));
            }
            return Fail(token_, "no state is named so: the states are " + State_Names());
        }
        part.node = Add(CONSTANT, -1, -1, state);
        part.type = NAME;
        return true;
    }

    // A key of the oven in single quotes.
    bool Key_Constant(Part& part)
    {
        const char key = text_[token_.offset + 1];
        if (std::string_view(OVEN_KEYS).find(key) == std::string_view::npos) {
            return Fail(token_, "not a key of the oven: the keys are 'a' to 'f' and 'q'");
        }
        part.node = Add(CONSTANT, -1, -1, static_cast<unsigned char>(key));
        part.type = KEY;
        return true;
    }

    // From a '(' to its ')', which is the token at hand after it.
    bool Parenthesised(Part& part)
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

    // A or E, then '[': an until.
    bool Until_Ahead() const
    {
        if (Text(token_) != "A" && Text(token_) != "E") {
            return false;
        }
        return lexer_.Square_Ahead();
    }

    // A[ F U G ] or E[ F U G ], from its A or E to its ']', which is the
    // token at hand after it.
    bool Until(Part& part)
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

    // A field, a before. field or a named constant.
    bool Name(Part& part)
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
};

} // namespace

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
