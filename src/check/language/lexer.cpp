#include "check/language/lexer.h"

#include <cctype>
#include <cstdlib>
#include <string>

Token Lexer::Next()
{
    using enum Expression::Kind;
    Token token;
    while (next_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[next_]))) {
        ++next_;
    }
    token.offset = next_;
    if (next_ == text_.size()) {
        return token;
    }
    // The byte at `i`, 0 past the end.
    const auto at = [this](std::size_t i) -> int {
        return i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0;
    };
    const int c = at(next_);
    std::size_t end = next_ + 1;
    if (std::isalpha(c) || c == '_') {
        token.kind = Token::WORD;
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
        token.kind = Token::DIGITS;
        while (std::isdigit(at(end))) {
            ++end;
        }
        if (at(end) == '.' && std::isdigit(at(end + 1))) {
            end += 2;
            while (std::isdigit(at(end))) {
                ++end;
            }
        }
        token.number = std::strtod(std::string(text_.substr(next_, end - next_)).c_str(), nullptr);
    } else if (c == '\'') {
        token.kind = at(end) != 0 && at(end + 1) == '\'' ? Token::CHARACTER : Token::BAD;
        end = token.kind == Token::CHARACTER ? end + 2 : end;
    } else if (c == '"') {
        // A state's name in double quotes, as the trace writes state_name.
        while (at(end) != 0 && at(end) != '"') {
            ++end;
        }
        token.kind = at(end) == '"' ? Token::TEXT : Token::BAD;
        end += at(end) == '"' ? 1 : 0;
    } else if (c == '(' || c == ')') {
        token.kind = c == '(' ? Token::OPEN : Token::CLOSE;
    } else if (formula_ && (c == '[' || c == ']')) {
        token.kind = c == '[' ? Token::OPEN_SQUARE : Token::CLOSE_SQUARE;
    } else if ((c == '+' || c == '-') && !(c == '-' && text_.substr(next_, 3) == "-->")) {
        token.kind = Token::ARITHMETIC;
        token.compare = c == '+' ? ADD : SUB;
    } else if (c == '=' && at(end) == '=') {
        token.kind = Token::BAD; // a common slip, named below
        end += 1;
    } else if (c == '=' || c == '<' || c == '>' || (c == '!' && at(end) == '=')) {
        token.kind = Token::COMPARE;
        const bool equal_sign = c != '=' && at(end) == '=';
        end += equal_sign ? 1 : 0;
        token.compare = c == '='   ? EQ
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
        token.kind = Token::BAD;
    }
    token.length = end - next_;
    next_ = end;
    return token;
}

bool Lexer::Square_Ahead() const
{
    std::size_t i = next_;
    while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i]))) {
        ++i;
    }
    return i < text_.size() && text_[i] == '[';
}
