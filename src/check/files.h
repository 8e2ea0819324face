// mwc-check's files: a saved graph read within bounds, and the files it
// writes (--save, --script) written whole or not at all.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/types.h>

// Standard output as it was when the program started, before anything
// pointed it elsewhere: a path that names it (/dev/stdout, /dev/fd/1, the
// file it was sent to) is written there, through the program's own stream.
struct Standard_Output {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
};
Standard_Output Note_Standard_Output();

// Whether `path` is - or names standard output as noted.
bool Names_Standard_Output(const Standard_Output& noted, const char* path);

// Reads all of `path` (standard input for -) into `bytes`, stopping as soon
// as it runs past the size its header says or MAX_SAVED_BYTES: a file that
// never ends is refused holding no more than that. -1 to go on, or the exit
// status, said on standard error naming the file.
int Read_Saved_File(const char* program, const char* path, std::string& bytes);

// Writes `bytes` to `path` whole or not at all: a regular file (or a new
// one) through a new file beside it, renamed into place only once all of it
// is written, so that a failed write leaves the old file as it was; a
// device or a pipe is written directly. False, said on standard error
// naming the file, if it could not be. The caller ignores SIGXFSZ, so that
// a write past a file size limit fails as any other.
bool Write_Whole(const char* program, const char* path, std::string_view bytes);
