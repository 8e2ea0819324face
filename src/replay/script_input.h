// A key script as mwc-replay reads it: a byte a tick, a buffer at a time,
// from a file or from standard input, which may be a terminal or a pipe
// that a person types into as the replay runs.
#pragma once

// Opens the script `name` (null for standard input) and reads its first
// buffer, before anything is written: a script that cannot be read (a
// folder, say) leaves standard output empty. False when it cannot be read.
bool Open_Script(const char* name);

// What has been run is written by `flush` before a read that may wait, so
// that a replay fed from a terminal or a pipe can be watched as it goes; a
// flush that fails ends the script there.
void Flush_Before_Waiting(bool (*flush)());

// The next byte of the script, or -1 when it has run out or a read failed.
int Next_Byte();

// The errno of the read that failed, or 0 while none has.
int Script_Error();

// Says on standard error, after `program`, that the script could not be
// read; returns EXIT_FAILURE.
int Cannot_Read(const char* program);
