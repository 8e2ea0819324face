#include "check/expression.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <initializer_list>

#include "oven/controller.h"
#include "replay/replay.h"

namespace
{

// Node kinds.
enum Kind : int { CONSTANT, FIELD, NOT, AND, OR, IMPLIES, EQ, NE, LT, LE, GT, GE };

// What a part of a condition stands for. A key is the key as the oven takes
// it: 'a' to 'f', 'q', or none (no key, or any other byte); keys are equal
// or not, never ordered, and never numbers.
enum Type { BOOLEAN, NUMBER, KEY };

// Fields, in the trace's order of names.
enum Field : int {
    DOOR,
    LIGHT,
    STATE,
    TIME,
    MODE,
    TIME_MODE,
    START,
    SET_TEMP,
    CUR_TEMP,
    BUZZER,
    TAKEN,
    KEY_FIELD
};
struct Field_Name {
    const char* name;
    Type type;
};
constexpr std::array<Field_Name, KEY_FIELD + 1> FIELDS = {{
    {"door", BOOLEAN},
    {"light", BOOLEAN},
    {"state", NUMBER},
    {"time", NUMBER},
    {"mode", NUMBER},
    {"time_mode", BOOLEAN},
    {"start", BOOLEAN},
    {"set_temp", NUMBER},
    {"cur_temp", NUMBER},
    {"buzzer", BOOLEAN},
    {"taken", BOOLEAN},
    {"key", KEY},
}};

constexpr char KEYS[] = "abcdefq"; // the keys that reach the oven

struct Token {
    enum Kind { END, NAME, DIGITS, CHARACTER, OPEN, CLOSE, COMPARE, BAD } kind = END;
    std::size_t offset = 0;
    std::size_t length = 0;
    int compare = 0;   // EQ to GE, for a comparison
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
    Parser(std::string_view text, Expression& expression, Expression_Error& error)
        : text_(text), expression_(expression), error_(error)
    {
    }

    bool Parse()
    {
        expression_.nodes.clear();
        Advance();
        if (token_.kind == Token::END) {
            return Fail(token_, "empty condition");
        }
        Part whole;
        if (!Implies(whole) || !Condition(whole)) {
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
    std::size_t next_ = 0; // where the next token starts
    Token token_;          // the token at hand

    std::string_view Text(const Token& token) const
    {
        return text_.substr(token.offset, token.length);
    }

    bool Fail(std::size_t offset, std::size_t length, std::string message)
    {
        error_ = {offset, length, std::move(message)};
        return false;
    }
    bool Fail(const Token& token, std::string message)
    {
        return Fail(token.offset, token.length, std::move(message));
    }
    bool Fail(const Part& part, std::string message)
    {
        return Fail(part.offset, part.length, std::move(message));
    }

    bool Is_Word(const char* word) const
    {
        return token_.kind == Token::NAME && Text(token_) == word;
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
            token_.kind = Token::NAME;
            while (std::isalnum(at(end)) || at(end) == '_') {
                ++end;
            }
        } else if (std::isdigit(c) || (c == '-' && std::isdigit(at(end)))) {
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
        } else if (c == '(' || c == ')') {
            token_.kind = c == '(' ? Token::OPEN : Token::CLOSE;
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
        return Fail(token_, Words({"'", Text(token_), "' is not part of a condition"}));
    }

    static std::string_view Describe(Type type)
    {
        return type == BOOLEAN ? "a condition" : type == KEY ? "a key" : "a number";
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
        Advance();
        Part right;
        return Implies(right) && Join(part, IMPLIES, right); // right to left
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

    bool Not(Part& part)
    {
        if (!Is_Word("not")) {
            return Comparison(part);
        }
        const Token word = token_;
        Advance();
        if (!Not(part) || !Condition(part)) {
            return false;
        }
        part.node = Add(NOT, part.node);
        part.length = part.offset + part.length - word.offset;
        part.offset = word.offset;
        return true;
    }

    bool Comparison(Part& part)
    {
        if (!Operand(part)) {
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
        if (!Operand(right)) {
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
        if (ordering && (part.type == KEY || right.type == KEY)) {
            return Fail(sign, "keys are equal or not, never ordered");
        }
        for (const auto& [field, constant] : {std::pair{part, right}, std::pair{right, part}}) {
            if (!field.state_field || !constant.number_constant) {
                continue;
            }
            const double number = expression_.nodes[static_cast<std::size_t>(constant.node)].value;
            if (number < Wait_Input || number > Finished || number != static_cast<int>(number)) {
                return Fail(constant, "no state has this number: they are 1 (Wait_Input) to "
                                      "9 (Finished)");
            }
        }
        part.node = Add(sign.compare, part.node, right.node);
        part.type = BOOLEAN;
        part.length = right.offset + right.length - part.offset;
        part.state_field = part.number_constant = false;
        return true;
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
            return Fail(token_, Words({"a value is missing before '", Text(token_), "'"}));
        case Token::BAD:
            return Bad_Token();
        case Token::DIGITS:
            part.node = Add(CONSTANT, -1, -1, token_.number);
            part.type = NUMBER;
            part.number_constant = true;
            break;
        case Token::CHARACTER: {
            const char key = text_[token_.offset + 1];
            if (std::string_view(KEYS).find(key) == std::string_view::npos) {
                return Fail(token_, "not a key of the oven: the keys are 'a' to 'f' and 'q'");
            }
            part.node = Add(CONSTANT, -1, -1, static_cast<unsigned char>(key));
            part.type = KEY;
            break;
        }
        case Token::OPEN: {
            const Token open = token_;
            Advance();
            if (!Implies(part)) {
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
            break;
        }
        case Token::NAME:
            if (!Name(part)) {
                return false;
            }
            break;
        }
        Advance();
        return true;
    }

    // A field or a named constant.
    bool Name(Part& part)
    {
        const std::string_view name = Text(token_);
        for (std::size_t field = 0; field < FIELDS.size(); ++field) {
            if (name == FIELDS[field].name) {
                part.node = Add(FIELD, -1, -1, static_cast<double>(field));
                part.type = FIELDS[field].type;
                part.state_field = field == STATE;
                return true;
            }
        }
        if (name == "true" || name == "false") {
            part.node = Add(CONSTANT, -1, -1, name == "true" ? 1 : 0);
            return true;
        }
        if (name == "none") {
            part.node = Add(CONSTANT, -1, -1, KEY_NONE);
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
        if (name == "implies" || name == "or" || name == "and" || name == "not") {
            return Fail(token_, Words({"a value is missing before '", name, "'"}));
        }
        if (std::isupper(static_cast<unsigned char>(name.front()))) {
            return Fail(token_, "no state is named so: the states are Wait_Input, Add_Short, "
                                "Add_Long, Switch_Unit, Select_Mode, Starting, Time_Cooking, "
                                "Temp_Cooking and Finished");
        }
        return Fail(token_, "unknown name: the fields are door, light, state, time, mode, "
                            "time_mode, start, set_temp, cur_temp, buzzer, taken and key");
    }
};

double Value(const Expression& expression, int index, const Trace_Line& line)
{
    const Expression::Node& node = expression.nodes[static_cast<std::size_t>(index)];
    const auto operand = [&](int which) { return Value(expression, which, line); };
    switch (node.kind) {
    case CONSTANT:
        return node.value;
    case FIELD:
        switch (static_cast<int>(node.value)) {
        case DOOR:
            return line.door;
        case LIGHT:
            return line.light;
        case STATE:
            return line.state;
        case TIME:
            return line.time;
        case MODE:
            return line.mode;
        case TIME_MODE:
            return line.time_mode;
        case START:
            return line.start;
        case SET_TEMP:
            return line.set_temp;
        case CUR_TEMP:
            return line.cur_temp;
        case BUZZER:
            return line.buzzer;
        case TAKEN:
            return line.taken;
        default:
            return line.key;
        }
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
    default:
        return operand(node.left) >= operand(node.right);
    }
}

} // namespace

bool Parse_Expression(std::string_view text, Expression& expression, Expression_Error& error)
{
    return Parser(text, expression, error).Parse();
}

bool Evaluate(const Expression& expression, const Trace_Line& line)
{
    return Value(expression, expression.root, line) != 0;
}
