#!/usr/bin/env python3
"""What the idle oven costs: the real mwc under a pseudo-terminal.

Usage: idle_bench.py PATH/TO/mwc PATH/TO/tick_floor

Runs mwc and tick_floor (a program that makes only the calls an idle tick
must make, with no oven behind it) side by side on new pseudo-terminals, in
turns, REPEATS times each, and prints each idle measure as a ratio to the
floor with its median and range over the runs: CPU time per idle tick,
private memory, the time to the first frame. Then the system calls per idle
tick, whether the sound library is mapped (idle, and after a buzzer), the
tick period, and every heap allocation of a whole run with where it came
from. Needs strace and valgrind.
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

REPEATS = 9            # idle runs of each program, in turns
IDLE_S = 3.0           # each run's idle window for CPU time and tick periods
STRACE_S = 5.0         # the idle window under strace
WARMUP_S = 0.5         # left out after the first frame
STARTS = 25            # starts of each program, in turns, for the first frame
SOUND_LIBRARY = "libasound"
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


def private_kib(pid):
    """Pages no other process maps: Private_Clean plus Private_Dirty."""
    with open(f"/proc/{pid}/smaps_rollup") as f:
        return sum(int(k) for k in re.findall(r"Private_(?:Clean|Dirty):\s+(\d+)", f.read()))


def maps_sound_library(pid):
    with open(f"/proc/{pid}/maps") as f:
        return SOUND_LIBRARY in f.read()


def idle_run(program):
    """CPU time per tick, tick periods, private memory of one idle spell."""
    oven = Oven([program])
    oven.until_frames(1)
    oven.pump(WARMUP_S)
    first, cpu0 = len(oven.frames), cpu_ns(oven.pid)
    oven.pump(IDLE_S)
    last, cpu1 = len(oven.frames), cpu_ns(oven.pid)
    run = {
        "cpu_per_tick_us": (cpu1 - cpu0) / (last - first) / 1000.0,
        "periods": [b - a for a, b in zip(oven.frames[first:last], oven.frames[first + 1:last])],
        "private": private_kib(oven.pid),
        "sound_mapped": maps_sound_library(oven.pid),
        "idle_peak": peak_rss_kib(oven.pid),
    }
    oven.quit()
    run["status"] = oven.status
    return run


def strace_run(program):
    """{call: count} over STRACE_S of idle, with strace attached."""
    oven = Oven([program])
    oven.until_frames(1)
    oven.pump(WARMUP_S)
    with tempfile.NamedTemporaryFile(mode="r", suffix=".strace") as log:
        tracer = subprocess.Popen(["strace", "-q", "-o", log.name, "-p", str(oven.pid)],
                                  stderr=subprocess.DEVNULL)
        oven.pump(STRACE_S)
        tracer.send_signal(signal.SIGINT)
        tracer.wait()
        calls = strace_calls(log.read())
    oven.quit()
    return calls


def buzzer_run(mwc):
    """A 10 s cooking and its buzzer: is the sound library mapped after it?"""
    oven = Oven([mwc])
    oven.until_frames(1)
    oven.pump(WARMUP_S)
    before = maps_sound_library(oven.pid)
    oven.type(b"a" + IDLE_KEY + b"e" + IDLE_KEY * 106)
    oven.pump(10.8 + 2.5 + 0.5)
    run = {
        "before": before,
        "after": maps_sound_library(oven.pid),
        "peak": peak_rss_kib(oven.pid),
        "bell": b"\a" in oven.output,
    }
    oven.quit()
    return run


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
    """Time from exec to the first frame (its first line) of one start."""
    oven = Oven(argv)
    oven.until_frames(1)
    oven.quit()
    return (oven.frames[0] - oven.started) * 1000.0


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


def spread(values, fmt):
    return f"{fmt(statistics.median(values))} ({fmt(min(values))} to {fmt(max(values))})"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    mwc, floor = (os.path.abspath(path) for path in sys.argv[1:])

    # In turns, so that a slow spell of the machine falls on both.
    runs = {"mwc": [], "floor": []}
    for _ in range(REPEATS):
        runs["mwc"].append(idle_run(mwc))
        runs["floor"].append(idle_run(floor))
    starts = {"mwc": [], "floor": []}
    for _ in range(STARTS):
        starts["mwc"].append(first_frame_ms([mwc]))
        starts["floor"].append(first_frame_ms([floor]))
    calls = {"mwc": strace_run(mwc), "floor": strace_run(floor)}
    buzzer = buzzer_run(mwc)
    dhat = heap_run(mwc)

    def each(name, key):
        return [run[key] for run in runs[name]]

    def ratios(key):
        return [a / b for a, b in zip(each("mwc", key), each("floor", key))]

    print(f"mwc idle benchmark on {machine()}")
    print()
    print(f"Idle, side by side with the floor: {REPEATS} runs of each in turns, "
          f"{IDLE_S:.0f} s of idle each; first frame over {STARTS} starts of each in turns. "
          "Median (min to max).")
    print()
    print("| Measure | mwc | floor | mwc / floor |")
    print("|---|---|---|---|")
    print("| CPU time per idle tick (/proc/PID/schedstat) | "
          f"{spread(each('mwc', 'cpu_per_tick_us'), lambda v: f'{v:.1f} µs')} | "
          f"{spread(each('floor', 'cpu_per_tick_us'), lambda v: f'{v:.1f} µs')} | "
          f"{spread(ratios('cpu_per_tick_us'), lambda v: f'{v:.2f}')} |")
    print("| Private memory, idle (Private_Clean + Private_Dirty) | "
          f"{spread(each('mwc', 'private'), lambda v: f'{v:.0f} KiB')} | "
          f"{spread(each('floor', 'private'), lambda v: f'{v:.0f} KiB')} | "
          f"{spread(ratios('private'), lambda v: f'{v:.2f}')} |")
    print("| Peak resident memory, idle | "
          f"{spread(each('mwc', 'idle_peak'), lambda v: f'{v:.0f} KiB')} | "
          f"{spread(each('floor', 'idle_peak'), lambda v: f'{v:.0f} KiB')} | "
          f"{spread(ratios('idle_peak'), lambda v: f'{v:.2f}')} |")
    late = [a - b for a, b in zip(starts["mwc"], starts["floor"])]
    print("| Exec to first frame | "
          f"{spread(starts['mwc'], lambda v: f'{v:.2f} ms')} | "
          f"{spread(starts['floor'], lambda v: f'{v:.2f} ms')} | "
          f"later by {statistics.median(starts['mwc']) - statistics.median(starts['floor']):+.2f} ms "
          f"(medians); pairwise {spread(late, lambda v: f'{v:+.2f} ms')} |")
    periods = {n: [p * 1000.0 for run in runs[n] for p in run["periods"]] for n in runs}
    print("| Tick period | "
          f"{spread(periods['mwc'], lambda v: f'{v:.2f} ms')} | "
          f"{spread(periods['floor'], lambda v: f'{v:.2f} ms')} | |")
    statuses = {os.waitstatus_to_exitcode(run["status"]) for n in runs for run in runs[n]}
    print(f"| Exit status after q | {statuses} | | |")
    print()
    mapped_idle = any(each("mwc", "sound_mapped"))
    print(f"Sound library ({SOUND_LIBRARY}) mapped: while idle, "
          f"{'yes' if mapped_idle else 'no'} (all {REPEATS} runs); before the first buzzer, "
          f"{'yes' if buzzer['before'] else 'no'}; after it, {'yes' if buzzer['after'] else 'no'}"
          f" ({'bell: no sound device' if buzzer['bell'] else 'tone'}). "
          f"Peak resident memory after the buzzer: {buzzer['peak']} KiB.")
    print()
    reads = calls["mwc"].get("read", 0)
    floor_reads = calls["floor"].get("read", 0)
    print(f"System calls per idle tick (strace, attached for {STRACE_S:.0f} s; "
          f"ticks counted by their one read: {reads} for mwc, {floor_reads} for the floor):")
    print()
    print("| System call | mwc | floor |")
    print("|---|---|---|")
    names = sorted(set(calls["mwc"]) | set(calls["floor"]),
                   key=lambda name: -calls["mwc"].get(name, 0))
    for name in names:
        mine = calls["mwc"].get(name, 0) / max(reads, 1)
        base = calls["floor"].get(name, 0) / max(floor_reads, 1)
        print(f"| {name} | {mine:.2f} | {base:.2f} |")
    total = lambda n: sum(calls[n].values()) / max(calls[n].get("read", 0), 1)
    print(f"| all | {total('mwc'):.2f} | {total('floor'):.2f} |")
    print()
    pps = dhat["pps"]
    print(f"Heap allocations over a run with a 10 s cooking and its buzzer (valgrind DHAT): "
          f"{sum(p['tbk'] for p in pps)} blocks, {sum(p['tb'] for p in pps)} bytes")
    print()
    print("| Allocated by | Site | Reached from our code at | Blocks | Bytes |")
    print("|---|---|---|---|---|")
    for (who, site, own), (blocks, size) in sorted(heap_sites(dhat).items(),
                                                   key=lambda item: -item[1][1]):
        print(f"| {who} | {site} | {own} | {blocks} | {size} |")


if __name__ == "__main__":
    main()
