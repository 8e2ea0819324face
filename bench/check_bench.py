#!/usr/bin/env python3
"""How fast mwc-check answers, end to end.

Usage: check_bench.py PATH/TO/mwc-check

Runs the real program RUNS times for the default report and for one question
of each kind over time and the graph with its guards, output to a pipe that is
read whole, and prints the wall time of each (median, min and max), its peak
resident memory, and configurations and transitions explored per second at the
median. The aim: the default report in 0.3 s; the limits: every run under 1 s
and 64 MB, a --ctl question under 1 s and 128 MB, and a build compared with
its own saved graph (--compare) under 2 s and 256 MB.
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 15
AIM_S = 0.3
LIMIT_S = 1.0
LIMIT_MIB = 64.0
CTL_LIMIT_MIB = 128.0
COMPARE_LIMIT_S = 2.0
COMPARE_LIMIT_MIB = 256.0
SAVED = os.path.join(tempfile.mkdtemp(prefix="mwc-check-bench-"), "saved.graph")
QUESTIONS = [
    ("default report", []),
    ("leads-to", ["--leads-to", "start --> not start"]),
    ("inevitable", ["--inevitable", "buzzer"]),
    ("forever", ["--keys", ".", "--forever", "not buzzer"]),
    ("graph with guards", ["--graph=json"]),
    ("ctl reset", ["--ctl", "AG EF (state = Wait_Input and not start and not door)"]),
    ("ctl nested, before.", ["--ctl", "AG (before.state = Wait_Input and start implies "
                             "A[ start U AF buzzer ] or EX door)"]),
    ("cover", ["--cover", os.path.join(os.path.dirname(SAVED), "test.keys")]),
    ("tour", ["--tour"]),
    ("compare with itself", ["--compare", SAVED]),
]


def run_once(argv):
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.PIPE)
    output = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1):
        sys.exit(f"{' '.join(argv)} exited with {code}")
    return elapsed, usage.ru_maxrss / 1024.0, output.decode()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    check = os.path.abspath(sys.argv[1])
    report = run_once([check])[2]
    run_once([check, "--save", SAVED])
    with open(os.path.join(os.path.dirname(SAVED), "test.keys"), "w") as script:
        script.write("ca.b.e")
    found = re.search(r"(\d+) configurations, (\d+) transitions", report)
    configurations, transitions = int(found.group(1)), int(found.group(2))
    print(f"mwc-check ({configurations:,} configurations, {transitions:,} transitions), "
          f"{RUNS} runs each:")
    print()
    print("| Question | Median | Min | Max | Peak memory | Configurations/s | Transitions/s |")
    print("|---|---|---|---|---|---|---|")
    over = []
    for label, arguments in QUESTIONS:
        runs = [run_once([check] + arguments) for _ in range(RUNS)]
        seconds = [run[0] for run in runs]
        memory = max(run[1] for run in runs)
        median = statistics.median(seconds)
        print(f"| {label} | {median * 1000:.0f} ms | {min(seconds) * 1000:.0f} ms | "
              f"{max(seconds) * 1000:.0f} ms | {memory:.1f} MiB | "
              f"{configurations / median:,.0f} | {transitions / median:,.0f} |")
        limit_s, limit_mib = ((COMPARE_LIMIT_S, COMPARE_LIMIT_MIB) if "--compare" in arguments
                              else (LIMIT_S, CTL_LIMIT_MIB) if "--ctl" in arguments
                              else (LIMIT_S, LIMIT_MIB))
        if max(seconds) >= limit_s or memory >= limit_mib:
            over.append(f"{label}: over the limit of {limit_s:g} s and {limit_mib:g} MiB")
        if not arguments and median > AIM_S:
            over.append(f"{label}: {median * 1000:.0f} ms, short of the aim of "
                        f"{AIM_S * 1000:.0f} ms")
    for line in over:
        print(line)


if __name__ == "__main__":
    main()
