// The oven's control logic: a state machine stepped once per tick, after
// the panel has been drawn. It accepts or drops the panel keys, runs their
// actions on the settings record, starts, watches and ends cooking, and at
// the end of every step advances both cooking counters.
#pragma once

// Controller states. 2 to 6 last exactly one tick, so every accepted key
// costs two ticks: the key of the tick after it is dropped.
// What each means is State_Meaning's, below.
constexpr int Wait_Input = 1;
constexpr int Add_Short = 2;
constexpr int Add_Long = 3;
constexpr int Switch_Unit = 4;
constexpr int Select_Mode = 5;
constexpr int Starting = 6;
constexpr int Time_Cooking = 7;
constexpr int Temp_Cooking = 8;
constexpr int Finished = 9;

// The name of a controller state, such as "Wait_Input"; "?" for a number
// that names none. Tools show the states by these names.
const char* State_Name(int number);

// What a state means, in a few words, as tools explain it; "" for a number
// that names none.
const char* State_Meaning(int number);

// One step. `door` is true while the door is open; `key` is this tick's key
// byte, 0xFF (-1) when none. Note the order: door first, key second.
void System_Controller(bool door, signed char key);

// The state the controller is in, 1 to 9; a read-only view that changes
// nothing, for tools that show the controller at work.
int System_State();

// Whether the last step acted on its key; a read-only view, as above.
bool System_Key_Taken();

// The controller's persistent data, copied out and put back whole by tools
// that explore or rewind the oven; mwc itself never calls these.
struct Controller_Memory {
    int state;
    bool TimeCount;
    bool TempCount;
    bool operator==(const Controller_Memory&) const = default;
};
Controller_Memory Controller_Save();
void Controller_Restore(const Controller_Memory& memory);
