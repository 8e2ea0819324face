#include "console/tone.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

#ifdef MWC_HAVE_ALSA
#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdint>
#include <dlfcn.h>
#include <numbers>

#include "console/sound_library.h"
#endif

namespace
{

constexpr char BELL = '\a';
constexpr long NS_PER_MS = 1000000L;
constexpr long NS_PER_S = 1000000000L;
constexpr unsigned int MS_PER_S = 1000U;

void ring_bell()
{
    // A bell that cannot be written is a silent buzzer, nothing more.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, &BELL, 1);
}

timespec after_ms(const timespec& start, unsigned int ms)
{
    timespec later = start;
    later.tv_sec += static_cast<time_t>(ms / MS_PER_S);
    later.tv_nsec += static_cast<long>(ms % MS_PER_S) * NS_PER_MS;
    if (later.tv_nsec >= NS_PER_S) {
        later.tv_sec += 1;
        later.tv_nsec -= NS_PER_S;
    }
    return later;
}

// Sleeps until `deadline` on the monotonic clock, so the tone's time is kept
// however long the sound itself took.
void sleep_until(const timespec& deadline)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

#ifdef MWC_HAVE_ALSA

constexpr unsigned int SAMPLE_RATE = 48000;
constexpr unsigned int CHANNELS = 1;
constexpr unsigned int LATENCY_US = 50000;    // device buffer: short, so the end is on time
constexpr unsigned int FADE_MS = 5;           // ramp at each end against clicks
constexpr unsigned int CHUNK_FRAMES = 480;    // 10 ms written at a time, from the stack
constexpr unsigned int GRACE_MS = 250;        // past the tone: give up on a stuck device
constexpr int WAIT_STEP_MS = 10;              // longest single wait for the device
constexpr double AMPLITUDE = 0.5 * INT16_MAX; // half scale: a buzzer, not an alarm

// The sound library's functions that the tone uses. The library is opened
// when the buzzer first sounds, so nothing of it is mapped while the oven
// idles, and a machine without it still runs the oven (with the bell).
struct Alsa {
    decltype(&snd_lib_error_set_handler) lib_error_set_handler;
    decltype(&snd_pcm_open) pcm_open;
    decltype(&snd_pcm_set_params) pcm_set_params;
    decltype(&snd_pcm_writei) pcm_writei;
    decltype(&snd_pcm_wait) pcm_wait;
    decltype(&snd_pcm_recover) pcm_recover;
    decltype(&snd_pcm_drain) pcm_drain;
    decltype(&snd_pcm_state) pcm_state;
    decltype(&snd_pcm_delay) pcm_delay;
    decltype(&snd_pcm_drop) pcm_drop;
    decltype(&snd_pcm_close) pcm_close;
    decltype(&snd_config_update_free_global) config_update_free_global;
};

template <typename Function> bool find(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// All of the functions, or none: a library without one of them is no use.
bool load(Alsa& alsa)
{
    void* library = open_sound_library();
    if (library == nullptr) {
        return false;
    }
    const bool complete =
        find(library, "snd_lib_error_set_handler", alsa.lib_error_set_handler) &&
        find(library, "snd_pcm_open", alsa.pcm_open) &&
        find(library, "snd_pcm_set_params", alsa.pcm_set_params) &&
        find(library, "snd_pcm_writei", alsa.pcm_writei) &&
        find(library, "snd_pcm_wait", alsa.pcm_wait) &&
        find(library, "snd_pcm_recover", alsa.pcm_recover) &&
        find(library, "snd_pcm_drain", alsa.pcm_drain) &&
        find(library, "snd_pcm_state", alsa.pcm_state) &&
        find(library, "snd_pcm_delay", alsa.pcm_delay) &&
        find(library, "snd_pcm_drop", alsa.pcm_drop) &&
        find(library, "snd_pcm_close", alsa.pcm_close) &&
        find(library, "snd_config_update_free_global", alsa.config_update_free_global);
    if (!complete) {
        dlclose(library);
    }
    return complete;
}

// The library, loaded at the first call and kept for every later buzzer;
// null when it cannot be had. Either way it is tried only once.
const Alsa* sound_library()
{
    constexpr int NOT_TRIED = 0;
    constexpr int LOADED = 1;
    constexpr int MISSING = 2;
    static int state = NOT_TRIED;
    static Alsa alsa{};
    if (state == NOT_TRIED) {
        state = load(alsa) ? LOADED : MISSING;
    }
    return state == LOADED ? &alsa : nullptr;
}

// ALSA prints its errors on standard error by default; the oven reports
// nothing, so a machine with no sound card must stay quiet. The handler's
// type is the library's own, variadic like printf.
void ignore_alsa_error( // NOLINT(cert-dcl50-cpp)
    const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/, const char* /*fmt*/,
    ...)
{
}

bool past(const timespec& deadline)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec > deadline.tv_sec ||
           (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec);
}

// sin(x) for x in [-pi, pi), without the maths library: it would be mapped
// for the whole run for the buzzer's sake alone. Folded into [-pi/2, pi/2],
// where the odd Taylor terms to x^13 are within 1e-9, far finer than one
// step of a 16-bit sample.
double sine(double x)
{
    constexpr double half_pi = std::numbers::pi / 2;
    if (x > half_pi) {
        x = std::numbers::pi - x;
    } else if (x < -half_pi) {
        x = -std::numbers::pi - x;
    }
    const double x2 = x * x;
    double sum = 1.0;
    for (int power = 13; power > 1; power -= 2) { // Horner, from the last term
        sum = 1.0 - x2 / static_cast<double>(power * (power - 1)) * sum;
    }
    return x * sum;
}

// Sample `index` of a tone of `total` samples, with linear fades at both ends.
// The phase is kept exactly, in whole parts of a cycle, so it never drifts.
std::int16_t tone_sample(unsigned int frequency_hz, unsigned int index, unsigned int total)
{
    constexpr unsigned int fade = SAMPLE_RATE * FADE_MS / MS_PER_S;
    const unsigned int edge = index < total - index ? index : total - index;
    const double gain = edge < fade ? static_cast<double>(edge) / fade : 1.0;
    const auto cycle_part = static_cast<double>(static_cast<std::uint64_t>(frequency_hz) * index %
                                                SAMPLE_RATE); // of SAMPLE_RATE parts
    const double phase = 2.0 * std::numbers::pi * (cycle_part / SAMPLE_RATE - 0.5); // [-pi, pi)
    return static_cast<std::int16_t>(-AMPLITUDE * gain * sine(phase)); // sin(p - pi) = -sin(p)
}

// Writes the whole tone without blocking past `give_up`.
bool write_tone(const Alsa& alsa, snd_pcm_t* pcm, unsigned int frequency_hz, unsigned int total,
                const timespec& give_up)
{
    std::int16_t chunk[CHUNK_FRAMES];
    unsigned int next = 0; // first sample not yet written
    while (next < total) {
        const unsigned int count = std::min(total - next, CHUNK_FRAMES);
        for (unsigned int i = 0; i < count; ++i) {
            chunk[i] = tone_sample(frequency_hz, next + i, total);
        }
        unsigned int done = 0;
        while (done < count) {
            if (past(give_up)) {
                return false;
            }
            snd_pcm_sframes_t n = alsa.pcm_writei(pcm, chunk + done, count - done);
            if (n == -EAGAIN) {
                alsa.pcm_wait(pcm, WAIT_STEP_MS);
                continue;
            }
            if (n < 0) {
                n = alsa.pcm_recover(pcm, static_cast<int>(n), 1);
                if (n < 0) {
                    return false;
                }
                continue;
            }
            done += static_cast<unsigned int>(n);
        }
        next += count;
    }
    return true;
}

// Lets the queued samples play out, sleeping for what is left each time.
void drain(const Alsa& alsa, snd_pcm_t* pcm, const timespec& give_up)
{
    alsa.pcm_drain(pcm); // non-blocking: returns at once, the device keeps playing
    while (alsa.pcm_state(pcm) == SND_PCM_STATE_DRAINING && !past(give_up)) {
        snd_pcm_sframes_t queued = 0;
        long wait_ms = WAIT_STEP_MS;
        if (alsa.pcm_delay(pcm, &queued) == 0 && queued > 0) {
            wait_ms = queued * static_cast<long>(MS_PER_S) / SAMPLE_RATE + 1;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        sleep_until(after_ms(now, static_cast<unsigned int>(wait_ms)));
    }
    alsa.pcm_drop(pcm);
}

// Plays the tone on the default PCM; false when there is no device to play it.
bool play_tone(unsigned int frequency_hz, unsigned int duration_ms, const timespec& start)
{
    const Alsa* library = sound_library();
    if (library == nullptr) {
        return false;
    }
    const Alsa& alsa = *library;
    alsa.lib_error_set_handler(ignore_alsa_error);
    snd_pcm_t* pcm = nullptr;
    // Non-blocking, so that a busy device is an error rather than a wait.
    bool played = alsa.pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0;
    if (played) {
        const timespec give_up = after_ms(start, duration_ms + GRACE_MS);
        const unsigned int total = SAMPLE_RATE / MS_PER_S * duration_ms;
        played = alsa.pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                                     CHANNELS, SAMPLE_RATE, 1, LATENCY_US) == 0 &&
                 write_tone(alsa, pcm, frequency_hz, total, give_up);
        if (played) {
            drain(alsa, pcm, give_up);
        }
        alsa.pcm_close(pcm);
    }
    // The library's configuration is loaded again for the next tone; between
    // buzzers nothing of it stays in memory.
    alsa.config_update_free_global();
    return played;
}

#else

bool play_tone(unsigned int /*frequency_hz*/, unsigned int /*duration_ms*/,
               const timespec& /*start*/)
{
    return false; // built without a sound library: the bell is the buzzer
}

#endif

} // namespace

void Beep(unsigned int frequency_hz, unsigned int duration_ms)
{
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (!play_tone(frequency_hz, duration_ms, start)) {
        ring_bell();
    }
    sleep_until(after_ms(start, duration_ms));
}
