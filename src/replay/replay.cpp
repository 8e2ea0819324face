#include "replay/replay.h"

#include "console/keyboard.h"
#include "panel/display.h"

namespace
{
bool door = false; // shut, as in mwc's loop at start
bool draw_panel = true;
} // namespace

Tick_Record Replay_Tick(signed char key)
{
    const int before = System_State();
    const bool door_before = door;
    // The Finished state's step is the one that sounds the buzzer.
    const bool buzzer = before == Finished;
    door = Door_Sensor(key, door);
    BackLight_Controller(Data_Storage.Start, door);
    if (draw_panel) {
        Display_Controller();
    }
    System_Controller(door, key);
    if (draw_panel) {
        screen_Clear();
    }
    const int after = System_State();

    // Whether the key did anything: the door took it if the door moved,
    // the controller says whether it acted on it, and q ends the run.
    const bool taken = key == KEY_QUIT || door != door_before || System_Key_Taken();
    return {key, door, BackLight_On(), after, buzzer, taken};
}

void Replay_Draw_Panel(bool draw)
{
    draw_panel = draw;
}

bool Oven_At_Rest()
{
    return At_Rest(System_State(), Data_Storage.Start);
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
