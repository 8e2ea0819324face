// The door switch and the display's back light.
//
// The back light is on exactly while the door is open or cooking runs,
// judged on this tick's door and on the running flag as the previous tick's
// controller step left it, so it follows a start or a stop one tick later.
#pragma once

constexpr int Light_Off = 1;
constexpr int Light_On = 2;

// Key f opens or closes the door, except while cooking runs: then the door
// stays shut. Returns the new door flag (true = open).
bool Door_Sensor(signed char key, bool door);

// Steps the back light and prints the panel's first line. `start` is the
// record's running flag as read before this tick's controller step.
void BackLight_Controller(bool start, bool door);

// Whether the back light is on, as its last step drew it; a read-only view.
bool BackLight_On();

// The back light's persistent data, copied out and put back whole by tools
// that explore or rewind the oven; mwc itself never calls these.
struct BackLight_Memory {
    int state;
    bool enable;
    bool operator==(const BackLight_Memory&) const = default;
};
BackLight_Memory BackLight_Save();
void BackLight_Restore(const BackLight_Memory& memory);

// Prints the first panel line. "Display On" switches the terminal to bright
// yellow, which colours the rest of the frame; "Display Off" resets it first.
void Back_Light(bool on);
