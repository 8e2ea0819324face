#include "replay/shown.h"

#include <cstdint>
#include <cstdio>

namespace
{

constexpr unsigned char CONTINUATION_MASK = 0xC0;
constexpr unsigned char CONTINUATION = 0x80;
constexpr char32_t DEL = 0x7F;
constexpr char32_t LAST_C1 = 0x9F;
constexpr char32_t FIRST_SURROGATE = 0xD800;
constexpr char32_t LAST_SURROGATE = 0xDFFF;
constexpr char32_t LAST_CODE_POINT = 0x10FFFF;
constexpr unsigned SIX_BITS = 0x3F;

struct Character {
    std::size_t size = 0; // bytes; 0 when the byte at hand starts no character
    char32_t code = 0;
};

// The well-formed UTF-8 character at `at`: no overlong form, no surrogate,
// nothing past U+10FFFF.
Character Character_At(std::string_view bytes, std::size_t at)
{
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    struct Form {
        unsigned char lead_mask, lead_bits, payload;
        std::size_t size;
        char32_t least;
    };
    constexpr Form FORMS[] = {
        {0x80, 0x00, 0x7F, 1, 0x0},
        {0xE0, 0xC0, 0x1F, 2, 0x80},
        {0xF0, 0xE0, 0x0F, 3, 0x800},
        {0xF8, 0xF0, 0x07, 4, 0x10000},
    };
    for (const Form& form : FORMS) {
        if ((lead & form.lead_mask) != form.lead_bits) {
            continue;
        }
        if (bytes.size() - at < form.size) {
            return {};
        }
        char32_t code = lead & form.payload;
        for (std::size_t i = 1; i < form.size; ++i) {
            if ((byte(at + i) & CONTINUATION_MASK) != CONTINUATION) {
                return {};
            }
            code = code << 6U | (byte(at + i) & SIX_BITS);
        }
        const bool surrogate = code >= FIRST_SURROGATE && code <= LAST_SURROGATE;
        if (code < form.least || surrogate || code > LAST_CODE_POINT) {
            return {};
        }
        return {form.size, code};
    }
    return {};
}

// A character that a terminal may act on: C0, DEL and C1.
bool Is_Control(char32_t code)
{
    return code < U' ' || (code >= DEL && code <= LAST_C1);
}

void Append_Hex(std::string& out, std::string_view bytes, const char* format)
{
    for (const char byte : bytes) {
        char hex[sizeof "\\\\xFF"];
        std::snprintf(hex, sizeof hex, format, static_cast<unsigned char>(byte));
        out += hex;
    }
}

} // namespace

std::string Shown(std::string_view bytes)
{
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Character character = Character_At(bytes, at);
        const std::size_t size = character.size == 0 ? 1 : character.size;
        const bool control = Is_Control(character.code);
        if (character.size == 0 || control) {
            Append_Hex(shown, bytes.substr(at, size), "\\x%02X");
        } else {
            shown.append(bytes, at, size);
        }
        at += size;
    }
    return shown;
}

std::size_t Shown_Columns(std::string_view shown)
{
    std::size_t columns = 0;
    for (const char byte : shown) {
        columns += (static_cast<unsigned char>(byte) & CONTINUATION_MASK) != CONTINUATION ? 1 : 0;
    }
    return columns;
}

std::string Json_String(std::string_view bytes)
{
    std::string json = "\"";
    for (std::size_t at = 0; at < bytes.size();) {
        const Character character = Character_At(bytes, at);
        if (character.size == 0) {
            Append_Hex(json, bytes.substr(at, 1), "\\\\x%02X");
            ++at;
            continue;
        }
        if (character.code == U'"' || character.code == U'\\') {
            json += '\\';
        }
        if (Is_Control(character.code)) {
            char escape[sizeof "\\u0000"];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(character.code));
            json += escape;
        } else {
            json.append(bytes, at, character.size);
        }
        at += character.size;
    }
    return json + "\"";
}
