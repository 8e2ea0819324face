// The buzzer's tone layer, in place of the Windows Beep service.
#pragma once

// Sounds a tone of the given frequency and returns once duration_ms has
// passed since the call began, and not much later.
//
// Built with ALSA, it plays a sine tone on the "default" PCM (16-bit mono,
// 48 kHz, faded in and out so speakers do not click), whatever the audio
// stack routes there. ALSA's own messages are silenced. Where no device
// opens or playing fails, and in a build without ALSA, it rings the terminal
// bell instead: one BEL byte on standard error, never on standard output,
// which carries only the panel's frames.
void Beep(unsigned int frequency_hz, unsigned int duration_ms);
