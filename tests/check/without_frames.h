// The tick draws every frame on standard output; a test that explores in
// its own process sends them nowhere while it does.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

template <class Run> auto Without_Frames(Run run)
{
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(nowhere, STDOUT_FILENO);
    close(nowhere);
    auto result = run();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return result;
}
