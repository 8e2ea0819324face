// The tokens of a condition or a formula, one at a time, for the parser.
#pragma once

#include <cstddef>
#include <string_view>

#include "check/language/expression.h"
#include "check/language/names.h"

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

class Lexer
{
  public:
    // `formula`: the square brackets of A[ U ] and E[ U ] are tokens.
    Lexer(std::string_view text, bool formula) : text_(text), formula_(formula) {}
    // The next token; END at the end, and from then on.
    Token Next();
    // Whether the token after the one last given is '['.
    bool Square_Ahead() const;

  private:
    std::string_view text_;
    bool formula_;
    std::size_t next_ = 0; // where the next token starts
};
