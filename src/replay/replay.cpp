#include "replay/replay.h"

#include "console/keyboard.h"
#include "panel/display.h"

namespace
{
bool door = false; // shut, as in mwc's loop at start
} // namespace

Tick_Record Replay_Tick(signed char key)
{
    const int before = System_State();
    const bool door_before = door;
    // The Finished state's step is the one that sounds the buzzer.
    const bool buzzer = before == Finished;
    door = Door_Sensor(key, door);
    BackLight_Controller(Data_Storage.Start, door);
    Display_Controller();
    System_Controller(door, key);
    screen_Clear();
    const int after = System_State();

    // Whether the key did anything. The door took it if the door moved.
    // The controller takes a key only while idle, where every key it
    // accepts moves it to a one-tick state, and while cooking, where the
    // start key always cancels; in every other state keys are not looked at.
    const bool cooking = before == Time_Cooking || before == Temp_Cooking;
    const bool taken = key == KEY_QUIT || door != door_before ||
                       (before == Wait_Input && after != Wait_Input) ||
                       (cooking && key == KEY_START);
    return {key, door, BackLight_On(), after, buzzer, taken};
}

bool Oven_At_Rest()
{
    return System_State() == Wait_Input && !Data_Storage.Start;
}

Oven_Configuration Save_Configuration()
{
    return {Data_Storage, Controller_Save(), Counters_Save(), BackLight_Save(), door};
}

void Restore_Configuration(const Oven_Configuration& configuration)
{
    Data_Storage = configuration.record;
    Controller_Restore(configuration.controller);
    Counters_Restore(configuration.counters);
    BackLight_Restore(configuration.light);
    door = configuration.door;
}

const char* State_Name(int state)
{
    switch (state) {
    case Wait_Input:
        return "Wait_Input";
    case Add_Short:
        return "Add_Short";
    case Add_Long:
        return "Add_Long";
    case Switch_Unit:
        return "Switch_Unit";
    case Select_Mode:
        return "Select_Mode";
    case Starting:
        return "Starting";
    case Time_Cooking:
        return "Time_Cooking";
    case Temp_Cooking:
        return "Temp_Cooking";
    case Finished:
        return "Finished";
    default:
        return "?";
    }
}
