#!/usr/bin/env python3
"""Times COPY over existing files with and without ROLLBACK=YES, side by side
in one run: 2,000 small files (20 folders of 100) and one 200 MiB file. Each
run starts from a fresh copy of the installed tree (not timed); the two
settings take turns. Prints medians and the ratio ROLLBACK/without.

The figures depend on the file system the trees are on, because an undo
makes a new file for each one it replaces where a plain run writes over the
old one. On ext4 without a journal the allocator passes over every inode
freed in the last minutes, and a bench that has just removed thousands of
files pays for that on each new file. Give a folder on the file system to
measure; it is made and removed.

usage: bench/rollback_bench.py build/win/updater.exe [runs] [folder]
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
work = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else \
    os.path.join(top, "build", "bench-rollback")
wine = os.path.join(top, "tests", "run-wine.sh")


def make_small(name, byte):
    for folder in range(20):
        sub = os.path.join(work, name, "f%02d" % folder)
        os.makedirs(sub)
        for n in range(100):
            with open(os.path.join(sub, "file%03d.txt" % n), "wb") as f:
                f.write(bytes([byte]) * 1024)


def make_big(name, byte):
    os.makedirs(os.path.join(work, name))
    block = bytes([byte]) * (1 << 20)
    with open(os.path.join(work, name, "big.bin"), "wb") as f:
        for _ in range(200):
            f.write(block)


def timed_run(tree, rollback):
    target = os.path.join(work, "app")
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(os.path.join(work, "installed-" + tree), target)
    with open(os.path.join(work, "updater.ini"), "w") as f:
        f.write("[UPDATER]\nNAME=bench\n%sPROC=C\n[C]\nMODE=COPY\nFROM=<Src>\\new-%s\n"
                "TO=<Src>\\app\n" % ("ROLLBACK=YES\n" if rollback else "", tree))
    subprocess.run(["sync"])
    start = time.perf_counter()
    subprocess.run([wine, os.path.join(work, "updater.exe")], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    # The update must be complete either way.
    for folder, _, files in os.walk(target):
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                assert f.read(1) == b"n", os.path.join(folder, name)
    return elapsed


def bench(tree, label):
    without, with_rollback = [], []
    for _ in range(runs):
        without.append(timed_run(tree, False))
        with_rollback.append(timed_run(tree, True))
    a, b = statistics.median(without), statistics.median(with_rollback)
    print("%-34s without %.3f s   ROLLBACK %.3f s   ratio %.2f  (median of %d)"
          % (label, a, b, b / a, runs))


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
make_small("installed-small", ord("o"))
make_small("new-small", ord("n"))
make_big("installed-big", ord("o"))
make_big("new-big", ord("n"))
shutil.copy(exe, os.path.join(work, "updater.exe"))
bench("small", "2,000 small files over existing")
bench("big", "one 200 MiB file over existing")
shutil.rmtree(work, ignore_errors=True)
