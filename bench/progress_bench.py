#!/usr/bin/env python3
"""Times COPY of 2,000 small files (20 folders of 100, 1 KiB each) into an
empty folder with and without PROGRESS=YES, side by side in one run: the two
settings take turns, each run from process start to exit. The window needs a
display: the bench starts its own Xvfb. Prints medians and the ratio
PROGRESS/without, and the median of the ratios of the pairs.

Wine, on a display without a window manager, waits two seconds for one to
let each closed window go; tests/wine-setup.sh turns that off in the
prefix (X11 Driver, Managed=N), as a real desktop would not wait. The bench
has a Wine prefix of its own (build/wine-bench), set up on the display:
Wine shows windows only where its desktop has a display, and the tests'
desktop has none.

usage: bench/progress_bench.py build/win/updater.exe [runs]
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
exe = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
work = os.path.join(top, "build", "bench-progress")
wine = os.path.join(top, "tests", "run-wine.sh")
os.environ["UPDATER_WINE_ROOT"] = os.path.join(top, "build", "wine-bench")


def start_display():
    """An Xvfb of our own: its process and the DISPLAY value."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    return xvfb, ":" + number


def prepare(name, progress):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    shutil.copy(exe, os.path.join(folder, "updater.exe"))
    with open(os.path.join(folder, "updater.ini"), "w") as f:
        f.write("[UPDATER]\nNAME=bench\n%sPROC=C\n[C]\nMODE=COPY\nFROM=%s\nTO=<Src>\\out\n"
                % ("PROGRESS=YES\n" if progress else "", "Z:" + os.path.join(work, "new")
                   .replace("/", "\\")))
    return folder


def timed_run(folder, environment):
    shutil.rmtree(os.path.join(folder, "out"), ignore_errors=True)
    subprocess.run(["sync"])
    start = time.perf_counter()
    subprocess.run([wine, os.path.join(folder, "updater.exe")], check=True, env=environment,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    count = sum(len(files) for _, _, files in os.walk(os.path.join(folder, "out")))
    assert count == 2000, count
    return elapsed


shutil.rmtree(work, ignore_errors=True)
for folder in range(20):
    sub = os.path.join(work, "new", "f%02d" % folder)
    os.makedirs(sub)
    for n in range(100):
        with open(os.path.join(sub, "file%03d.txt" % n), "wb") as f:
            f.write(os.urandom(1024))
plain = prepare("plain", False)
shown = prepare("progress", True)
xvfb, display = start_display()
try:
    environment = dict(os.environ, DISPLAY=display)
    # The prefix's desktop, made here, has the display.
    subprocess.run(["sh", os.path.join(top, "tests", "wine-setup.sh")], check=True,
                   env=environment)
    # The window must really be shown: its log has no word against it.
    log = os.path.join(work, "check.log")
    timed_run(shown, dict(environment, UPDATER_LOG="Z:" + log.replace("/", "\\")))
    with open(log, encoding="utf-8-sig") as f:
        text = f.read()
    assert "progress window not available" not in text, text
    without, with_progress = [], []
    for _ in range(runs):
        without.append(timed_run(plain, environment))
        with_progress.append(timed_run(shown, environment))
    a, b = statistics.median(without), statistics.median(with_progress)
    pairs = statistics.median(p / w for w, p in zip(without, with_progress))
    print("COPY of 2,000 small files   without %.3f s   PROGRESS %.3f s   ratio %.3f   "
          "median of pair ratios %.3f  (median of %d)" % (a, b, b / a, pairs, runs))
finally:
    subprocess.run(["sh", os.path.join(top, "tests", "wine-setup.sh"), "stop"])
    xvfb.terminate()
    xvfb.wait()
    shutil.rmtree(work, ignore_errors=True)
