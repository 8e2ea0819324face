#include "replay/script_input.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "replay/shown.h"

namespace
{

constexpr std::size_t SCRIPT_BUFFER = 1 << 16;
struct Script {
    int fd = STDIN_FILENO;
    const char* name = nullptr; // null for standard input
    bool live = false;          // a terminal, a pipe or a socket: a read may wait for the next key
    unsigned char bytes[SCRIPT_BUFFER] = {};
    std::size_t size = 0;
    std::size_t next = 0;
    bool ended = false;
    int error = 0; // errno of a failed read
    bool (*flush)() = nullptr;
};
Script script;

// Reads the next buffer of the script; false at its end or on an error.
bool Fill()
{
    if (script.live && script.flush != nullptr && !script.flush()) {
        script.ended = true; // the write error is said at the end
        return false;
    }
    ssize_t n = 0;
    do {
        n = read(script.fd, script.bytes, sizeof script.bytes);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        script.ended = true;
        script.error = n < 0 ? errno : 0;
        return false;
    }
    script.size = static_cast<std::size_t>(n);
    script.next = 0;
    return true;
}

} // namespace

bool Open_Script(const char* name)
{
    script.name = name;
    if (name != nullptr) {
        script.fd = open(name, O_RDONLY | O_CLOEXEC);
        if (script.fd < 0) {
            script.error = errno;
            return false;
        }
    }
    struct stat input {
    };
    script.live = fstat(script.fd, &input) == 0 &&
                  (S_ISCHR(input.st_mode) || S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode));
    return Fill() || script.error == 0;
}

void Flush_Before_Waiting(bool (*flush)())
{
    script.flush = flush;
}

int Next_Byte()
{
    if (script.next == script.size && (script.ended || !Fill())) {
        return -1;
    }
    return script.bytes[script.next++];
}

int Script_Error()
{
    return script.error;
}

int Cannot_Read(const char* program)
{
    if (script.name == nullptr) {
        std::fprintf(stderr, "%s: cannot read standard input: %s\n", program,
                     std::strerror(script.error));
    } else {
        std::fprintf(stderr, "%s: cannot read '%s': %s\n", program, Shown(script.name).c_str(),
                     std::strerror(script.error));
    }
    return EXIT_FAILURE;
}
