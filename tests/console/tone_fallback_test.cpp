// The buzzer where the sound library cannot be loaded. This test links a
// loader that finds no library in place of the real one.
#include <gtest/gtest.h>

#include "buzzer.h"

namespace
{
int opened = 0; // times the loader was asked for the library
} // namespace

void* open_sound_library()
{
    ++opened;
    return nullptr;
}

TEST(Tone, NoSoundLibraryRingsTheBellThreeTimesInTheBuzzersTime)
{
    double seconds = 0.0;
    EXPECT_EQ(Sound_Buzzer(seconds), "\a\a\a") << "three bells and nothing else";
    EXPECT_GE(seconds, BUZZER_MIN_S);
    EXPECT_LE(seconds, BUZZER_MAX_S);
#ifdef MWC_HAVE_ALSA
    EXPECT_EQ(opened, 1) << "looked for once, not for every tone";
#endif
}
