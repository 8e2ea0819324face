#!/usr/bin/env python3
"""What the idle oven costs: the real mwc under a pseudo-terminal.

Usage: idle_bench.py PATH/TO/mwc PATH/TO/tick_floor

Starts mwc on a new pseudo-terminal, leaves it idle, ends it with q, and
prints a table: CPU time and system calls per idle tick, the tick period,
the time to the first frame, peak resident memory (idle, and after a
buzzer), and every heap allocation of a whole run with where it came from.
Each idle measure is also taken of tick_floor, which makes only the calls
that an idle tick must make, with no oven behind them. Needs strace and
valgrind.
"""

import json
import os
import pty
import re
import select
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

IDLE_S = 10.0          # the idle window for CPU time and tick periods
STRACE_S = 5.0         # the idle window under strace
WARMUP_S = 0.5         # left out after the first frame
STARTS = 15            # runs for the time to the first frame
IDLE_KEY = b"\xff"     # a byte that is the same as no key
SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")


class Oven:
    """mwc on a pseudo-terminal, with the arrival time of every frame."""

    def __init__(self, argv):
        # The child notes the monotonic clock just before it becomes mwc, so
        # the time to the first frame leaves out this script's own fork.
        clock_r, clock_w = os.pipe()
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.close(clock_r)
            os.write(clock_w, struct.pack("d", time.monotonic()))
            os.execv(argv[0], argv)
        os.close(clock_w)
        self.started = struct.unpack("d", os.read(clock_r, 8))[0]
        os.close(clock_r)
        self.frames = []  # arrival times of each frame's first line
        self.output = b""
        self.status = None

    def pump(self, seconds):
        """Reads for `seconds` (or until mwc ends); returns False at its end."""
        if self.status is not None:
            return False
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return True
            ready, _, _ = select.select([self.fd], [], [], left)
            if not ready:
                continue
            try:
                data = os.read(self.fd, 65536)
            except OSError:
                data = b""
            if not data:
                self.wait()
                return False
            now = time.monotonic()
            self.frames.extend([now] * data.count(b"Display O"))
            self.output += data

    def until_frames(self, count, limit=30.0):
        deadline = time.monotonic() + limit
        while len(self.frames) < count and time.monotonic() < deadline:
            if not self.pump(0.01):
                break

    def type(self, keys):
        os.write(self.fd, keys)

    def quit(self):
        if self.status is None:
            self.type(b"q")
        while self.pump(1.0):
            pass

    def wait(self):
        if self.status is None:
            _, self.status = os.waitpid(self.pid, 0)
            os.close(self.fd)


def cpu_ns(pid):
    with open(f"/proc/{pid}/schedstat") as f:
        return int(f.read().split()[0])


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))


def idle_run(mwc, buzzer=True):
    """CPU time, tick periods, system calls and memory of one idle run."""
    oven = Oven([mwc])
    oven.until_frames(1)
    oven.pump(WARMUP_S)

    first, cpu0 = len(oven.frames), cpu_ns(oven.pid)
    oven.pump(IDLE_S)
    last, cpu1 = len(oven.frames), cpu_ns(oven.pid)
    ticks = last - first
    periods = [b - a for a, b in zip(oven.frames[first:last], oven.frames[first + 1:last])]
    idle_peak = peak_rss_kib(oven.pid)

    with tempfile.NamedTemporaryFile(mode="r", suffix=".strace") as log:
        tracer = subprocess.Popen(["strace", "-q", "-o", log.name, "-p", str(oven.pid)],
                                  stderr=subprocess.DEVNULL)
        oven.pump(STRACE_S)
        tracer.send_signal(signal.SIGINT)
        tracer.wait()
        calls = strace_calls(log.read())

    buzzer_peak, bell = None, None
    if buzzer:
        # A 10 s cooking, then its buzzer: the sound library loads its configuration.
        oven.type(b"a" + IDLE_KEY + b"e" + IDLE_KEY * 106)
        oven.pump(10.8 + 2.5 + 0.5)
        buzzer_peak = peak_rss_kib(oven.pid)
        bell = b"\a" in oven.output
    oven.quit()
    return {
        "cpu_per_tick_us": (cpu1 - cpu0) / ticks / 1000.0,
        "ticks": ticks,
        "periods": periods,
        "calls": calls,
        "idle_peak": idle_peak,
        "buzzer_peak": buzzer_peak,
        "buzzer": "terminal bell (no sound device)" if bell else "tone through ALSA",
        "status": oven.status,
    }


def strace_calls(trace):
    """{call: count} from a strace log; ioctl is split by its request."""
    calls = {}
    for line in trace.splitlines():
        match = re.match(r"(\w+)\((.*)", line)
        if not match:
            continue
        name = match.group(1)
        if name == "ioctl":
            request = match.group(2).split(",")[1].split()[-1]
            name = f"ioctl {request}"
        calls[name] = calls.get(name, 0) + 1
    return calls


def first_frame_ms(argv):
    """Times from exec to the first frame (or any line with "Display O")."""
    times = []
    for _ in range(STARTS):
        oven = Oven(argv)
        oven.until_frames(1)
        times.append((oven.frames[0] - oven.started) * 1000.0)
        oven.quit()
    return times


def heap_run(mwc):
    """Every allocation of a run with an idle spell and a buzzer, under DHAT."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "dhat.json")
        oven = Oven(["/usr/bin/valgrind", "-q", "--tool=dhat", "--num-callers=64",
                     f"--dhat-out-file={out}", mwc])
        oven.until_frames(1)
        oven.pump(2.0)
        oven.type(b"a" + IDLE_KEY + b"e" + IDLE_KEY * 106 + b"q")
        while oven.pump(1.0):
            pass
        with open(out) as f:
            return json.load(f)


ALLOCATORS = re.compile(r": (malloc|calloc|realloc|memalign|posix_memalign|aligned_alloc|"
                        r"operator new|operator new\[\])[ (]")


def own_sources():
    names = set()
    for _, _, files in os.walk(SRC):
        names.update(f for f in files if f.endswith(".cpp"))
    return names


def heap_sites(dhat):
    """Allocations grouped by who made them, with our frame that led there."""
    ours = own_sources()
    table = dhat["ftbl"]

    def own_file(frame):
        match = re.search(r"\(([^():]+\.cpp):\d+\)", frame)
        return match is not None and match.group(1) in ours

    def function(frame):
        match = re.match(r"0x[0-9A-F]+: (.*?) \(", frame)
        return match.group(1) if match else frame

    sites = {}
    for pp in dhat["pps"]:
        frames = [table[i] for i in pp["fs"]]
        callers = [f for f in frames if not ALLOCATORS.search(f)] or frames
        own = next((f for f in callers if own_file(f)), None)
        if own_file(callers[0]):
            who, site = "our code", function(callers[0])
        elif any("libasound" in f or function(f).startswith("snd_") for f in callers):
            who, site = "ALSA (sound library)", "its configuration and device"
        elif function(callers[0]) == "_IO_file_doallocate":
            who, site = "C library", "_IO_file_doallocate: standard output's buffer"
        elif any("libstdc++" in f for f in callers):
            who, site = "C++ runtime", function(callers[0])
        elif any(re.search(r"\(dl-[\w-]+\.c:|ld-linux", f) for f in callers):
            who, site = "dynamic loader", function(callers[0])
        else:
            who, site = "C library", function(callers[0])
        key = (who, site, function(own) if own else "(before main)")
        blocks, size = sites.get(key, (0, 0))
        sites[key] = (blocks + pp["tbk"], size + pp["tb"])
    return sites


def machine():
    with open("/proc/cpuinfo") as f:
        model = re.search(r"model name\s*:\s*(.*)", f.read()).group(1)
    kernel = os.uname().release
    return f"{model}, {os.cpu_count()} cores, Linux {kernel}"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    mwc, floor = (os.path.abspath(path) for path in sys.argv[1:])

    runs = {"mwc": idle_run(mwc), "floor": idle_run(floor, buzzer=False)}
    starts = {"mwc": first_frame_ms([mwc]), "floor": first_frame_ms([floor])}
    dhat = heap_run(mwc)

    def period(name, pick):
        return pick([p * 1000.0 for p in runs[name]["periods"]])

    def row(label, value):
        print(f"| {label} | {value('mwc')} | {value('floor')} |")

    print(f"mwc idle benchmark on {machine()}")
    print()
    print("| Measure | mwc | floor (the tick's calls, no oven) |")
    print("|---|---|---|")
    row("CPU time per idle tick (/proc/PID/schedstat)",
        lambda n: f"{runs[n]['cpu_per_tick_us']:.1f} µs over {runs[n]['ticks']} ticks")
    row("Tick period, median", lambda n: f"{period(n, statistics.median):.3f} ms")
    row("Tick period, interquartile range", lambda n: "{:.3f} to {:.3f} ms".format(
        *period(n, lambda p: statistics.quantiles(p, n=4)[::2])))
    row("Tick period, min and max", lambda n: "{:.3f} and {:.3f} ms".format(
        period(n, min), period(n, max)))
    row(f"Exec to first frame, median and max of {STARTS}", lambda n: "{:.2f} and {:.2f} ms".format(
        statistics.median(starts[n]), max(starts[n])))
    row("Peak resident memory, idle", lambda n: f"{runs[n]['idle_peak']} KiB")
    print(f"| Peak resident memory after a buzzer | {runs['mwc']['buzzer_peak']} KiB, "
          f"{runs['mwc']['buzzer']} | - |")
    row("Exit status after q", lambda n: os.waitstatus_to_exitcode(runs[n]["status"]))
    print()
    reads = runs["mwc"]["calls"].get("read", 0)
    floor_reads = runs["floor"]["calls"].get("read", 0)
    print(f"System calls per idle tick (strace, attached for {STRACE_S:.0f} s; "
          f"ticks counted by their one read: {reads} for mwc, {floor_reads} for the floor):")
    print()
    print("| System call | mwc | floor |")
    print("|---|---|---|")
    names = sorted(set(runs["mwc"]["calls"]) | set(runs["floor"]["calls"]),
                   key=lambda name: -runs["mwc"]["calls"].get(name, 0))
    for name in names:
        mine = runs["mwc"]["calls"].get(name, 0) / max(reads, 1)
        base = runs["floor"]["calls"].get(name, 0) / max(floor_reads, 1)
        print(f"| {name} | {mine:.2f} | {base:.2f} |")
    print()
    total = dhat["pps"]
    print(f"Heap allocations over a run with a 10 s cooking and its buzzer (valgrind DHAT): "
          f"{sum(p['tbk'] for p in total)} blocks, {sum(p['tb'] for p in total)} bytes")
    print()
    print("| Allocated by | Site | Reached from our code at | Blocks | Bytes |")
    print("|---|---|---|---|---|")
    for (who, site, own), (blocks, size) in sorted(heap_sites(dhat).items(),
                                                   key=lambda item: -item[1][1]):
        print(f"| {who} | {site} | {own} | {blocks} | {size} |")

if __name__ == "__main__":
    main()
