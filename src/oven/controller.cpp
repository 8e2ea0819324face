#include "oven/controller.h"

#include <cassert>

#include "console/keyboard.h"
#include "oven/counters.h"
#include "oven/oven.h"

namespace
{

// The controller's persistent data, private to this file: System_Controller
// alone steps it; System_State only reads the state, and the tools' save
// and restore copy it whole.
int state = Wait_Input;
bool TimeCount = false; // countdown enabled
bool TempCount = false; // heating enabled
bool key_taken = false; // the last step acted on its key; not carried over

// A start needs something to do: a time to count down, or a target above
// room temperature.
bool Start_Allowed(bool door)
{
    if (door) {
        return false;
    }
    if (Data_Storage.Time_Mode) {
        return Data_Storage.Time != 0;
    }
    return Data_Storage.Set_Temp != AMBIENT_TEMP;
}

// Every key the controller acts on goes through here.
void Take_Key(int next)
{
    state = next;
    key_taken = true;
}

} // namespace

int System_State()
{
    return state;
}

bool System_Key_Taken()
{
    return key_taken;
}

const char* State_Name(int number)
{
    constexpr const char* NAMES[Finished + 1] = {
        "?",           "Wait_Input", "Add_Short",    "Add_Long",     "Switch_Unit",
        "Select_Mode", "Starting",   "Time_Cooking", "Temp_Cooking", "Finished",
    };
    return number >= Wait_Input && number <= Finished ? NAMES[number] : NAMES[0];
}

const char* State_Meaning(int number)
{
    constexpr const char* MEANINGS[Finished + 1] = {
        "",
        "idle: the only state that takes setting and start keys",
        "the tick after key a: its key is dropped",
        "the tick after key b: its key is dropped",
        "the tick after key c: its key is dropped",
        "the tick after key d: its key is dropped",
        "the tick after a start: its key is dropped, so a second press cannot cancel",
        "the countdown running; e cancels",
        "the heating running; e cancels",
        "the cooking is over; the next step sounds the buzzer",
    };
    return number >= Wait_Input && number <= Finished ? MEANINGS[number] : MEANINGS[0];
}

Controller_Memory Controller_Save()
{
    return {state, TimeCount, TempCount};
}

void Controller_Restore(const Controller_Memory& memory)
{
    assert(memory.state >= Wait_Input && memory.state <= Finished && "one that was saved");
    state = memory.state;
    TimeCount = memory.TimeCount;
    TempCount = memory.TempCount;
}

// One switch over the states is the controller's shape, however long.
// NOLINTNEXTLINE(readability-function-size)
void System_Controller(bool door, signed char key)
{
    key_taken = false;
    switch (state) {
    case Wait_Input:
        // First match wins; a key whose condition fails is dropped.
        if (key == KEY_SHORT && Data_Storage.Mode == MANUAL_MODE) {
            Take_Key(Add_Short);
            Increase10seconds_10c();
        } else if (key == KEY_LONG && Data_Storage.Mode == MANUAL_MODE) {
            Take_Key(Add_Long);
            Increase30seconds_20c();
        } else if (key == KEY_UNIT) {
            Take_Key(Switch_Unit);
            Time_Temp_Change();
        } else if (key == KEY_MODE && Data_Storage.Time_Mode) {
            Take_Key(Select_Mode);
            Mode_Change();
            Time_by_Mode();
        } else if (key == KEY_START && Start_Allowed(door)) {
            Take_Key(Starting);
            Start_End(true);
        }
        break;

    case Add_Short:
    case Add_Long:
    case Switch_Unit:
    case Select_Mode:
        state = Wait_Input; // this tick's key is dropped
        break;

    case Starting:
        // This tick's key is dropped, so a second start press cannot cancel.
        if (Data_Storage.Time_Mode) {
            state = Time_Cooking;
            TimeCount = true;
        } else {
            state = Temp_Cooking;
            TempCount = true;
        }
        break;

    // The end tests see the values left by the previous tick's counter step;
    // a cancel read in the same tick wins over the end.
    case Time_Cooking:
        if (key == KEY_START) {
            Take_Key(Wait_Input);
            Start_End(false);
            TimeCount = false;
            Time_by_Mode(); // manual cooking loses the time left
        } else if (Data_Storage.Time == 0) {
            state = Finished;
            TimeCount = false;
        }
        break;

    case Temp_Cooking:
        if (key == KEY_START) {
            Take_Key(Wait_Input);
            Start_End(false);
            TempCount = false;
            Data_Storage.Set_Temp = AMBIENT_TEMP;
            Data_Storage.Cur_Temp = AMBIENT_TEMP;
        } else if (Data_Storage.Cur_Temp == Data_Storage.Set_Temp) {
            state = Finished;
            TempCount = false;
            Data_Storage.Cur_Temp = AMBIENT_TEMP; // the target stays for another run
        }
        break;

    case Finished:
        state = Wait_Input;
        Beep_Sound(); // the tick stands still for the whole buzzer
        Time_by_Mode();
        Start_End(false);
        break;

    default:
        assert(false && "the controller is in one of its states");
        state = Wait_Input; // a lost state falls back to idle
        break;
    }

    Time_Counting(TimeCount);
    Temp_Counting(TempCount);
}
