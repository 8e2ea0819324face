// Where the buzzer's tone comes from: the sound library, opened on demand.
#pragma once

// Opens ALSA's library (libasound.so.2) and returns its handle, or null
// when it cannot be loaded. Called at most once, when the buzzer first
// sounds; a translation unit of its own, so that a test can link a stand-in.
void* open_sound_library();
