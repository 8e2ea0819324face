// The real tone layer and buzzer, against ALSA configurations of the test's
// own, chosen for this process with ALSA_CONFIG_PATH.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "buzzer.h"

#ifdef MWC_HAVE_ALSA
#include <dlfcn.h>
#include <link.h>
#include <string_view>

#include "console/sound_library.h"
#endif

namespace
{

namespace fs = std::filesystem;

constexpr double SAMPLE_RATE = 48000.0;
constexpr std::size_t TONE_SAMPLES = 24000; // 500 ms
constexpr std::size_t SAMPLE_SLACK = 480;   // 10 ms

// A folder of the test's own.
fs::path Make_Folder()
{
    std::string name = (fs::temp_directory_path() / "mwc-tone-XXXXXX").string();
    return mkdtemp(name.data());
}

// Writes an ALSA configuration that this process, and only it, reads in
// place of the system's.
void Use_Alsa_Config(const fs::path& folder, const std::string& text)
{
    const fs::path config = folder / "asound.conf";
    std::ofstream(config) << text;
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
}

std::vector<std::int16_t> Samples(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<std::int16_t> samples(fs::file_size(file) / sizeof(std::int16_t));
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * sizeof(std::int16_t)));
    return samples;
}

// Dominant frequency from the count of upward zero crossings.
double Frequency(const std::vector<std::int16_t>& samples)
{
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            ++crossings;
        }
    }
    return static_cast<double>(crossings) * SAMPLE_RATE / static_cast<double>(samples.size());
}

} // namespace

TEST(Tone, BuzzerPlaysThreeTonesOf900HzIntoTheDevice)
{
#ifndef MWC_HAVE_ALSA
    GTEST_SKIP() << "built without ALSA's headers: the buzzer is the terminal bell";
#endif
    // The default PCM writes what it is given to a file, over a null device;
    // without truncation every open of the PCM keeps a file of its own.
    const fs::path folder = Make_Folder();
    const fs::path capture = folder / "tone.raw";
    Use_Alsa_Config(folder, "pcm.!default {\n"
                            "  type file\n"
                            "  slave.pcm { type null }\n"
                            "  file \"" +
                                capture.string() +
                                "\"\n"
                                "  format raw\n"
                                "  truncate false\n"
                                "}\n");
    double seconds = 0.0;
    EXPECT_EQ(Sound_Buzzer(seconds), "") << "nothing on standard error";
    EXPECT_GE(seconds, BUZZER_MIN_S);

    std::vector<fs::path> captures;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("tone.raw")) {
            captures.push_back(entry.path());
        }
    }
    ASSERT_EQ(captures.size(), 3U);
    for (const auto& file : captures) {
        const auto samples = Samples(file);
        EXPECT_NEAR(static_cast<double>(samples.size()), TONE_SAMPLES, SAMPLE_SLACK) << file;
        EXPECT_NEAR(Frequency(samples), 900.0, 5.0) << file;
    }
    fs::remove_all(folder);
}

TEST(Tone, NoDeviceRingsTheBellThreeTimes)
{
    // A default PCM on a sound card that is not there.
    const fs::path folder = Make_Folder();
    Use_Alsa_Config(folder, "pcm.!default { type hw card 99 }\n");
    double seconds = 0.0;
    EXPECT_EQ(Sound_Buzzer(seconds), "\a\a\a") << "three bells and not a word from ALSA";
    EXPECT_GE(seconds, BUZZER_MIN_S);
    fs::remove_all(folder);
}

#ifdef MWC_HAVE_ALSA
TEST(Tone, TheSoundLibraryIsOpenedByItsRunTimeName)
{
    // The run-time package has libasound.so.2 alone; the bare libasound.so
    // comes only with the development package, so opening that would leave
    // most machines with the bell. Where both are there, both open: the
    // name the loader recorded tells which was asked for.
    void* const library = open_sound_library();
    if (library == nullptr) {
        GTEST_SKIP() << "no sound library on this machine";
    }
    link_map* map = nullptr;
    ASSERT_EQ(dlinfo(library, RTLD_DI_LINKMAP, &map), 0) << dlerror();
    EXPECT_TRUE(std::string_view(map->l_name).ends_with("/libasound.so.2")) << map->l_name;
}
#endif
