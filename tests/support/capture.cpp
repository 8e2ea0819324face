#include "capture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

Output_Capture::Output_Capture(int fd) : fd_(fd)
{
    std::fflush(stdout);
    char name[] = "/tmp/mwc-capture-XXXXXX";
    file_fd_ = mkstemp(name);
    if (file_fd_ < 0) {
        std::abort();
    }
    unlink(name);
    saved_fd_ = dup(fd_);
    dup2(file_fd_, fd_);
}

Output_Capture::~Output_Capture()
{
    std::fflush(stdout);
    dup2(saved_fd_, fd_);
    close(saved_fd_);
    close(file_fd_);
}

// Not const: it empties the capture.
std::string Output_Capture::Take() // NOLINT(readability-make-member-function-const)
{
    std::fflush(stdout);
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = pread(file_fd_, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    // Start the file afresh, so that a long run does not fill the disk.
    if (ftruncate(file_fd_, 0) != 0 || lseek(file_fd_, 0, SEEK_SET) != 0) {
        std::abort();
    }
    return text;
}
