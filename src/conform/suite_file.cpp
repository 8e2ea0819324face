#include "conform/suite_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "replay/command_line.h"
#include "replay/replay.h"
#include "replay/shown.h"

namespace
{

constexpr std::string_view SCRIPT_KEYS = ".abcdef";
constexpr int HEX_DIGITS = 4; // of a \u escape

// A reader of exactly the suite's JSON: the text, where it stands, and the
// first fault met.
struct Reader {
    std::string_view text;
    std::size_t at = 0;
    std::string error;

    bool Fail(const std::string& what)
    {
        if (error.empty()) {
            error = what + " at byte " + std::to_string(at + 1);
        }
        return false;
    }
    void Skip_Space()
    {
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) {
            ++at;
        }
    }
    // The character `c` next, after any space; taken when it is there.
    bool Take(char c)
    {
        Skip_Space();
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool Expect(char c)
    {
        return Take(c) || Fail(std::string("expected '") + c + "'");
    }
    bool Hex(std::uint32_t& value);
    bool String(std::string& value);
};

// `code` as UTF-8, after `value`.
void Append_Utf8(std::uint32_t code, std::string& value)
{
    if (code < 0x80) {
        value.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        value.push_back(static_cast<char>(0xC0 | (code >> 6)));
        value.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        value.push_back(static_cast<char>(0xE0 | (code >> 12)));
        value.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        value.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        value.push_back(static_cast<char>(0xF0 | (code >> 18)));
        value.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        value.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        value.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool Reader::Hex(std::uint32_t& value)
{
    value = 0;
    for (int i = 0; i < HEX_DIGITS; ++i, ++at) {
        const char c = at < text.size() ? text[at] : '\0';
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return Fail("expected four hexadecimal digits after \\u");
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

// A JSON string; its escapes made the characters they stand for.
bool Reader::String(std::string& value)
{
    value.clear();
    if (!Expect('"')) {
        return false;
    }
    constexpr std::string_view SIMPLE = "\"\\/bfnrt";
    constexpr std::string_view MEANS = "\"\\/\b\f\n\r\t";
    for (;;) {
        if (at >= text.size()) {
            return Fail("a string is never closed");
        }
        const char c = text[at++];
        if (c == '"') {
            // Text to print: what Shown would have to escape is refused.
            return Shown(value) == value || Fail("a string that is no UTF-8 text");
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            return --at, Fail("a control character in a string");
        }
        if (c != '\\') {
            value.push_back(c);
            continue;
        }
        const std::size_t simple =
            at < text.size() ? SIMPLE.find(text[at]) : std::string_view::npos;
        if (simple != std::string_view::npos) {
            value.push_back(MEANS[simple]);
            ++at;
            continue;
        }
        if (at >= text.size() || text[at] != 'u') {
            return Fail("an escape that JSON has not");
        }
        ++at;
        std::uint32_t code = 0;
        if (!Hex(code)) {
            return false;
        }
        constexpr std::uint32_t HIGH = 0xD800;
        constexpr std::uint32_t LOW = 0xDC00;
        constexpr std::uint32_t END = 0xE000;
        if (code >= HIGH && code < LOW) { // the first of a pair
            std::uint32_t low = 0;
            if (!(Take('\\') && Take('u') && Hex(low)) || low < LOW || low >= END) {
                return Fail("a lone surrogate");
            }
            code = 0x10000 + ((code - HIGH) << 10) + (low - LOW);
        } else if (code >= LOW && code < END) {
            return Fail("a lone surrogate");
        }
        Append_Utf8(code, value);
    }
}

// {"why":...,"script":...}, in either order.
bool Read_Test(Reader& reader, Conformance_Test& test)
{
    if (!reader.Expect('{')) {
        return false;
    }
    bool why = false;
    bool script = false;
    do {
        std::string key;
        if (!reader.String(key) || !reader.Expect(':')) {
            return false;
        }
        bool& seen = key == "why" ? why : script;
        if ((key != "why" && key != "script") || seen) {
            return reader.Fail(key == "why" || key == "script" ? "a key given twice"
                                                               : "a test has only why and script");
        }
        seen = true;
        if (!reader.String(key == "why" ? test.why : test.script)) {
            return false;
        }
    } while (reader.Take(','));
    if (!why || !script) {
        return reader.Fail("a test needs its why and its script");
    }
    for (const char byte : test.script) {
        if (SCRIPT_KEYS.find(byte) == std::string_view::npos) {
            return reader.Fail("a script is keys a to f and . for no key, not '" +
                               Shown({&byte, 1}) + "'");
        }
    }
    return reader.Expect('}');
}

// [item, ...] read by `item`.
template <class Item> bool Read_List(Reader& reader, Item item)
{
    if (!reader.Expect('[')) {
        return false;
    }
    if (reader.Take(']')) {
        return true;
    }
    do {
        if (!item()) {
            return false;
        }
    } while (reader.Take(','));
    return reader.Expect(']');
}

} // namespace

std::string Suite_Json(const Suite& suite)
{
    std::string json = "{\"tests\":[";
    for (std::size_t i = 0; i < suite.tests.size(); ++i) {
        json.append(i == 0 ? "\n" : ",\n")
            .append("{\"why\":")
            .append(Json_String(suite.tests[i].why))
            .append(",\"script\":")
            .append(Json_String(suite.tests[i].script))
            .append("}");
    }
    json.append("],\n\"unmet\":[");
    for (std::size_t i = 0; i < suite.unmet.size(); ++i) {
        json.append(i == 0 ? "" : ",").append(Json_String(suite.unmet[i]));
    }
    return json.append("]}\n");
}

bool Parse_Suite(std::string_view text, Suite& suite, std::string& error)
{
    suite = Suite{};
    Reader reader{text, 0, {}};
    bool tests = false;
    bool unmet = false;
    bool read = reader.Expect('{');
    while (read) {
        std::string key;
        read = reader.String(key) && reader.Expect(':');
        bool& seen = key == "tests" ? tests : unmet;
        if (read && ((key != "tests" && key != "unmet") || seen)) {
            read =
                reader.Fail(key == "tests" || key == "unmet" ? "a key given twice"
                                                             : "a suite has only tests and unmet");
        }
        seen = true;
        if (read && key == "tests") {
            read = Read_List(reader, [&] {
                suite.tests.emplace_back();
                return Read_Test(reader, suite.tests.back());
            });
        } else if (read) {
            read = Read_List(reader, [&] {
                suite.unmet.emplace_back();
                return reader.String(suite.unmet.back());
            });
        }
        if (!read || !reader.Take(',')) {
            break;
        }
    }
    read = read && reader.Expect('}');
    reader.Skip_Space();
    if (read && reader.at != text.size()) {
        read = reader.Fail("more after the suite");
    }
    if (read && !tests) {
        read = reader.Fail("a suite needs its tests");
    }
    error = reader.error;
    return read;
}

int Read_Suite_File(const char* program, const char* path, Suite& suite)
{
    const bool standard_input = std::string_view(path) == "-";
    std::FILE* file = standard_input ? stdin : std::fopen(path, "rb");
    std::string bytes;
    char buffer[1 << 16];
    std::size_t n = 0;
    while (file != nullptr && bytes.size() <= MAX_SUITE_BYTES &&
           (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, n);
    }
    const bool failed = file == nullptr || std::ferror(file) != 0;
    const int error = errno;
    if (file != nullptr && !standard_input) {
        std::fclose(file);
    }
    if (failed) {
        std::fprintf(stderr, "%s: cannot read '%s': %s\n", program, Shown(path).c_str(),
                     std::strerror(error));
        return EXIT_FAILURE;
    }
    std::string why;
    if (bytes.size() > MAX_SUITE_BYTES) {
        why = "it is over " + std::to_string(MAX_SUITE_BYTES) + " bytes";
    } else if (Parse_Suite(bytes, suite, why)) {
        return -1;
    }
    std::fprintf(stderr, "%s: '%s' is no suite: %s\n", program, Shown(path).c_str(), why.c_str());
    return EXIT_USAGE;
}
