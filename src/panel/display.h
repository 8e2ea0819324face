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
