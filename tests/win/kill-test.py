#!/usr/bin/env python3
"""An update with ROLLBACK=YES killed from outside (SIGKILL, as a power loss
ends the program) at random moments, again and again. After each kill the
next start of the same script must first finish the undo: the tree is then
byte for byte as before the update (contents, attributes, times, folders),
or, when the kill came after the end, the completed update. The next start
shows no box but the script's first question (message 18 or 19 would say
that the undo could not finish), answered No, so nothing runs after the undo.
Every fourth time that next start is itself killed first, as it undoes or
updates again, and the one after it must still find one of the two trees;
every eighth time the first kill comes after the end, so that the next start
updates the completed tree again, fails (what it moves is gone) and is killed
while it undoes itself, or before.
Enough kills must leave a journal that tells what the run made and wrote.

usage: kill-test.py UPDATER_EXE BOXSPY_EXE TREESNAP_EXE WORK_DIR [KILLS]
The random delays come from KILL_TEST_SEED when it is set (it is printed).
"""
import glob
import os
import random
import re
import shutil
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
wine = os.path.join(here, "..", "run-wine.sh")
updater, boxspy, treesnap, work = (os.path.abspath(p) for p in sys.argv[1:5])
kills = int(sys.argv[5]) if len(sys.argv) > 5 else 50
seed = int(os.environ.get("KILL_TEST_SEED", time.time_ns() % 1000000))
root = os.environ.get("UPDATER_WINE_ROOT", os.path.join(here, "..", "..", "build", "wine"))
# Under Wine every run counts as elevated: the undo store is the machine's.
journals = os.path.join(os.path.abspath(root), "prefix", "drive_c", "ProgramData", "Updater*")
env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
pristine = os.path.join(work, "pristine")
box = os.path.join(work, "box")

SCRIPT = r"""[UPDATER]
NAME=Kill test
ROLLBACK=YES
PROC=Ask,Copy,Move,Delete,Shell,Attr,Make,Copy2
[Ask]
MODE=MSGBOX
FLAG=
TYPE=QUESTION
TEXT=Update?
ISABORT=0,1
[Copy]
MODE=COPY
FROM=<Src>\new\data
TO=<Src>\app\data
[Move]
MODE=MOVE
FROM=<Src>\app\mv
TO=<Src>\app\moved
[Delete]
MODE=DELETE
FILE=<Src>\app\old
[Shell]
MODE=SHELL
FUNC=COPY
FROM=<Src>\new\extra
TO=<Src>\app\extra
[Attr]
MODE=ATTR
FILE=<Src>\app\data\d0\*.txt
ARG=1
[Make]
MODE=MAKEDIR
DIR=<Src>\app\made\a\b
[Copy2]
MODE=COPY
FROM=<Src>\new\top.txt
TO=<Src>\app\top.txt
"""


def write(path, data, mtime, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)
    os.utime(path, (mtime, mtime))


def make_pristine():
    shutil.rmtree(work, ignore_errors=True)
    old, new = 1500000000, 1600000000
    for d in range(4):
        for n in range(60):
            name = "d%d/f%03d.txt" % (d, n)
            write(os.path.join(pristine, "app", "data", name), b"old %s\n" % name.encode() * 8,
                  old + n, 0o444 if n % 17 == 0 else None)
            write(os.path.join(pristine, "new", "data", name), b"new %s\n" % name.encode(), new)
        for n in range(8):
            name = "d%d/added%02d.txt" % (d, n)
            write(os.path.join(pristine, "new", "data", name), b"added\n", new)
    for n in range(40):
        write(os.path.join(pristine, "app", "mv", "m%03d.txt" % n), b"move me %d\n" % n, old)
        write(os.path.join(pristine, "app", "old", "sub", "o%03d.txt" % n), b"old %d\n" % n, old,
              0o444 if n % 13 == 0 else None)
        write(os.path.join(pristine, "app", "extra", "e%03d.txt" % n), b"extra 1 %d\n" % n, old)
        write(os.path.join(pristine, "new", "extra", "e%03d.txt" % n), b"extra 2 %d\n" % n, new)
    write(os.path.join(pristine, "app", "top.txt"), b"top 1\n", old)
    write(os.path.join(pristine, "new", "top.txt"), b"top 2\n", new)
    # Folder times last: writing into a folder changes them.
    for folder, _, _ in os.walk(os.path.join(pristine, "app"), topdown=False):
        os.utime(folder, (old, old))
    shutil.copy(updater, os.path.join(pristine, "updater.exe"))
    with open(os.path.join(pristine, "updater.ini"), "w", newline="\r\n") as f:
        f.write(SCRIPT)


def fresh_box():
    shutil.rmtree(box, ignore_errors=True)
    # Times, modes and extended attributes (where Wine keeps hidden and system) kept.
    subprocess.run(["cp", "-a", pristine, box], check=True)


def windows(path):
    return "Z:" + path.replace("/", "\\")


def snapshot():
    command = [wine, treesnap, windows(os.path.join(box, "app"))]
    return subprocess.run(command, check=True, capture_output=True, env=env).stdout


def without_times(snapshot_text):
    """A completed update gives what it makes times of their own."""
    return re.sub(rb" created [0-9A-F]+ written [0-9A-F]+", b"", snapshot_text)


def next_start(answer):
    """The next start under the box spy; its output, which must show a clean end."""
    out = subprocess.run([wine, boxspy, "--answer", str(answer), "--timeout", "60000",
                          windows(os.path.join(box, "updater.exe"))],
                         capture_output=True, env=env, cwd=box).stdout.decode("utf-8", "replace")
    if "exit code: 0" not in out:
        sys.exit("the start after a kill did not end cleanly:\n" + out)
    return out


def leftovers():
    return [p for p in glob.glob(os.path.join(journals, "**"), recursive=True)
            if not os.path.isdir(p)]


def tells_what_was_made():
    """A journal left holds records of what the run made or wrote."""
    for path in leftovers():
        if path.endswith(".jnl"):
            with open(path, "rb") as f:
                if re.search(rb"(^|\n)[NWF]\t", f.read()):
                    return True
    return False


def diff(a, b):
    a, b = a.decode("utf-8", "replace").splitlines(), b.decode("utf-8", "replace").splitlines()
    gone = [x for x in a if x not in b][:5]
    new = [x for x in b if x not in a][:5]
    return "\n".join(["  expected: " + x for x in gone] + ["  found:    " + x for x in new])


def whole_run():
    """Seconds a run started as the killed ones are takes to its end."""
    fresh_box()
    start = time.perf_counter()
    subprocess.run([wine, os.path.join(box, "updater.exe")], cwd=box, env=env, check=True)
    return time.perf_counter() - start


# Journals of earlier runs of this test would be replayed by its first start.
for folder in glob.glob(journals):
    shutil.rmtree(folder, ignore_errors=True)
make_pristine()
fresh_box()
before = snapshot()
length = sorted(whole_run() for _ in range(3))[1]
completed = without_times(snapshot())
if completed == without_times(before):
    sys.exit("the update changed nothing")
print("one whole run takes %.2f s; kills at random in 0..%.2f s; seed %d"
      % (length, length * 1.2, seed))
rng = random.Random(seed)
outcomes = {"before": 0, "completed": 0}
interrupted = 0
told = 0
for k in range(kills):
    fresh_box()
    delay = rng.uniform(length, length * 1.3) if k % 8 == 7 else rng.uniform(0, length * 1.2)
    process = subprocess.Popen([wine, os.path.join(box, "updater.exe")], cwd=box, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    process.kill()
    process.wait()
    # A journal left behind: the kill came while the update was changing things.
    interrupted += 1 if leftovers() else 0
    told += 1 if tells_what_was_made() else 0
    if k % 4 == 3:
        # Now and then the next start is killed too, undoing or updating again.
        process = subprocess.Popen([wine, os.path.join(box, "updater.exe")], cwd=box, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0, length * 1.2))
        process.kill()
        process.wait()
    out = next_start(7)  # No: nothing runs after the undo
    # Any other box (message 18 or 19) says that the undo could not finish.
    if re.findall(r"^box \d+: .*\n {4}(.*)$", out, re.M) != ["Update?"]:
        sys.exit("kill %d after %.3f s%s: the start after it did not come straight to its "
                 "question:\n%s" % (k, delay, " (and the next start killed)" if k % 4 == 3 else "",
                                    out))
    now = snapshot()
    if now == before:
        outcomes["before"] += 1
    elif without_times(now) == completed:
        outcomes["completed"] += 1
    else:
        sys.exit("kill %d after %.3f s%s: the tree is neither as before nor updated:\n"
                 "against before:\n%s\nagainst updated (times aside):\n%s"
                 % (k, delay, " (and the next start killed)" if k % 4 == 3 else "",
                    diff(before, now), diff(completed, without_times(now))))
    if leftovers():
        sys.exit("kill %d: the journal or set-aside files are left: %s" % (k, leftovers()[:3]))
print("%d kills: %d during the update (%d with records of what it made), %d as before, "
      "%d completed" % (kills, interrupted, told, outcomes["before"], outcomes["completed"]))
# Kills must land inside the update, not only before or after it.
if interrupted < kills // 4 or told < kills // 8:
    sys.exit("too few kills came while the update changed things")
shutil.rmtree(work, ignore_errors=True)
