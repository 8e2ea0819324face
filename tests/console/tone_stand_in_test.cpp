// The buzzer with a loader of the test's own in place of the real one: one
// that finds no sound library, and one that finds a stand-in for it, the
// functions below, in this very program.
#include <gtest/gtest.h>

#include "buzzer.h"

#ifdef MWC_HAVE_ALSA
#include <alsa/asoundlib.h>
#include <cerrno>
#include <dlfcn.h>

#include "capture.h"
#include "console/tone.h"
#endif

namespace
{
int opened = 0; // times the loader was asked for the library
#ifdef MWC_HAVE_ALSA
bool stand_in = false; // the loader finds the stand-in, not nothing
#endif
} // namespace

void* open_sound_library()
{
    ++opened;
#ifdef MWC_HAVE_ALSA
    return stand_in ? dlopen(nullptr, RTLD_NOW | RTLD_LOCAL) : nullptr;
#else
    return nullptr;
#endif
}

TEST(Tone, NoSoundLibraryRingsTheBellThreeTimesInTheBuzzersTime)
{
    double seconds = 0.0;
    EXPECT_EQ(Sound_Buzzer(seconds), "\a\a\a") << "three bells and nothing else";
    EXPECT_GE(seconds, BUZZER_MIN_S);
#ifdef MWC_HAVE_ALSA
    EXPECT_EQ(opened, 1) << "looked for once, not for every tone";
#endif
}

#ifdef MWC_HAVE_ALSA

// A sound device that takes every sample at once and, once asked to drain,
// is still playing them out for a few polls of its state.
namespace
{
constexpr int DRAINING_POLLS = 3;
constexpr unsigned int TONE_MS = 500;
constexpr snd_pcm_uframes_t FRAMES_PER_MS = 48; // at 48 kHz
constexpr snd_pcm_uframes_t TONE_FRAMES = FRAMES_PER_MS * TONE_MS;
struct Device {
    snd_pcm_uframes_t written = 0; // frames taken
    int draining = -1;             // polls that will still find it draining; -1 before the drain
    int polls = 0;                 // of its state, after the drain
    int dropped_while_draining = 0;
    int drops = 0;
    int closes = 0;
} device;
} // namespace

extern "C" {
int snd_lib_error_set_handler(snd_lib_error_handler_t /*handler*/)
{
    return 0;
}
int snd_pcm_open(snd_pcm_t** pcm, const char* /*name*/, snd_pcm_stream_t /*stream*/, int /*mode*/)
{
    *pcm = reinterpret_cast<snd_pcm_t*>(&device); // a handle only ever handed back
    return 0;
}
int snd_pcm_set_params(snd_pcm_t* /*pcm*/, snd_pcm_format_t /*format*/, snd_pcm_access_t /*access*/,
                       unsigned int /*channels*/, unsigned int /*rate*/, int /*soft_resample*/,
                       unsigned int /*latency*/)
{
    return 0;
}
snd_pcm_sframes_t snd_pcm_writei(snd_pcm_t* /*pcm*/, const void* /*buffer*/, snd_pcm_uframes_t size)
{
    device.written += size;
    return static_cast<snd_pcm_sframes_t>(size);
}
int snd_pcm_wait(snd_pcm_t* /*pcm*/, int /*timeout*/)
{
    return 1;
}
int snd_pcm_recover(snd_pcm_t* /*pcm*/, int error, int /*silent*/)
{
    return error;
}
int snd_pcm_drain(snd_pcm_t* /*pcm*/)
{
    device.draining = DRAINING_POLLS;
    return -EAGAIN; // not blocking: it goes on playing
}
snd_pcm_state_t snd_pcm_state(snd_pcm_t* /*pcm*/)
{
    if (device.draining < 0) {
        return SND_PCM_STATE_RUNNING;
    }
    ++device.polls;
    if (device.draining > 0) {
        --device.draining;
        return SND_PCM_STATE_DRAINING;
    }
    return SND_PCM_STATE_SETUP;
}
int snd_pcm_delay(snd_pcm_t* /*pcm*/, snd_pcm_sframes_t* delay)
{
    *delay = 1; // a frame still queued: the shortest wait
    return 0;
}
int snd_pcm_drop(snd_pcm_t* /*pcm*/)
{
    device.dropped_while_draining += device.draining > 0 ? 1 : 0;
    ++device.drops;
    return 0;
}
int snd_pcm_close(snd_pcm_t* /*pcm*/)
{
    ++device.closes;
    return 0;
}
int snd_config_update_free_global()
{
    return 0;
}
}

TEST(Tone, TheToneIsDrainedToItsEndBeforeTheDeviceIsLetGo)
{
    stand_in = true;
    Output_Capture errors(STDERR_FILENO);
    Beep(900, TONE_MS);
    EXPECT_EQ(errors.Take(), "") << "played, so no bell";
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(device.written, TONE_FRAMES) << "every sample of the tone";
    EXPECT_EQ(device.polls, DRAINING_POLLS + 1) << "the state asked until the draining ended";
    EXPECT_EQ(device.dropped_while_draining, 0) << "the tone's tail cut off";
    EXPECT_EQ(device.drops, 1);
    EXPECT_EQ(device.closes, 1);
}

#endif
