#include "replay/trace.h"

#include <cassert>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "replay/fields.h"

namespace
{

constexpr std::size_t BUFFER_SIZE = 1 << 16;
constexpr std::size_t TRACE_LINE_SIZE = 512; // room for a line; one takes under 300 bytes
char buffer[BUFFER_SIZE];
std::size_t used = 0;

// Writes `separator`, the field's name and its value, as JSON, as snprintf
// does: the count it returns is what the whole would take.
int Write_Field(char* out, std::size_t room, char separator, const Trace_Field& field, double value)
{
    const int number = static_cast<int>(value);
    switch (field.type) {
    case Field_Type::COUNT:
        return std::snprintf(out, room, "%c\"%s\":%ld", separator, field.name,
                             static_cast<long>(value));
    case Field_Type::KEY_CODE:
        if (value == NO_KEY) {
            break;
        }
        return std::snprintf(out, room, "%c\"%s\":%d", separator, field.name, number);
    case Field_Type::CHARACTER:
        // The key as a one-character string when it is printable ASCII.
        if (number < ' ' || number > '~') {
            break;
        }
        return std::snprintf(
            out, room, number == '"' || number == '\\' ? "%c\"%s\":\"\\%c\"" : "%c\"%s\":\"%c\"",
            separator, field.name, number);
    case Field_Type::BOOLEAN:
        return std::snprintf(out, room, "%c\"%s\":%s", separator, field.name,
                             value != 0 ? "true" : "false");
    case Field_Type::INTEGER:
    case Field_Type::STATE:
        return std::snprintf(out, room, "%c\"%s\":%d", separator, field.name, number);
    case Field_Type::TEMPERATURE:
        return std::snprintf(out, room, "%c\"%s\":%.1f", separator, field.name, value);
    case Field_Type::STATE_NAME:
        return std::snprintf(out, room, "%c\"%s\":\"%s\"", separator, field.name,
                             State_Name(number));
    }
    return std::snprintf(out, room, "%c\"%s\":null", separator, field.name);
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

bool Trace_Write(int fd, const char* text, std::size_t size)
{
    while (size > 0) {
        if (used == BUFFER_SIZE && !Trace_Flush(fd)) {
            return false;
        }
        const std::size_t part = size < BUFFER_SIZE - used ? size : BUFFER_SIZE - used;
        std::memcpy(buffer + used, text, part);
        used += part;
        text += part;
        size -= part;
    }
    return true;
}

int Trace_Line_Text(char* out, std::size_t room, const double* values)
{
    std::size_t length = 0;
    for (std::size_t f = 0; f < TRACE_FIELD_COUNT; ++f) {
        const int written = Write_Field(out + length, room - length, length == 0 ? '{' : ',',
                                        TRACE_FIELDS[f], values[f]);
        // snprintf counts what it would have written; never step past what it did.
        if (written < 0 || static_cast<std::size_t>(written) >= room - length - 1) {
            return -1;
        }
        length += static_cast<std::size_t>(written);
    }
    out[length++] = '}';
    out[length] = '\0';
    return static_cast<int>(length);
}

int Trace_Value_Text(char* out, std::size_t room, std::size_t field, double value)
{
    assert(field < TRACE_FIELD_COUNT && room > 0);
    char text[TRACE_LINE_SIZE];
    const int written = Write_Field(text, sizeof text, ',', TRACE_FIELDS[field], value);
    // After ,"name":
    const int prefix = static_cast<int>(std::strlen(TRACE_FIELDS[field].name)) + 4;
    if (written < prefix || static_cast<std::size_t>(written) >= sizeof text) {
        return -1;
    }
    return std::snprintf(out, room, "%s", text + prefix);
}

bool Trace_Tick(int fd, long tick, const Tick_Record& record)
{
    assert(tick >= 1 && "ticks are numbered from 1");
    if (BUFFER_SIZE - used < TRACE_LINE_SIZE && !Trace_Flush(fd)) {
        return false;
    }
    double values[TRACE_FIELD_COUNT];
    for (std::size_t f = 0; f < TRACE_FIELD_COUNT; ++f) {
        values[f] = TRACE_FIELDS[f].read(tick, record);
    }
    // Room for the newline after it.
    const int length = Trace_Line_Text(buffer + used, TRACE_LINE_SIZE - 1, values);
    if (length < 0) {
        errno = EOVERFLOW; // a cut line would not be JSON: say so rather than write it
        return false;
    }
    used += static_cast<std::size_t>(length);
    buffer[used++] = '\n';
    return true;
}
