#!/usr/bin/env python3
"""How fast mwc-check makes its default report, end to end.

Usage: check_bench.py PATH/TO/mwc-check

Runs the real program RUNS times, output to a pipe that is read whole, and
prints the wall time of each run (median, min and max), its peak resident
memory, and configurations and transitions explored per second at the median.
The goals: the whole report in under 1 s, peak memory under 64 MB.
"""

import os
import re
import statistics
import subprocess
import sys
import time

RUNS = 15


def run_once(check):
    start = time.perf_counter()
    child = subprocess.Popen([check], stdout=subprocess.PIPE)
    output = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"mwc-check exited with {os.waitstatus_to_exitcode(status)}")
    return elapsed, usage.ru_maxrss / 1024.0, output.decode()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    check = os.path.abspath(sys.argv[1])
    runs = [run_once(check) for _ in range(RUNS)]
    found = re.search(r"(\d+) configurations, (\d+) transitions", runs[0][2])
    configurations, transitions = int(found.group(1)), int(found.group(2))
    seconds = [run[0] for run in runs]
    memory = [run[1] for run in runs]
    median = statistics.median(seconds)
    print(f"mwc-check, the default report ({configurations:,} configurations, "
          f"{transitions:,} transitions), {RUNS} runs:")
    print()
    print("| Measure | Median | Min | Max |")
    print("|---|---|---|---|")
    print(f"| wall time | {median * 1000:.0f} ms | {min(seconds) * 1000:.0f} ms | "
          f"{max(seconds) * 1000:.0f} ms |")
    print(f"| peak memory | {statistics.median(memory):.1f} MiB | {min(memory):.1f} MiB | "
          f"{max(memory):.1f} MiB |")
    print(f"| configurations per second | {configurations / median:,.0f} | | |")
    print(f"| transitions per second | {transitions / median:,.0f} | | |")
    if median >= 1.0 or max(memory) >= 64.0:
        print("\nover the goal: under 1 s and under 64 MB")


if __name__ == "__main__":
    main()
