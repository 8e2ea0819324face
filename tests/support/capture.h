// Catches what the oven writes on standard output (the panel) or on
// standard error (the bell).
#pragma once

#include <string>
#include <unistd.h>

class Output_Capture
{
  public:
    // `fd` (standard output unless said) now goes to a temporary file,
    explicit Output_Capture(int fd = STDOUT_FILENO);
    ~Output_Capture(); // and back to where it went before
    Output_Capture(const Output_Capture&) = delete;
    Output_Capture& operator=(const Output_Capture&) = delete;

    // Everything printed since the last Take.
    std::string Take();

  private:
    int fd_;
    int saved_fd_;
    int file_fd_;
};
