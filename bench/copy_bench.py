#!/usr/bin/env python3
"""Times the COPY procedure against Wine's own xcopy /E /I /Y on the same
trees: 2,000 small files, 8,000 small files, and one 200 MiB file. Then times
COPY of the 8,000 files with and without a run log (LOG=), side by side.
Prints medians and ratios.

usage: bench/copy_bench.py build/win/updater.exe [runs]
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
exe = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
work = os.path.join(top, "build", "bench-copy")
wine = os.path.join(top, "tests", "run-wine.sh")


def windows(path):
    return "Z:" + path.replace("/", "\\")


def make_small_tree(name, folders):
    small = os.path.join(work, name)
    for folder in range(folders):
        sub = os.path.join(small, "f%02d" % folder)
        os.makedirs(sub)
        for n in range(100):
            with open(os.path.join(sub, "file%03d.txt" % n), "wb") as f:
                f.write(os.urandom(1024))


def make_trees():
    shutil.rmtree(work, ignore_errors=True)
    make_small_tree("small", 20)     # 2,000 files
    make_small_tree("small-x4", 80)  # 8,000 files: the cost per file must stay the same
    big = os.path.join(work, "big")
    os.makedirs(big)
    with open(os.path.join(big, "big.bin"), "wb") as f:
        block = os.urandom(1 << 20)
        for _ in range(200):
            f.write(block)
    shutil.copy(exe, os.path.join(work, "updater.exe"))


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def write_script(tree, log=""):
    with open(os.path.join(work, "updater.ini"), "w") as f:
        f.write("[UPDATER]\nNAME=bench\nPROC=C\n%s[C]\nMODE=COPY\nFROM=<Src>\\%s\n"
                "TO=<Src>\\out-updater\n" % (log, tree))


def bench(tree):
    source = os.path.join(work, tree)
    ours, theirs = [], []
    for _ in range(runs):
        for target in ("out-updater", "out-xcopy"):
            shutil.rmtree(os.path.join(work, target), ignore_errors=True)
        subprocess.run(["sync"])
        write_script(tree)
        ours.append(timed([wine, os.path.join(work, "updater.exe")]))
        theirs.append(timed([wine, "xcopy", "/E", "/I", "/Y", windows(source),
                             windows(os.path.join(work, "out-xcopy"))]))
        count = sum(len(files) for _, _, files in os.walk(os.path.join(work, "out-updater")))
        expected = sum(len(files) for _, _, files in os.walk(source))
        assert count == expected, (count, expected)
    a, b = statistics.median(ours), statistics.median(theirs)
    print("%-28s COPY %.3f s   xcopy %.3f s   ratio COPY/xcopy %.2f  (median of %d)"
          % (tree, a, b, a / b, runs))


def bench_log(tree):
    """The same COPY without and with a log, alternating, each onto a fresh target."""
    log = os.path.join(work, "run.log")
    plain, logged, lines = [], [], 0
    for _ in range(runs):
        for with_log in (False, True):
            shutil.rmtree(os.path.join(work, "out-updater"), ignore_errors=True)
            if os.path.exists(log):
                os.remove(log)
            subprocess.run(["sync"])
            write_script(tree, "LOG=<Src>\\run.log\n" if with_log else "")
            (logged if with_log else plain).append(timed([wine, os.path.join(work, "updater.exe")]))
        with open(log, "rb") as f:
            lines = f.read().count(b"\r\n")
    a, b = statistics.median(plain), statistics.median(logged)
    print("%-28s COPY %.3f s   with log %.3f s   ratio %.3f  (%d log lines, median of %d)"
          % (tree, a, b, b / a, lines, runs))


make_trees()
bench("small")
bench("small-x4")
bench("big")
bench_log("small-x4")
shutil.rmtree(work, ignore_errors=True)
