// mwc-replay: a key script through the oven's own tick, at full speed.
//
// Takes one byte of the script per tick, exactly as mwc takes one key per
// tick, and runs the same tick from the same libraries, without the 100 ms
// sleep and without sound. It writes mwc's frames byte for byte, or with
// --trace one JSON line per tick with the controller's state and the oven's
// record.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <unistd.h>

#include "console/colour.h"
#include "console/keyboard.h"
#include "replay/command_line.h"
#include "replay/replay.h"
#include "replay/script_input.h"
#include "replay/shown.h"
#include "replay/trace.h"
#include "replay/vcd.h"

namespace
{

constexpr char PROGRAM[] = "mwc-replay";
constexpr char PROGRAM_VERSION[] = "mwc-replay " MWC_VERSION "\n";
constexpr char DUMP_VERSION[] = "mwc-replay " MWC_VERSION; // the dump's $version
constexpr char USAGE[] = "Usage: mwc-replay [--trace | --vcd] [SCRIPT]\n";
constexpr char HELP[] = "Replay a key script through the microwave oven's tick, at full speed.\n"
                        "\n"
                        "Each byte of SCRIPT is the key of one tick, as mwc takes them; with no\n"
                        "SCRIPT, or when SCRIPT is -, the script is read from standard input.\n"
                        "The replay ends after the tick that reads q; a script that runs out\n"
                        "without q goes on with no key until the oven is at rest again.\n"
                        "\n"
                        "      --trace    write one JSON object per tick instead of the frames\n"
                        "      --vcd      write a Value Change Dump instead, for waveform viewers\n"
                        "                 such as GTKWave: a time step of 100 ms per tick\n"
                        "      --help     show this help and exit\n"
                        "      --version  show the version and exit\n"
                        "\n"
                        "Without --trace the output is exactly what mwc writes for the same keys,\n"
                        "for a script that ends with q (without q, mwc goes on ticking).\n"
                        "A script that cannot be read to its end stops the replay there.\n"
                        "Exit status: 0 when the replay ran to its end, 1 when the script could\n"
                        "not be read or the output not written, 2 on bad usage.\n";

int trace_fd = -1;
// The first write that failed, as errno had it; 0 while all succeeded.
int write_error = 0;

bool Note_Write(bool written)
{
    if (!written && write_error == 0) {
        write_error = errno != 0 ? errno : EIO;
    }
    return written;
}

bool Flush_Frames()
{
    return Note_Write(std::fflush(stdout) == 0);
}

bool Flush_Trace()
{
    return Note_Write(Trace_Flush(trace_fd));
}

// What is written: the frames, as mwc draws them, or one of the traces.
enum class Output { FRAMES, TRACE, VCD };

// The options and the script's name into `output` and `name`; -1 to go
// on, or the exit status when the command line is all there is to do.
int Parse_Command_Line(int argc, char** argv, Output& output, const char*& name)
{
    enum { TRACE = 1, VCD, HELP_OPTION, VERSION_OPTION };
    const option options[] = {
        {"trace", no_argument, nullptr, TRACE},
        {"vcd", no_argument, nullptr, VCD},
        {"help", no_argument, nullptr, HELP_OPTION},
        {"version", no_argument, nullptr, VERSION_OPTION},
        {nullptr, 0, nullptr, 0},
    };
    Name_Program(argv, PROGRAM);
    bool trace = false;
    bool vcd = false;
    for (int choice = 0; (choice = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        switch (choice) {
        case TRACE:
            trace = true;
            break;
        case VCD:
            vcd = true;
            break;
        case HELP_OPTION:
            std::fputs(USAGE, stdout);
            return Print_Text(PROGRAM, HELP);
        case VERSION_OPTION:
            return Print_Text(PROGRAM, PROGRAM_VERSION);
        default: // getopt_long has said what is wrong
            return Bad_Usage(PROGRAM, USAGE);
        }
    }
    if (trace && vcd) {
        std::fprintf(stderr, "%s: --trace or --vcd, not both\n", PROGRAM);
        return Bad_Usage(PROGRAM, USAGE);
    }
    if (argc - optind > 1) {
        std::fprintf(stderr, "%s: extra operand '%s'\n", PROGRAM, Shown(argv[optind + 1]).c_str());
        return Bad_Usage(PROGRAM, USAGE);
    }
    output = trace ? Output::TRACE : vcd ? Output::VCD : Output::FRAMES;
    if (optind < argc && std::strcmp(argv[optind], "-") != 0) {
        name = argv[optind];
    }
    return -1;
}

// With --trace or --vcd the frames are still drawn, by the same tick, but
// nowhere: standard output takes the trace instead.
bool Set_Up_Output(Output output)
{
    const bool traced = output != Output::FRAMES;
    trace_fd = traced ? dup(STDOUT_FILENO) : -1;
    Flush_Before_Waiting(traced ? Flush_Trace : Flush_Frames);
    if (traced && (trace_fd < 0 || std::freopen("/dev/null", "w", stdout) == nullptr)) {
        std::fprintf(stderr, "%s: cannot set up the trace: %s\n", PROGRAM, std::strerror(errno));
        return false;
    }
    if (output == Output::VCD) {
        Note_Write(Vcd_Begin(trace_fd, DUMP_VERSION));
    }
    return true;
}

// One tick per byte of the script, then no key until the oven is at rest;
// q ends it at once. The number of the last tick run.
long Run_Script(Output output)
{
    long last_tick = 0;
    for (long tick = 1; write_error == 0; ++tick) {
        int byte = Next_Byte();
        if (byte < 0) {
            // A script that could not be read to its end stops here; one
            // that ended goes on to rest.
            if (Oven_At_Rest() || Script_Error() != 0) {
                break;
            }
            byte = static_cast<unsigned char>(NO_KEY);
        }
        const auto key = static_cast<signed char>(byte);
        const Tick_Record record = Replay_Tick(key);
        last_tick = tick;
        if (output == Output::TRACE) {
            Note_Write(Trace_Tick(trace_fd, tick, record));
        } else if (output == Output::VCD) {
            Note_Write(Vcd_Tick(trace_fd, tick, record));
        } else if (std::ferror(stdout) != 0) {
            Note_Write(false); // a full device, say: no use drawing more
        }
        if (key == KEY_QUIT) {
            break;
        }
    }
    return last_tick;
}

// The end of the output; the exit status, with what went wrong said.
int Finish_Output(Output output, long last_tick)
{
    if (output == Output::VCD) {
        Note_Write(Vcd_End(trace_fd, last_tick));
    } else if (output == Output::TRACE) {
        Flush_Trace();
    } else {
        reset_colour(); // as mwc ends: the terminal's colours as found
        Note_Write(std::fflush(stdout) == 0 && std::ferror(stdout) == 0);
    }
    if (write_error != 0) {
        constexpr const char* WHAT[] = {"frames", "trace", "waveforms"};
        std::fprintf(stderr, "%s: cannot write the %s: %s\n", PROGRAM,
                     WHAT[static_cast<int>(output)], std::strerror(write_error));
        return EXIT_FAILURE;
    }
    if (Script_Error() != 0) {
        return Cannot_Read(PROGRAM); // a read that failed part way
    }
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv)
{
    Output output = Output::FRAMES;
    const char* name = nullptr; // standard input
    const int status = Parse_Command_Line(argc, argv, output, name);
    if (status >= 0) {
        return status;
    }
    if (!Open_Script(name)) {
        return Cannot_Read(PROGRAM);
    }
    if (!Set_Up_Output(output)) {
        return EXIT_FAILURE;
    }
    const long last_tick = Run_Script(output);
    return Finish_Output(output, last_tick);
}
