#include "replay/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int Print_Text(const char* program, const char* text)
{
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write: %s\n", program, std::strerror(errno));
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

int Bad_Usage(const char* program, const char* usage)
{
    std::fputs(usage, stderr);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", program);
    return EXIT_USAGE;
}

void Name_Program(char** argv, const char* program)
{
    constexpr std::size_t NAME_SIZE = 32; // the longest program's name and more
    static char name[NAME_SIZE];
    std::snprintf(name, sizeof name, "%s", program);
    argv[0] = name;
}
