#!/usr/bin/env python3
"""Times the script checker on large generated scripts, 1x, 4x and 16x a
base size, in the shapes that once took quadratic time, side by side:

  copy     COPY procedures, named by PROC and by SWITCH lists
  unused   sections that no list names
  switch   SWITCH procedures, each reading the flag of the one before it
  lists    PROC and SWITCH lists as long as a value may be (32,766 bytes)

usage: check_bench.py UPDCHECK [BASE_KIB] [RUNS]
       check_bench.py --write FOLDER [BASE_KIB]   (only writes the scripts)

The base is 640 KiB, so that 16x is 10 MiB. Each figure is the median of
RUNS runs (3 unless given): the checker's processor time (user and
system) and its wall time, in seconds, and its exit status. On a machine
shared with other work the processor time is the steadier figure.
"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

LIST_BYTES = 32000  # what fits in one list value


def lists_of(names):
    """Splits names into "," lists that each fit in one value."""
    lists, current, size = [], [], 0
    for name in names:
        if current and size + len(name) + 1 > LIST_BYTES:
            lists.append(current)
            current, size = [], 0
        current.append(name)
        size += len(name) + 1
    if current:
        lists.append(current)
    return lists


def head(proc_names):
    return "[UPDATER]\r\nNAME=Bench\r\nPROC=%s\r\n\r\n" % ",".join(proc_names)


def grouped(sections, names):
    """A script running the named sections through SWITCH lists."""
    groups = lists_of(names)
    text = [head("G%d" % g for g in range(len(groups)))]
    for g, group in enumerate(groups):
        text.append("[G%d]\r\nMODE=SWITCH\r\nPROC=\r\n0=\r\n1=%s\r\n\r\n" % (g, ",".join(group)))
    text.extend(sections)
    return "".join(text)


def copy_shape(target):
    sections, names, size, i = [], [], 0, 0
    while size < target:
        section = ("[Copy%d]\r\nMODE=COPY\r\nFROM=<Src>\\new\\file%d.dat\r\n"
                   "TO=<Src>\\app\\file%d.dat\r\n\r\n" % (i, i, i))
        sections.append(section)
        names.append("Copy%d" % i)
        size += len(section) + len(names[-1]) + 1
        i += 1
    return grouped(sections, names)


def unused_shape(target):
    text, i = [head(["Used"]), "[Used]\r\nMODE=OSVER\r\n\r\n"], 0
    size = sum(len(t) for t in text)
    while size < target:
        section = "[Unused%d]\r\nMODE=EXIST\r\nFILE=<Src>\\file%d\r\n\r\n" % (i, i)
        text.append(section)
        size += len(section)
        i += 1
    return "".join(text)


def switch_shape(target):
    sections, names, size, i = [], [], 0, 0
    while size < target:
        condition = "NOT S%d" % (i - 1) if i > 0 else ""
        section = "[S%d]\r\nMODE=SWITCH\r\nPROC=%s\r\n0=\r\n1=\r\n\r\n" % (i, condition)
        sections.append(section)
        names.append("S%d" % i)
        size += len(section) + len(names[-1]) + 1
        i += 1
    # One list, so that each condition is looked up among many names.
    text = [head(["Chain"]), "[Chain]\r\nMODE=SWITCH\r\nPROC=\r\n0=\r\n1=%s\r\n\r\n" % ",".join(
        names[:LIST_BYTES // 8])]
    # The rest run in groups of their own, each one list.
    rest = names[LIST_BYTES // 8:]
    for g, group in enumerate(lists_of(rest)):
        text.append("[R%d]\r\nMODE=SWITCH\r\nPROC=\r\n0=\r\n1=%s\r\n\r\n" % (g, ",".join(group)))
    text[0] = head(["Chain"] + ["R%d" % g for g in range(len(lists_of(rest)))])
    text.extend(sections)
    return "".join(text)


def lists_shape(target):
    names = ["P%d" % i for i in range(64)]
    line = ",".join(names[i % 64] for i in range(LIST_BYTES // 4))[:LIST_BYTES]
    line = line[:line.rfind(",")]
    count = max(1, target // (LIST_BYTES + 40))
    switches = ",".join("L%d" % g for g in range(count))
    # PROC runs every long list, and is itself as long as a value may be.
    proc = switches + "," + line[:LIST_BYTES - len(switches)]
    text = ["[UPDATER]\r\nNAME=Bench\r\nPROC=%s\r\n\r\n" % proc[:proc.rfind(",")]]
    for g in range(count):
        text.append("[L%d]\r\nMODE=SWITCH\r\nPROC=\r\n0=\r\n1=%s\r\n\r\n" % (g, line))
    text.extend("[%s]\r\nMODE=OSVER\r\n\r\n" % n for n in names)
    return "".join(text)


SHAPES = [("copy", copy_shape), ("unused", unused_shape), ("switch", switch_shape),
          ("lists", lists_shape)]
FACTORS = [1, 4, 16]


def write_scripts(folder, base):
    paths = {}
    for name, shape in SHAPES:
        for factor in FACTORS:
            path = os.path.join(folder, "%s-%dx.ini" % (name, factor))
            with open(path, "w", newline="") as out:
                out.write(shape(base * factor))
            paths[(name, factor)] = path
    return paths


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(checker, path, runs):
    cpu, wall, status = [], [], None
    for _ in range(runs):
        start, start_cpu = time.perf_counter(), cpu_seconds()
        status = subprocess.run([checker, path], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL).returncode
        wall.append(time.perf_counter() - start)
        cpu.append(cpu_seconds() - start_cpu)
    return statistics.median(cpu), statistics.median(wall), status


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "--write":
        base = int(sys.argv[3]) * 1024 if len(sys.argv) > 3 else 640 * 1024
        for path in write_scripts(sys.argv[2], base).values():
            print(path, os.path.getsize(path))
        return
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    checker = os.path.abspath(sys.argv[1])
    base = int(sys.argv[2]) * 1024 if len(sys.argv) > 2 else 640 * 1024
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory() as folder:
        paths = write_scripts(folder, base)
        print("%-7s" % "shape" + "".join("%28s" % ("%dx: MiB, cpu/wall s" % f) for f in FACTORS)
              + "   16x/1x cpu")
        for name, _ in SHAPES:
            cells, first, last = [], None, None
            for factor in FACTORS:
                path = paths[(name, factor)]
                cpu, wall, status = run(checker, path, runs)
                first = cpu if first is None else first
                last = cpu
                cells.append("%5.1f %6.3f/%6.3f (%d)" % (
                    os.path.getsize(path) / 1048576, cpu, wall, status))
            print("%-7s" % name + "".join("%28s" % c for c in cells) + "   %6.1f" % (last / first))


if __name__ == "__main__":
    main()
