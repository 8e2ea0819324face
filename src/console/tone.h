// The buzzer's tone layer, in place of the Windows Beep service.
#pragma once

// Sounds a tone of the given frequency and returns once duration_ms has
// passed since the call began. This build rings the terminal bell: one BEL
// byte on standard error, never on standard output, which carries only the
// panel's frames.
void Beep(unsigned int frequency_hz, unsigned int duration_ms);
