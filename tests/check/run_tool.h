// The oven's tools run as a user runs them, for the checker's tests: each
// run bounded by CPU time (the runner's) and by memory, never by the wall
// clock, so that a search that never ends is killed however busy the
// machine is.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "run_mwc.h"

// The sanitizers' shadow memory is address space that is never touched, so
// there the limit is on what is resident.
#if defined(__SANITIZE_ADDRESS__)
#define MWC_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MWC_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef MWC_ADDRESS_SANITIZER
constexpr char MEMORY_LIMIT[] =
    "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=1024\"; ";
#else
constexpr char MEMORY_LIMIT[] = "ulimit -v 1048576; ";
#endif

inline Mwc_Run Run_Tool(const char* program, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(),
                     {"/bin/sh", "-c", std::string(MEMORY_LIMIT) + "exec \"$0\" \"$@\"", program});
    return Run_Command_On_Pipes(arguments, "", NO_WALL_CLOCK_S);
}

inline int Exit_Status(const Mwc_Run& run)
{
    return WIFEXITED(run.wait_status) ? WEXITSTATUS(run.wait_status) : -1;
}

// Line `number` (from 1) of `text`, without its newline.
inline std::string Line(const std::string& text, std::size_t number)
{
    std::istringstream lines(text);
    std::string line;
    for (std::size_t i = 0; i < number && std::getline(lines, line); ++i) {
    }
    return line;
}

inline std::string Read_File(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A saved graph sealed again with a checksum that holds (FNV-1a, 64 bits,
// over all but its last 8 bytes), as a crafted file is.
inline std::string Sealed(std::string bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i + sizeof hash < bytes.size(); ++i) {
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 0x100000001b3ULL;
    }
    for (std::size_t i = 0; i < sizeof hash; ++i) {
        bytes[bytes.size() - sizeof hash + i] = static_cast<char>(hash >> (8 * i));
    }
    return bytes;
}

// A file of one test's own, gone when the test ends.
class Scratch_File
{
  public:
    Scratch_File()
    {
        const int fd = mkstemp(path_);
        EXPECT_GE(fd, 0);
        close(fd);
    }
    ~Scratch_File()
    {
        unlink(path_);
    }
    Scratch_File(const Scratch_File&) = delete;
    Scratch_File& operator=(const Scratch_File&) = delete;
    const char* Path() const
    {
        return path_;
    }
    void Write(const std::string& bytes) const
    {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
    }

  private:
    char path_[sizeof "/tmp/mwc-check-scratch-XXXXXX"] = "/tmp/mwc-check-scratch-XXXXXX";
};
