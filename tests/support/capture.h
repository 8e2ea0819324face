// Catches what the panel prints on standard output.
#pragma once

#include <string>

class Stdout_Capture
{
  public:
    Stdout_Capture();  // standard output now goes to a temporary file
    ~Stdout_Capture(); // and back to where it went before
    Stdout_Capture(const Stdout_Capture&) = delete;
    Stdout_Capture& operator=(const Stdout_Capture&) = delete;

    // Everything printed since the last Take.
    std::string Take();

  private:
    int saved_fd_;
    int file_fd_;
};
