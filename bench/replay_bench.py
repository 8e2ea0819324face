#!/usr/bin/env python3
"""How fast mwc-replay replays a ten-minute cooking, end to end.

Usage: replay_bench.py PATH/TO/mwc-replay

Writes the key script that sets 600 s and starts (then the replay runs on to
the buzzer and rest, about 6,000 ticks), runs the real program on it RUNS
times with the frames and RUNS times with --trace, output to /dev/null, and
prints the wall time of each: median, min and max, and ticks per second.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 30
SCRIPT = b"b\xff" * 20 + b"e"  # 20 x 30 s = 600 s, then start


def timed(argv):
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, check=True)
    return (time.perf_counter() - start) * 1000.0


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    replay = os.path.abspath(sys.argv[1])
    with tempfile.NamedTemporaryFile(suffix=".keys") as script:
        script.write(SCRIPT)
        script.flush()
        trace = subprocess.run([replay, "--trace", script.name], capture_output=True, check=True)
        ticks = trace.stdout.count(b"\n")
        print(f"mwc-replay, a ten-minute cooking ({ticks} ticks), output to /dev/null, "
              f"{RUNS} runs each (wall time of the whole process):")
        print()
        print("| Output | Median | Min | Max | Ticks per second (median) |")
        print("|---|---|---|---|---|")
        for label, argv in (("frames", [replay, script.name]),
                            ("--trace", [replay, "--trace", script.name])):
            times = [timed(argv) for _ in range(RUNS)]
            median = statistics.median(times)
            print(f"| {label} | {median:.2f} ms | {min(times):.2f} ms | {max(times):.2f} ms | "
                  f"{ticks / median * 1000.0:,.0f} |")


if __name__ == "__main__":
    main()
