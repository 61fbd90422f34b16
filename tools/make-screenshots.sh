#!/bin/sh
# Takes the pictures in docs/screenshots/ from the real program: each box is
# shown by updater.exe under Wine on a private Xvfb display, captured as a
# PNG, then answered with Return.
#
#   tools/make-screenshots.sh [output folder]
#
# UPDATER_EXE names the program to run (default build/win/updater.exe, built
# with "make build" when missing). The Wine prefix is a private one
# (UPDATER_WINE_ROOT, default build/wine-shots), so that the wineserver of
# the tests is never touched. Missing Debian packages are installed (as root).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs/screenshots}
exe=${UPDATER_EXE:-$top/build/win/updater.exe}
export UPDATER_WINE_ROOT="${UPDATER_WINE_ROOT:-$top/build/wine-shots}"
caption="Example Update"  # every script below uses it; the boxes are found by it
wine_run="$top/tests/run-wine.sh"

# --- What is needed -------------------------------------------------------
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
need=""
for pkg in xvfb x11-utils imagemagick xdotool fonts-wine; do
    have "$pkg" || need="$need $pkg"
done
have fonts-ipafont-gothic || have fonts-noto-cjk || need="$need fonts-ipafont-gothic"
if [ -n "$need" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages:$need (run as root to install them)" >&2
        exit 1
    fi
    echo "installing:$need"
    apt-get update -qq
    # shellcheck disable=SC2086  # one word per package
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $need >/dev/null
fi
command -v wine >/dev/null || sh "$top/tools/install-deps.sh"
if [ ! -f "$exe" ]; then
    make -C "$top" build
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")

# The Japanese font Wine is to use for the boxes, by its family name.
if fc-list | grep -q "IPAPGothic"; then
    font="IPAPGothic"
elif fc-list | grep -q "Noto Sans CJK JP"; then
    font="Noto Sans CJK JP"
else
    echo "no Japanese font found by fontconfig" >&2
    exit 1
fi

# --- Display and Wine -----------------------------------------------------
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    sh "$top/tests/wine-setup.sh" stop  # our own prefix's wineserver only
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=":$(cat "$work/display")"
export DISPLAY
echo "display $DISPLAY, Wine prefix $UPDATER_WINE_ROOT/prefix"

sh "$top/tests/wine-setup.sh"
prefix="$UPDATER_WINE_ROOT/prefix"
# Wine finds its own fonts (captions, the close button) only in the prefix.
for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
    [ -f "$prefix/drive_c/windows/Fonts/$f" ] || cp "/usr/share/wine/fonts/$f" "$prefix/drive_c/windows/Fonts/"
done
reg_add() { "$wine_run" reg add "$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null 2>&1; }
# The Japanese dialog fonts do not exist here: name the installed one instead.
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
reg_add "$substitutes" "MS UI Gothic" "$font"
reg_add "$substitutes" "MS Shell Dlg" "$font"
# Without a window manager, Wine draws the title bars itself.
reg_add 'HKCU\Software\Wine\X11 Driver' Decorated N

# --- One box --------------------------------------------------------------
# The program's folder is C:\Update inside the prefix, so that the paths in
# the boxes look like those on a user's machine.
box=$prefix/drive_c/Update

# Writes the script (UTF-8 on stdin) as code page 932 with CRLF line ends.
write_script() {
    sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$box/updater.ini"
}

# Finds the mapped top-level window with the caption; prints its id.
find_box() {
    for id in $(xwininfo -root -tree | grep -F "\"$caption\": (\"updater.exe\"" | awk '{print $1}'); do
        if xwininfo -id "$id" | grep -q "IsViewable"; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# shoot NAME: runs the script in $box, captures its first box as NAME.png,
# answers it with Return and waits for the program to end.
shoot() {
    name=$1
    (cd "$box" && exec "$wine_run" "$box/updater.exe") >"$work/$name.log" 2>&1 &
    pid=$!
    id=""
    for _ in $(seq 300); do
        id=$(find_box) && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$id" ]; then
        echo "$name: no box appeared" >&2
        cat "$work/$name.log" >&2
        kill "$pid" 2>/dev/null
        return 1
    fi
    sleep 1  # let it paint
    import -window "$id" -strip "$out/$name.png"  # no dates: same picture, same file
    xdotool windowfocus "$id" key Return 2>/dev/null || true
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$out/$name.png: $(identify -format '%wx%h' "$out/$name.png")"
}

# built KIND: whether the program has the procedure kind (each kind names
# its record "KIND_INFO" in its out-of-memory message, so the text is in the
# program exactly when the kind is).
built() {
    if grep -q "$1_INFO" "$exe"; then
        return 0
    fi
    echo "skipped: this updater.exe has no $1 procedure yet" >&2
    return 1
}

# prepare: a fresh program folder with a copy of the program.
prepare() {
    rm -rf "$box"
    mkdir -p "$box"
    cp "$exe" "$box/updater.exe"
}

# An error box: COPY of a file that is not there (message 8).
shot_error_copy() {
    prepare
    write_script <<'EOF'
[UPDATER]
NAME=Example Update
PROC=CopyProgram

[DEFINE]
<App>=C:\Program Files\Example

[CopyProgram]
MODE=COPY
FROM=<Src>\app.exe
TO=<App>\app.exe
EOF
    shoot error-copy
    rm -rf "$prefix/drive_c/Program Files/Example"  # the folder COPY made
}

# A question: MSGBOX with TYPE=QUESTION; No would end the run.
shot_question() {
    prepare
    write_script <<'EOF'
[UPDATER]
NAME=Example Update
PROC=Ask

[Ask]
MODE=MSGBOX
FLAG=
TYPE=QUESTION
TEXT=Example を新しいバージョンに更新します。%n更新を始めてもよろしいですか？
ISABORT=0,1
EOF
    shoot question
}

# The CRC report of a file holding the nine bytes 123456789 (CRC-32 0xCBF43926).
shot_crc_report() {
    prepare
    printf '123456789' >"$box/app.exe"
    write_script <<'EOF'
[UPDATER]
NAME=Example Update
PROC=Measure

[Measure]
MODE=CRC
FILE=<Src>\app.exe
TYPE=AND
CRC=
EOF
    shoot crc-report
}

# The progress window of PROGRESS=YES while a COPY waits (RETRY) for its last
# file, which the test helper helper_holder keeps open until it is told to
# stop: the bar stands where the files before it brought it.
shot_progress() {
    holder=$top/build/wintest/tests/win/helper_holder.exe
    if [ ! -f "$holder" ]; then
        make -C "$top" wintest-configure >/dev/null
        cmake --build "$top/build/wintest" --target helper_holder >/dev/null
    fi
    prepare
    cp "$holder" "$box/holder.exe"
    mkdir -p "$box/new/data"
    for n in $(seq 1 40); do head -c 65536 /dev/zero >"$box/new/data/file$n.dat"; done
    head -c 65536 /dev/zero >"$box/new/manual.pdf"
    write_script <<'EOF'
[UPDATER]
NAME=Example Update
PROGRESS=YES
RETRY=60
LOG=<Src>\update.log
PROC=Scanner,CopyFiles

[DEFINE]
<App>=C:\Program Files\Example

[Scanner]
MODE=LAUNCH
FILE=<Src>\holder.exe
PARAM=<Src>\new\manual.pdf
ISWAIT=0

[CopyFiles]
MODE=COPY
FROM=<Src>\new\data, <Src>\new\manual.pdf
TO=<App>\data, <App>\manual.pdf
EOF
    (cd "$box" && exec "$wine_run" "$box/updater.exe") >"$work/progress.log" 2>&1 &
    pid=$!
    for _ in $(seq 300); do
        grep -q "waiting for" "$box/update.log" 2>/dev/null && break
        sleep 0.1
    done
    id=$(find_box) || { echo "progress: no window appeared" >&2; kill "$pid"; return 1; }
    sleep 1  # let it paint
    import -window "$id" -strip "$out/progress.png"
    touch "$box/holder.exe.stop"
    wait "$pid" 2>/dev/null || true
    rm -rf "$prefix/drive_c/Program Files/Example"
    echo "$out/progress.png: $(identify -format '%wx%h' "$out/progress.png")"
}

mkdir -p "$out"
shot_error_copy
if built MSGBOX; then shot_question; fi
if built CRC; then shot_crc_report; fi
shot_progress
rm -rf "$box"
