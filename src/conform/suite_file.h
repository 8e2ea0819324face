// A suite kept in a file (mwc-conform --suite), to be run again or cut
// down by hand (--suite-from): one JSON object,
//   {"tests":[{"why":"...","script":"..."},...],"unmet":["...",...]}
// with each script's keys a to f and . for a tick without a key.
#pragma once

#include <string>
#include <string_view>

#include "conform/suite.h"

// The most bytes a suite file may hold: far above any suite made here.
constexpr std::size_t MAX_SUITE_BYTES = std::size_t{16} << 20;

// The suite as its file holds it, ending in a newline.
std::string Suite_Json(const Suite& suite);

// Reads a suite file's text into `suite`; false, with `error` saying what
// is wrong and at which byte, when it is not one.
bool Parse_Suite(std::string_view text, Suite& suite, std::string& error);

// Reads the suite file `path` (standard input for -) into `suite`: -1 to go
// on, or the exit status, said on standard error after `program` naming the
// file: 1 when it cannot be read, 2 when it is no suite.
int Read_Suite_File(const char* program, const char* path, Suite& suite);
