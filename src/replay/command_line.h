// What the oven's tools share on their command lines, as GNU tools do it.
#pragma once

// The exit status of bad usage; 0 and 1 are EXIT_SUCCESS and EXIT_FAILURE.
constexpr int EXIT_USAGE = 2;

// Prints `text` (--help, --version) on standard output; says so on standard
// error when it could not be written. Returns the exit status.
int Print_Text(const char* program, const char* text);

// Prints `usage` and where to find more on standard error; returns
// EXIT_USAGE.
int Bad_Usage(const char* program, const char* usage);

// Makes argv[0] the program's own name, since getopt's messages begin with
// it, whatever name the program was started by.
void Name_Program(char** argv, const char* program);
