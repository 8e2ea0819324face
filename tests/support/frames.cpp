#include "frames.h"

#include <algorithm>
#include <regex>

namespace
{

// Reads one line ending in '\n' at `pos`; false when there is none.
bool Take_Line(std::string_view stream, std::size_t& pos, std::string& line)
{
    const std::size_t end = stream.find('\n', pos);
    if (end == std::string_view::npos) {
        return false;
    }
    line.assign(stream.substr(pos, end - pos));
    pos = end + 1;
    return true;
}

} // namespace

std::string Read_Frames(std::string_view stream, int separator_newlines, std::vector<Frame>& frames)
{
    std::size_t pos = 0;
    while (pos < stream.size()) {
        Frame frame;
        for (std::string* line : {&frame.light, &frame.value, &frame.mode}) {
            if (!Take_Line(stream, pos, *line) || line->empty()) {
                return "frame " + std::to_string(frames.size()) + ": missing or empty line";
            }
        }
        for (int i = 0; i < separator_newlines; ++i, ++pos) {
            if (pos >= stream.size() || stream[pos] != '\n') {
                return "frame " + std::to_string(frames.size()) + ": separator has " +
                       std::to_string(i) + " newlines";
            }
        }
        frames.push_back(frame);
    }
    return {};
}

std::string Check_Frame(const Frame& frame)
{
    static const std::regex time_line(R"(\d\d : [0-5]\d)");
    static const std::regex temp_line("\\d\\d / \\d\\d\xC2\xBA"
                                      "C");
    static const std::vector<std::string> modes = {
        "00 : manual",
        "01 : \xEB\x96\xA1",
        "02 : \xEC\xA3\xBD",
        "03 : \xEB\xB0\xA5",
        "04 : \xEA\xB5\xAD/\xEC\xB0\x8C\xEA\xB0\x9C",
        "05 : \xED\x94\xBC\xEC\x9E\x90",
    };
    if (frame.light != LIGHT_ON && frame.light != LIGHT_OFF) {
        return "bad back-light line: " + frame.light;
    }
    if (!std::regex_match(frame.value, time_line) && !std::regex_match(frame.value, temp_line)) {
        return "bad time or temperature line: " + frame.value;
    }
    if (std::find(modes.begin(), modes.end(), frame.mode) == modes.end()) {
        return "bad mode line: " + frame.mode;
    }
    return {};
}
