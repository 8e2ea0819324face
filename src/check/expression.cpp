#include "check/expression.h"

#include <array>
#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "oven/controller.h"
#include "replay/shown.h"

namespace
{

using enum Expression::Kind;

// The prefix operators of a formula, by name.
struct Prefix {
    const char* name;
    int kind;
};
constexpr Prefix PREFIXES[] = {{"AX", AX}, {"EX", EX}, {"AF", AF},
                               {"EF", EF}, {"AG", AG}, {"EG", EG}};
constexpr char BEFORE_PREFIX[] = "before.";

// What a part of a condition stands for. A key is the key as the oven takes
// it: 'a' to 'f', 'q', or none (no key, or any other byte); keys are equal
// or not, never ordered, and never numbers. A state's name, in quotes, is
// what state_name is compared with.
enum Type { BOOLEAN, NUMBER, KEY, NAME };

// How a condition reads a trace field, or why it cannot.
struct Field_Use {
    bool usable;
    Type type;
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

std::string State_Names()
{
    std::array<int, Finished - Wait_Input + 1> states{};
    for (int state = Wait_Input; state <= Finished; ++state) {
        states[static_cast<std::size_t>(state - Wait_Input)] = state;
    }
    return Listed(
        states, [](int) { return true; }, [](int state) { return State_Name(state); });
}

constexpr char KEYS[] = "abcdefq"; // the keys that reach the oven

struct Token {
    enum Kind {
        END,
        WORD,
        DIGITS,
        CHARACTER,
        TEXT,
        OPEN,
        CLOSE,
        OPEN_SQUARE,
        CLOSE_SQUARE,
        COMPARE,
        ARITHMETIC, // + or -
        BAD
    } kind = END;
    std::size_t offset = 0;
    std::size_t length = 0;
    int compare = 0;   // EQ to GE, for a comparison; ADD or SUB for + and -
    double number = 0; // a number's value
};

// A parsed part: its node, its type, and where it stands in the text.
struct Part {
    int node = -1;
    Type type = BOOLEAN;
    std::size_t offset = 0;
    std::size_t length = 0;
    bool state_field = false;     // the field `state` itself
    bool number_constant = false; // a number written out
};

class Parser
{
  public:
    Parser(std::string_view text, Expression& expression, Expression_Error& error, bool formula)
        : text_(text), expression_(expression), error_(error), formula_(formula)
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
    bool formula_;         // temporal operators allowed
    std::size_t next_ = 0; // where the next token starts
    Token token_;          // the token at hand
    int depth_ = 0;        // parentheses, not and implies open around the token
    int temporal_ = 0;     // temporal operators so far

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
        while (next_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[next_]))) {
            ++next_;
        }
        token_ = Token{};
        token_.offset = next_;
        if (next_ == text_.size()) {
            return;
        }
        // The byte at `i`, 0 past the end.
        const auto at = [this](std::size_t i) -> int {
            return i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0;
        };
        const int c = at(next_);
        std::size_t end = next_ + 1;
        if (std::isalpha(c) || c == '_') {
            token_.kind = Token::WORD;
            while (std::isalnum(at(end)) || at(end) == '_') {
                ++end;
            }
            // before.NAME is one word.
            const std::string_view prefix(BEFORE_PREFIX);
            if (text_.substr(next_, end - next_ + 1) == prefix) {
                for (++end; std::isalnum(at(end)) || at(end) == '_';) {
                    ++end;
                }
            }
        } else if (std::isdigit(c)) {
            token_.kind = Token::DIGITS;
            while (std::isdigit(at(end))) {
                ++end;
            }
            if (at(end) == '.' && std::isdigit(at(end + 1))) {
                end += 2;
                while (std::isdigit(at(end))) {
                    ++end;
                }
            }
            token_.number =
                std::strtod(std::string(text_.substr(next_, end - next_)).c_str(), nullptr);
        } else if (c == '\'') {
            token_.kind = at(end) != 0 && at(end + 1) == '\'' ? Token::CHARACTER : Token::BAD;
            end = token_.kind == Token::CHARACTER ? end + 2 : end;
        } else if (c == '"') {
            // A state's name in double quotes, as the trace writes state_name.
            while (at(end) != 0 && at(end) != '"') {
                ++end;
            }
            token_.kind = at(end) == '"' ? Token::TEXT : Token::BAD;
            end += at(end) == '"' ? 1 : 0;
        } else if (c == '(' || c == ')') {
            token_.kind = c == '(' ? Token::OPEN : Token::CLOSE;
        } else if (formula_ && (c == '[' || c == ']')) {
            token_.kind = c == '[' ? Token::OPEN_SQUARE : Token::CLOSE_SQUARE;
        } else if ((c == '+' || c == '-') && !(c == '-' && text_.substr(next_, 3) == "-->")) {
            token_.kind = Token::ARITHMETIC;
            token_.compare = c == '+' ? ADD : SUB;
        } else if (c == '=' && at(end) == '=') {
            token_.kind = Token::BAD; // a common slip, named below
            end += 1;
        } else if (c == '=' || c == '<' || c == '>' || (c == '!' && at(end) == '=')) {
            token_.kind = Token::COMPARE;
            const bool equal_sign = c != '=' && at(end) == '=';
            end += equal_sign ? 1 : 0;
            token_.compare = c == '='   ? EQ
                             : c == '!' ? NE
                             : c == '<' ? (equal_sign ? LE : LT)
                                        : (equal_sign ? GE : GT);
        } else {
            // A character of more than one byte is one bad token, marked whole.
            constexpr unsigned CONTINUATION_MASK = 0xC0;
            constexpr unsigned CONTINUATION = 0x80;
            while ((static_cast<unsigned char>(at(end)) & CONTINUATION_MASK) == CONTINUATION) {
                ++end;
            }
            token_.kind = Token::BAD;
        }
        token_.length = end - next_;
        next_ = end;
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

    static std::string_view Describe(Type type)
    {
        return type == BOOLEAN ? "a condition"
               : type == KEY   ? "a key"
               : type == NAME  ? "a state's name"
                               : "a number";
    }

    // A message of several parts, appended: g++ 12 at -O3 takes
    // "literal" + std::string for an overlapping copy (-Wrestrict).
    static std::string Words(std::initializer_list<std::string_view> parts)
    {
        std::string words;
        for (const std::string_view part : parts) {
            words.append(part);
        }
        return words;
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
        for (const Prefix& prefix : PREFIXES) {
            if (Is_Word(prefix.name)) {
                return prefix.kind;
            }
        }
        return -1;
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
            if (name.size() == 1 && std::string_view(KEYS).find(name) != std::string_view::npos) {
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
        if (std::string_view(KEYS).find(key) == std::string_view::npos) {
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
        std::size_t i = next_;
        while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i]))) {
            ++i;
        }
        return i < text_.size() && text_[i] == '[';
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

    // before.NAME: a field of the oven, as the tick found it.
    bool Before(Part& part)
    {
        const std::string_view name = Text(token_).substr(std::string_view(BEFORE_PREFIX).size());
        for (std::size_t field = 0; field < TRACE_FIELDS.size(); ++field) {
            if (name != TRACE_FIELDS[field].name || TRACE_FIELDS[field].of_the_tick) {
                continue;
            }
            const Field_Use use = Use_Of(TRACE_FIELDS[field].type);
            part.node = Add(BEFORE, -1, -1, static_cast<double>(field));
            part.type = use.type;
            part.state_field = TRACE_FIELDS[field].type == Field_Type::STATE;
            expression_.uses_before = true;
            return true;
        }
        return Fail(token_, "before. reads a field of the oven as the tick found it: " +
                                Listed(
                                    TRACE_FIELDS,
                                    [](const Trace_Field& field) {
                                        return !field.of_the_tick && Use_Of(field.type).usable;
                                    },
                                    [](const Trace_Field& field) { return field.name; }));
    }

    // A field or a named constant.
    bool Name(Part& part)
    {
        const std::string_view name = Text(token_);
        if (name.starts_with(BEFORE_PREFIX)) {
            return Before(part);
        }
        for (std::size_t field = 0; field < TRACE_FIELDS.size(); ++field) {
            if (name != TRACE_FIELDS[field].name) {
                continue;
            }
            const Field_Use use = Use_Of(TRACE_FIELDS[field].type);
            if (!use.usable) {
                return Fail(token_, Words({name, " ", use.why_not}));
            }
            part.node = Add(FIELD, -1, -1, static_cast<double>(field));
            part.type = use.type;
            part.state_field = TRACE_FIELDS[field].type == Field_Type::STATE;
            return true;
        }
        if (name == "true" || name == "false") {
            part.node = Add(CONSTANT, -1, -1, name == "true" ? 1 : 0);
            return true;
        }
        if (name == "none") {
            part.node = Add(CONSTANT, -1, -1, NO_KEY);
            part.type = KEY;
            return true;
        }
        for (int state = Wait_Input; state <= Finished; ++state) {
            if (name == State_Name(state)) {
                part.node = Add(CONSTANT, -1, -1, state);
                part.type = NUMBER;
                return true;
            }
        }
        if (name == "implies" || name == "or" || name == "and" || name == "not" ||
            (formula_ && name == "U")) {
            return Fail(token_, Words({"a value is missing before '", name, "'"}));
        }
        if (formula_ && (name == "A" || name == "E")) {
            return Fail(token_, Words({name, " is written ", name, "[ F U G ]"}));
        }
        for (const Prefix& prefix : PREFIXES) {
            if (name == prefix.name || (!formula_ && (name == "A" || name == "E"))) {
                return Fail(token_, Words({name, " is a temporal operator: it is for --ctl"}));
            }
        }
        // The commonest slips: a field in capitals, a key without its quotes.
        std::string lower(name);
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (const Trace_Field& field : TRACE_FIELDS) {
            if (lower == field.name && Use_Of(field.type).usable) {
                return Fail(token_, Words({"fields are written in lower case, as ", lower}));
            }
        }
        if (name.size() == 1 && std::string_view(KEYS).find(name) != std::string_view::npos) {
            return Fail(token_, Words({"a key is written in single quotes, as '", name, "'"}));
        }
        if (std::isupper(static_cast<unsigned char>(name.front()))) {
            return Fail(token_, "no state is named so: the states are " + State_Names());
        }
        return Fail(token_, "unknown name: the fields are " + Condition_Fields());
    }
};

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
    const bool oven_key =
        record.key != '\0' && std::string_view(KEYS).find(record.key) != std::string_view::npos;
    for (std::size_t i = 0; !oven_key && i < TRACE_FIELDS.size(); ++i) {
        if (TRACE_FIELDS[i].type == Field_Type::KEY_CODE) {
            line[i] = NO_KEY;
        }
    }
    return line;
}

std::string Condition_Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Condition_Fields()
{
    return Listed(
        TRACE_FIELDS, [](const Trace_Field& field) { return Use_Of(field.type).usable; },
        [](const Trace_Field& field) { return field.name; });
}
