// The panel's lines, byte for byte, and the door and back light.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

#include "capture.h"
#include "console/colour.h"
#include "console/restore.h"
#include "oven/oven.h"
#include "panel/display.h"
#include "panel/door_light.h"
#include "tick.h"

namespace
{

std::string Displayed()
{
    Output_Capture capture;
    Display_Controller();
    return capture.Take();
}

// Standard output's bytes, passed on to the file behind it; the write that
// carries the yellow escape is met by a fatal signal as it lands.
ssize_t Write_Then_Die_On_Yellow(void* /*cookie*/, const char* bytes, std::size_t size)
{
    const ssize_t written = write(STDOUT_FILENO, bytes, size);
    if (std::string_view(bytes, size).find(COLOUR_YELLOW) != std::string_view::npos) {
        std::raise(SIGTERM);
    }
    return written;
}

} // namespace

TEST(Display, TimeLinesAsMinutesAndSeconds)
{
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "00 : 00\n"},   {10, "00 : 10\n"},  {90, "01 : 30\n"},
        {300, "05 : 00\n"}, {600, "10 : 00\n"}, {59, "00 : 59\n"},
    };
    for (const auto& [time, line] : cases) {
        Data_Storage.Time = time;
        EXPECT_EQ(Displayed(), std::string(line) + "00 : manual\n") << time;
    }
}

TEST(Display, TemperatureLineTruncatesAndEndsInOrdinalC)
{
    Data_Storage.Time_Mode = false;
    Data_Storage.Set_Temp = 50.0;
    EXPECT_EQ(Displayed(), "20 / 50\xC2\xBA"
                           "C\n00 : manual\n");
    Data_Storage.Cur_Temp = 29.9;
    Data_Storage.Set_Temp = 90.0;
    EXPECT_EQ(Displayed(), "29 / 90\xC2\xBA"
                           "C\n00 : manual\n");
}

TEST(Display, ModeLinesCarryTheUtf8Names)
{
    const char* const lines[] = {
        "00 : manual\n",
        "01 : \xEB\x96\xA1\n",
        "02 : \xEC\xA3\xBD\n",
        "03 : \xEB\xB0\xA5\n",
        "04 : \xEA\xB5\xAD/\xEC\xB0\x8C\xEA\xB0\x9C\n",
        "05 : \xED\x94\xBC\xEC\x9E\x90\n",
    };
    for (std::int32_t mode = 0; mode < MODE_COUNT; ++mode) {
        Output_Capture capture;
        Mode_Display(mode);
        EXPECT_EQ(capture.Take(), lines[mode]);
    }
}

TEST(BackLight, LinesAreExactEscapes)
{
    Output_Capture capture;
    Back_Light(true);
    Back_Light(false);
    EXPECT_EQ(capture.Take(), "\033[93mDisplay On\n\033[0mDisplay Off\n");
}

TEST(BackLight, ASignalAsTheYellowIsWrittenStillEndsInAReset)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        // The signal's handler writes the reset straight to the file
        // descriptor; the panel writes through the stream, unbuffered.
        dup2(fileno(file), STDOUT_FILENO);
        guard_terminal(nullptr, nullptr);
        stdout = fopencookie(nullptr, "w", {nullptr, Write_Then_Die_On_Yellow, nullptr, nullptr});
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        Back_Light(true);
        _exit(EXIT_SUCCESS);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    std::string written(64, '\0');
    std::rewind(file);
    written.resize(std::fread(written.data(), 1, written.size(), file));
    std::fclose(file);
    EXPECT_EQ(written, "\033[93mDisplay On\n\033[0m") << "the colours put back";
}

TEST(BackLight, DoorTurnsTheLightOnAndOffInTheSameTick)
{
    const auto frames = Run_Ticks(".f.f.");
    EXPECT_EQ(frames[0].light, LIGHT_OFF);
    EXPECT_EQ(frames[1].light, LIGHT_ON);
    EXPECT_EQ(frames[2].light, LIGHT_ON);
    EXPECT_EQ(frames[3].light, LIGHT_OFF);
    EXPECT_FALSE(Door_Open());
}

TEST(BackLight, FollowsTheRunningFlagAsTheTickFoundIt)
{
    Output_Capture capture;
    BackLight_Controller(true, false);
    BackLight_Controller(true, false);
    BackLight_Controller(false, true);
    BackLight_Controller(false, false);
    EXPECT_EQ(capture.Take(), "\033[93mDisplay On\n\033[93mDisplay On\n"
                              "\033[93mDisplay On\n\033[0mDisplay Off\n");
}

TEST(Door, KeyTogglesOnlyWhileNotCooking)
{
    EXPECT_TRUE(Door_Sensor('f', false));
    EXPECT_FALSE(Door_Sensor('f', true));
    EXPECT_TRUE(Door_Sensor('a', true));
    EXPECT_FALSE(Door_Sensor('F', false));
    Data_Storage.Start = true;
    EXPECT_FALSE(Door_Sensor('f', false));
    EXPECT_FALSE(Door_Sensor('f', true));
}
