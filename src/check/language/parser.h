// The condition language's parser, shared by the two files that define it:
// tokens (lexer.h) to nodes, by recursive descent, one function a level of
// precedence. The connectives and temporal operators are in expression.cpp,
// the comparisons and operands in operands.cpp; what names stand for is in
// names.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "check/language/expression.h"
#include "check/language/lexer.h"
#include "check/language/names.h"
#include "replay/shown.h"

// A parsed part: its node, its type, and where it stands in the text.
struct Part {
    int node = -1;
    Value_Type type = Value_Type::BOOLEAN;
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
    bool Parse(bool value = false);

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
    bool Deeper(const Token& token);
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

    // A part used as a condition must be one.
    bool Condition(const Part& part);

    // Joins `left` and what follows with `kind`, both conditions.
    bool Join(Part& left, int kind, const Part& right);

    // The grammar, loosest first (expression.cpp): implies, or, and, then
    // not and the temporal prefixes.
    bool Implies(Part& part);
    bool Or(Part& part);
    bool And(Part& part);

    // The temporal prefix operator at hand, or -1.
    int Prefix_Kind() const
    {
        return token_.kind == Token::WORD ? Prefix_Kind_Of(Text(token_)) : -1;
    }

    // One more temporal operator, at `token`, or a failure past the limit.
    bool Temporal(const Token& token);

    bool Not(Part& part);

    // The comparisons and what they compare (operands.cpp).
    bool Comparison(Part& part);

    // Numbers added and taken away, left to right: time = before.time - 1.
    bool Sum(Part& part);

    // An operand, or a number written with a minus sign: -1.
    bool Signed_Operand(Part& part);

    bool Operand(Part& part);
    // A token that is no part of a condition, said as what it may have
    // been meant for.
    bool Bad_Token();
    // A value's type in words: "a condition", "a key", ...
    static std::string_view Describe(Value_Type type);

    // A state's name in double quotes, as state_name is compared with.
    bool State_Constant(Part& part);

    // A key of the oven in single quotes.
    bool Key_Constant(Part& part);

    // From a '(' to its ')', which is the token at hand after it.
    bool Parenthesised(Part& part);

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
    bool Until(Part& part);

    // A field, a before. field or a named constant.
    bool Name(Part& part);
};
