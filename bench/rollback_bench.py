#!/usr/bin/env python3
"""Times COPY over existing files with and without ROLLBACK=YES, side by side
in one run: 2,000 small files (20 folders of 100) and one 200 MiB file. Each
run starts from a fresh copy of the installed tree (not timed); the settings
take turns. Prints medians and the ratio ROLLBACK/without. With --before and
a second updater.exe (an earlier build), both programs take turns as well
(in the other order every second round), and the growth of ROLLBACK's
overhead (its time less the time without) is printed: in elapsed time, and
in the processor time of the program itself, which other work on a busy
machine disturbs less (Wine's server, which does part of the program's
file work, is not counted there).

The figures depend on the file system the trees are on, because an undo
makes a new file for each one it replaces where a plain run writes over the
old one. On ext4 without a journal the allocator passes over every inode
freed in the last minutes, and a bench that has just removed thousands of
files pays for that on each new file. Give a folder on the file system to
measure; it is made and removed.

usage: bench/rollback_bench.py build/win/updater.exe [runs] [folder] [--before OLD.exe]
"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
args = sys.argv[1:]
before = None
if "--before" in args:
    at = args.index("--before")
    before = os.path.abspath(args[at + 1])
    del args[at:at + 2]
exe = os.path.abspath(args[0])
runs = int(args[1]) if len(args) > 1 else 5
work = os.path.abspath(args[2]) if len(args) > 2 else os.path.join(top, "build", "bench-rollback")
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


def timed_run(tree, rollback, program="updater.exe"):
    target = os.path.join(work, "app")
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(os.path.join(work, "installed-" + tree), target)
    # Each program reads the script of its own name.
    with open(os.path.join(work, program.replace(".exe", ".ini")), "w") as f:
        f.write("[UPDATER]\nNAME=bench\n%sPROC=C\n[C]\nMODE=COPY\nFROM=<Src>\\new-%s\n"
                "TO=<Src>\\app\n" % ("ROLLBACK=YES\n" if rollback else "", tree))
    subprocess.run(["sync"])
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([wine, os.path.join(work, program)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    now = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = now.ru_utime + now.ru_stime - used.ru_utime - used.ru_stime
    # The update must be complete either way.
    for folder, _, files in os.walk(target):
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                assert f.read(1) == b"n", os.path.join(folder, name)
    return elapsed, cpu


def bench(tree, label):
    programs = ["updater.exe"] + (["before.exe"] if before else [])
    times = {(p, r): [] for p in programs for r in (False, True)}
    for round_ in range(runs):
        for program in programs if round_ % 2 == 0 else programs[::-1]:
            for rollback in (False, True):
                times[(program, rollback)].append(timed_run(tree, rollback, program))
    for measure, what in ((0, "elapsed"), (1, "processor")):
        overhead = {}
        for program in programs:
            a = statistics.median(t[measure] for t in times[(program, False)])
            b = statistics.median(t[measure] for t in times[(program, True)])
            overhead[program] = b - a
            print("%-34s %-9s %-11s without %.3f s   ROLLBACK %.3f s   ratio %.2f  (median of %d)"
                  % (label, what, program, a, b, b / a, runs))
        if before:
            # Also round by round, which the machine's drift touches less.
            paired = statistics.median(
                (times[("updater.exe", True)][r][measure] -
                 times[("updater.exe", False)][r][measure]) -
                (times[("before.exe", True)][r][measure] - times[("before.exe", False)][r][measure])
                for r in range(runs))
            print("%-34s %-9s ROLLBACK's overhead %.3f s before, %.3f s now: %+.0f %%; "
                  "round by round %+.3f s (%+.0f %%)"
                  % (label, what, overhead["before.exe"], overhead["updater.exe"],
                     100 * (overhead["updater.exe"] / overhead["before.exe"] - 1), paired,
                     100 * paired / overhead["before.exe"]))


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
make_small("installed-small", ord("o"))
make_small("new-small", ord("n"))
make_big("installed-big", ord("o"))
make_big("new-big", ord("n"))
shutil.copy(exe, os.path.join(work, "updater.exe"))
if before:
    shutil.copy(before, os.path.join(work, "before.exe"))
bench("small", "2,000 small files over existing")
bench("big", "one 200 MiB file over existing")
shutil.rmtree(work, ignore_errors=True)
