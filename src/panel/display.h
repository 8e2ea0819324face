// The panel's second and third lines: the cooking time or the temperatures,
// then the food mode. Drawn before the controller steps, so the panel shows
// what the previous tick left.
#pragma once

#include <cstdint>

// Prints both lines.
void Display_Controller();
// "MM : SS" when cooking by time, "current / targetºC" by temperature.
void Time_Temp_Display();
// "NN : name" of the food mode.
void Mode_Display(std::int32_t mode);

// Pushes the frame up with 20 newlines, below the last panel drawn. The tick
// loop calls it at the end of every tick, after the sleep.
void screen_Clear();
