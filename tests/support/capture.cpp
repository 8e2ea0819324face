#include "capture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

Stdout_Capture::Stdout_Capture()
{
    std::fflush(stdout);
    char name[] = "/tmp/mwc-capture-XXXXXX";
    file_fd_ = mkstemp(name);
    if (file_fd_ < 0) {
        std::abort();
    }
    unlink(name);
    saved_fd_ = dup(STDOUT_FILENO);
    dup2(file_fd_, STDOUT_FILENO);
}

Stdout_Capture::~Stdout_Capture()
{
    std::fflush(stdout);
    dup2(saved_fd_, STDOUT_FILENO);
    close(saved_fd_);
    close(file_fd_);
}

std::string Stdout_Capture::Take()
{
    std::fflush(stdout);
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = pread(file_fd_, buffer, sizeof buffer, taken_)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
        taken_ += n;
    }
    return text;
}
