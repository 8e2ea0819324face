// Arbitrary text as a condition of mwc-check, as typed on a command line,
// as a leads-to, P --> Q, and as a value of --values. A text that does not parse must say why and
// point inside the text. One that does must evaluate on any trace line, and
// must parse again inside "not (...)" to the opposite answer: grouping
// changes nothing else. Whatever it is, it is shown safely.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check/forms.h"
#include "check/language/expression.h"
#include "replay/shown.h"

namespace
{

[[noreturn]] void Fail(const char* what, std::string_view text)
{
    std::fprintf(stderr, "expression fuzzer: %s: '%.*s'\n", what, static_cast<int>(text.size()),
                 text.data());
    std::abort();
}

// Whether `bytes` at `at` start a well-formed UTF-8 character, by the
// standard's table of lead and second bytes; its length, or 0.
std::size_t Character_Length(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned lead = byte(0);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || at + length > bytes.size()) {
        return 0;
    }
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t i = 1; i < length; ++i) {
        if (byte(i) < (i == 1 ? low : 0x80) || byte(i) > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

// The text as messages and JSON show it: well-formed UTF-8, with no
// control character (C0, DEL, C1) that a terminal might act on.
void Check_Shown(std::string_view text)
{
    const std::string shown = Shown(text);
    const std::string json = Json_String(text);
    for (const std::string* out : {&shown, &json}) {
        for (std::size_t at = 0; at < out->size();) {
            const std::size_t length = Character_Length(*out, at);
            const auto lead = static_cast<unsigned char>((*out)[at]);
            const bool c1 =
                lead == 0xC2 && length == 2 && static_cast<unsigned char>((*out)[at + 1]) < 0xA0;
            if (length == 0 || lead < 0x20 || lead == 0x7F || c1) {
                Fail("a shown text with a control byte or a byte that is no UTF-8", text);
            }
            at += length;
        }
    }
    if (Shown(shown) != shown) {
        Fail("a shown text that is shown otherwise again", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check_Shown(text);
    Expression expression;
    Expression_Error error;
    // As a leads-to too: an error inside the text, or two conditions.
    Expression from;
    if (!Parse_Leads_To(text, from, expression, error) &&
        (error.message.empty() || error.offset > text.size() ||
         error.length > text.size() - error.offset)) {
        Fail("a leads-to error without a message or outside the text", text);
    }
    // As a value for --values: an error inside the text, or a value that a
    // condition is also a value of.
    Expression value;
    const bool is_value = Parse_Value(text, value, error);
    if (!is_value && (error.message.empty() || error.offset > text.size() ||
                      error.length > text.size() - error.offset)) {
        Fail("a value's error without a message or outside the text", text);
    }
    // As --values 'FIELD where EXPR'.
    Question values{Query::VALUES, std::string(text)};
    if (!Form_Of(Query::VALUES).parse(values, ALL_STEP_INPUTS, error) &&
        (error.message.empty() || error.offset > text.size() ||
         error.length > text.size() - error.offset)) {
        Fail("a --values error without a message or outside the text", text);
    }
    if (!Parse_Expression(text, expression, error)) {
        if (error.message.empty()) {
            Fail("an error without a message", text);
        }
        if (error.offset > text.size() || error.length > text.size() - error.offset) {
            Fail("an error marked outside the text", text);
        }
        return 0;
    }
    if (expression.root < 0 ||
        static_cast<std::size_t>(expression.root) >= expression.nodes.size()) {
        Fail("a parsed condition without its root", text);
    }
    // A line from the data itself, so the fuzzer steers the values too.
    const auto byte = [&](std::size_t i) -> int { return size == 0 ? 0 : data[i % size]; };
    Trace_Line line{};
    for (std::size_t i = 0; i < line.size(); ++i) {
        line[i] = byte(i) % 2; // every condition field is a flag, a small number or a key
        if (TRACE_FIELDS[i].type == Field_Type::KEY_CODE) {
            line[i] = byte(i) % 7 == 6 ? NO_KEY : 'a' + byte(i) % 6;
        } else if (TRACE_FIELDS[i].type == Field_Type::STATE ||
                   TRACE_FIELDS[i].type == Field_Type::STATE_NAME) {
            line[i] = byte(i) % 9 + 1;
        } else if (TRACE_FIELDS[i].type == Field_Type::INTEGER) {
            line[i] = byte(i) * 3;
        } else if (TRACE_FIELDS[i].type == Field_Type::TEMPERATURE) {
            line[i] = byte(i) % 8 * 10.0 + 20;
        }
    }
    // before. fields read the same line: a tick that changed nothing.
    const bool holds = Evaluate(expression, line, line);
    if (!is_value || (Evaluate_Value(value, line, line) != 0) != holds) {
        Fail("a condition that is not the same as a value", text);
    }
    const std::string negated = "not (" + std::string(text) + ")";
    Expression opposite;
    if (!Parse_Expression(negated, opposite, error)) {
        if (error.message.starts_with("nested too deep")) {
            return 0; // the two levels added were past the limit
        }
        Fail("a condition that no longer parses in parentheses", text);
    }
    if (Evaluate(opposite, line, line) == holds) {
        Fail("not (...) gives the same answer", text);
    }
    return 0;
}
