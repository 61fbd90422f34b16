#!/usr/bin/env python3
"""Start-up time under Wine: a run of updater.exe whose one procedure copies a
small file (process start to exit, so it bounds the time to the first
procedure's run from above), against a program that does nothing, started the
same way. Median of N runs each, with a persistent wineserver.

usage: bench/startup_bench.py build/win/updater.exe build/wintest/tests/win/box_target.exe [runs]
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
exe, idle = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 20
work = os.path.join(top, "build", "bench-start")
wine = os.path.join(top, "tests", "run-wine.sh")

shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
shutil.copy(exe, os.path.join(work, "updater.exe"))
with open(os.path.join(work, "a.txt"), "w") as f:
    f.write("a")
with open(os.path.join(work, "updater.ini"), "w") as f:
    f.write("[UPDATER]\nNAME=start\nPROC=C\n[C]\nMODE=COPY\nFROM=<Src>\\a.txt\nTO=<Src>\\b.txt\n")


def median_run(command, check):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
        check()
    return statistics.median(times) * 1000


def copied():
    path = os.path.join(work, "b.txt")
    assert os.path.exists(path)
    os.remove(path)


updater_ms = median_run([wine, os.path.join(work, "updater.exe")], copied)
idle_ms = median_run([wine, idle, "none", "NUL", "0"], lambda: None)
print("updater.exe, start to exit of a one-COPY script: %.0f ms (median of %d)" % (updater_ms, runs))
print("a program that does nothing, start to exit:       %.0f ms (median of %d)" % (idle_ms, runs))
print("the updater's own share:                          %.0f ms" % (updater_ms - idle_ms))
shutil.rmtree(work, ignore_errors=True)
