// Bytes that came from outside (a file name, a condition, a saved file's
// text), made safe to print: nothing a terminal would act on, nothing a
// JSON reader would refuse.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `bytes` as text: a control byte (C0, DEL, or a C1 character) and a byte
// that is no part of well-formed UTF-8 are written as \xNN; everything else
// is copied.
std::string Shown(std::string_view bytes);

// The terminal columns that text written by Shown takes: one a character.
std::size_t Shown_Columns(std::string_view shown);

// `bytes` as a JSON string, in its double quotes: valid UTF-8 is copied, a
// control character (C0, DEL, C1) is \u00NN, and a byte that is no UTF-8 is
// the text \xNN (a backslash escaped, then xNN).
std::string Json_String(std::string_view bytes);
