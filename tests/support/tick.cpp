#include "tick.h"

#include <cstdlib>
#include <string>

#include "capture.h"
#include "oven/controller.h"
#include "oven/oven.h"
#include "panel/display.h"
#include "panel/door_light.h"
#include "stand_ins.h"

namespace
{
bool door = false;
} // namespace

void Tick(signed char key)
{
    door = Door_Sensor(key, door);
    BackLight_Controller(Data_Storage.Start, door);
    Display_Controller();
    System_Controller(door, key);
}

bool Door_Open()
{
    return door;
}

std::vector<Frame> Run_Ticks(std::string_view keys)
{
    Output_Capture capture;
    std::vector<bool> buzzed;
    for (const char byte : keys) {
        const std::size_t sounds = Sound_Log().size();
        Tick(static_cast<signed char>(byte));
        buzzed.push_back(Sound_Log().size() != sounds);
    }
    const std::string output = capture.Take();

    std::vector<Frame> frames;
    const std::string error = Read_Frames(output, 0, frames);
    if (!error.empty() || frames.size() != keys.size()) {
        std::fprintf(stderr, "unreadable panel output: %s\n", error.c_str());
        std::abort();
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i].buzzer = buzzed[i];
    }
    return frames;
}
