#include "replay/trace.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <unistd.h>

#include "console/keyboard.h"
#include "oven/oven.h"

namespace
{

constexpr std::size_t BUFFER_SIZE = 1 << 16;
constexpr std::size_t TRACE_LINE_SIZE = 512; // room for a line; one takes under 300 bytes
char buffer[BUFFER_SIZE];
std::size_t used = 0;

const char* boolean(bool flag)
{
    return flag ? "true" : "false";
}

} // namespace

bool Trace_Flush(int fd)
{
    std::size_t done = 0;
    while (done < used) {
        const ssize_t n = write(fd, buffer + done, used - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            used = 0;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    used = 0;
    return true;
}

bool Trace_Tick(int fd, long tick, const Tick_Record& record)
{
    if (BUFFER_SIZE - used < TRACE_LINE_SIZE && !Trace_Flush(fd)) {
        return false;
    }
    // Byte 0xFF is the same as no key, as it is to the oven.
    char number[4] = "";
    const char* key = "null";
    if (record.key != NO_KEY) {
        std::snprintf(number, sizeof number, "%d", static_cast<unsigned char>(record.key));
        key = number;
    }
    // The key as a one-character JSON string when it is printable ASCII.
    char character[5] = "null";
    if (record.key >= ' ' && record.key <= '~') {
        const bool escaped = record.key == '"' || record.key == '\\';
        std::snprintf(character, sizeof character, escaped ? "\"\\%c\"" : "\"%c\"", record.key);
    }
    const Oven_Data& oven = Data_Storage;
    const int length = std::snprintf(
        buffer + used, TRACE_LINE_SIZE,
        "{\"tick\":%ld,\"key\":%s,\"char\":%s,\"taken\":%s,\"door\":%s,\"light\":%s,\"state\":%d,"
        "\"state_name\":\"%s\","
        "\"time\":%d,\"mode\":%d,\"time_mode\":%s,\"start\":%s,\"set_temp\":%.1f,"
        "\"cur_temp\":%.1f,\"buzzer\":%s}\n",
        tick, key, character, boolean(record.taken), boolean(record.door), boolean(record.light),
        record.state, State_Name(record.state), oven.Time, oven.Mode, boolean(oven.Time_Mode),
        boolean(oven.Start), oven.Set_Temp, oven.Cur_Temp, boolean(record.buzzer));
    // snprintf counts what it would have written; never step past what it did.
    if (length < 0 || static_cast<std::size_t>(length) >= TRACE_LINE_SIZE) {
        errno = EOVERFLOW; // a cut line would not be JSON: say so rather than write it
        return false;
    }
    used += static_cast<std::size_t>(length);
    return true;
}
