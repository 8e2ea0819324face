// The oven's tick at full speed, for replaying key scripts and for tests:
// the calls of mwc's tick loop, in the same order, without the sleep.
#pragma once

#include "oven/controller.h"
#include "oven/counters.h"
#include "oven/oven.h"
#include "panel/door_light.h"

// What one tick did, as the tick leaves it.
struct Tick_Record {
    signed char key; // the tick's key byte; -1 (0xFF) is no key
    bool door;       // open, after this tick's door sensor
    bool light;      // the back light as this tick drew it
    int state;       // the controller's state after its step, 1 to 9
    bool buzzer;     // the buzzer sounded in this tick's step
    bool taken;      // the key was acted on: by the door, the controller, or as q
    bool operator==(const Tick_Record&) const = default;
};

// How the tools write a tick without a key in the key scripts they give.
// Read back, it is the byte 46: like every byte but a to f and q, no key to
// the oven, though a trace line shows it as the key 46.
constexpr char IDLE_TICK = '.';

// How many times a script file holds a never-ending script's loop, so that a
// replay shows it repeating: mwc-check writes it so, and the page reads it so.
constexpr int LOOP_ROUNDS_WRITTEN = 3;

// One tick: the door sensor, the back light and the panel lines, the
// controller's step, then the frame separator, all printed on standard
// output exactly as mwc prints them. The door flag is kept from one tick to
// the next, as mwc's loop keeps it. The buzzer sounds through whatever tone
// layer is linked in.
Tick_Record Replay_Tick(signed char key);

// Whether Replay_Tick draws the panel lines and the separator: it does
// unless told otherwise. A tool that runs a million ticks only to read
// what they leave turns them off, as the panel reads the oven and changes
// nothing in it; the back light is a state machine and always runs. mwc
// never calls this.
void Replay_Draw_Panel(bool draw);

// At rest: the controller in `state` waits for input, and nothing cooks
// (`start` is off). Where a replay without keys ends, and the checker's one
// meaning of the words.
constexpr bool At_Rest(int state, bool start)
{
    return state == Wait_Input && !start;
}
// Whether the oven is at rest now.
bool Oven_At_Rest();

// Everything the tick carries from one tick to the next: the oven's record,
// the controller's, the counters' and the back light's persistent data, and
// the door. (The keyboard's last byte and the colour mark are not carried:
// the tick takes its key as an argument, and the mark follows the light.)
struct Oven_Configuration {
    Oven_Data record;
    Controller_Memory controller;
    Counters_Memory counters;
    BackLight_Memory light;
    bool door;
    bool operator==(const Oven_Configuration&) const = default;
};

// Copies the whole configuration out, and puts one back, so that a tool can
// run the tick from any configuration it has seen. mwc never calls these.
Oven_Configuration Save_Configuration();
void Restore_Configuration(const Oven_Configuration& configuration);
