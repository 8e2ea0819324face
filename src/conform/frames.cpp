#include "conform/frames.h"

#include <cassert>
#include <cstdio>
#include <unistd.h>

#include "console/keyboard.h"
#include "replay/replay.h"

namespace
{

// Standard output sent to a scratch file while `run` runs: the tick prints
// its frames there, and they are read back.
template <class Run> std::string Captured(Run run)
{
    std::FILE* scratch = std::tmpfile();
    assert(scratch != nullptr && "a scratch file for the frames");
    std::fflush(stdout);
    const int kept = dup(STDOUT_FILENO);
    dup2(fileno(scratch), STDOUT_FILENO);
    run();
    std::fflush(stdout);
    dup2(kept, STDOUT_FILENO);
    close(kept);
    std::string bytes;
    std::rewind(scratch);
    char buffer[1 << 14];
    for (std::size_t n = 0; (n = std::fread(buffer, 1, sizeof buffer, scratch)) > 0;) {
        bytes.append(buffer, n);
    }
    std::fclose(scratch);
    return bytes;
}

} // namespace

std::vector<std::string> Expected_Frames(const Oven_Configuration& start, std::string_view script)
{
    Restore_Configuration(start);
    std::vector<std::size_t> ends; // where each tick's frame ends in the output
    const std::string all = Captured([&] {
        const auto tick = [&](signed char key) {
            Replay_Tick(key);
            std::fflush(stdout);
            ends.push_back(static_cast<std::size_t>(lseek(STDOUT_FILENO, 0, SEEK_CUR)));
        };
        for (const char byte : script) {
            tick(static_cast<signed char>(byte));
        }
        tick(KEY_QUIT);
    });
    Restore_Configuration(start);
    std::vector<std::string> frames;
    std::size_t from = 0;
    for (const std::size_t end : ends) {
        frames.push_back(all.substr(from, end - from));
        from = end;
    }
    return frames;
}

std::string_view Separator_Of(std::string_view frame)
{
    std::size_t first = frame.size();
    while (first > 0 && frame[first - 1] == '\n') {
        --first;
    }
    return frame.substr(first);
}

std::vector<std::string> Split_Frames(std::string_view output, std::string_view separator,
                                      std::string& rest)
{
    assert(!separator.empty() && "every frame ends in newlines");
    std::vector<std::string> frames;
    std::size_t from = 0;
    for (std::size_t at = 0; (at = output.find(separator, from)) != std::string_view::npos;) {
        frames.emplace_back(output.substr(from, at + separator.size() - from));
        from = at + separator.size();
    }
    rest = output.substr(from);
    return frames;
}
