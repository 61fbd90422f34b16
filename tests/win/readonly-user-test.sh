#!/bin/sh
# Read-only targets as Windows treats them. As root, Wine lets CopyFileA
# overwrite a read-only file, so an unprivileged user with a Wine prefix of
# its own (made once, kept under DIR) runs updater.exe under boxspy against
# targets it may read but not write. With ROLLBACK=YES in the environment
# the script turns its undo journal on: the outcome must be the same, and
# the journal must leave nothing behind.
#
#   readonly-user-test.sh UPDATER_EXE BOXSPY_EXE DIR
set -e
exe=$1
spy=$2
dir=$3
user=updater-tester
here=$(cd "$(dirname "$0")" && pwd)
# The locale the project's prefix uses (tests/wine-setup.sh makes it).
root=${UPDATER_WINE_ROOT:-$here/../../build/wine}
case $root in /*) ;; *) root=$PWD/$root ;; esac

if [ "$(id -u)" != 0 ]; then
    echo "running as another user needs root" >&2
    exit 1
fi
id -u "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
mkdir -p "$dir"
chown "$user" "$dir"

as_user() {
    runuser -u "$user" -- env -u DISPLAY HOME="$home" WINEPREFIX="$dir/prefix" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" LOCPATH="$root/locale" LC_ALL=ja_JP.UTF-8 \
        LANG=ja_JP.UTF-8 "$@"
}
# Only this user's wineserver, of this prefix.
trap 'as_user wineserver -k 2>/dev/null || true' EXIT
if [ ! -f "$dir/prefix/system.reg" ]; then
    as_user wineboot -i </dev/null >/dev/null 2>&1
    as_user wineserver -w
fi
# Start the prefix's services before the runs, so that what they print on a
# first start (even a crash of one of them) is not taken for the program's.
as_user wineserver -p 2>/dev/null || true
as_user wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

box=$dir/box
windows_box=$(echo "Z:$box" | tr / '\\')
cp "$spy" "$dir/boxspy.exe"
failed=0

# check NAME FROM TO PROTECTED...: copies FROM to TO (paths in the box) and
# expects message 8 naming them, the PROTECTED files exactly as they were, and
# no later procedure run.
check() {
    name=$1 from=$2 to=$3
    shift 3
    cat > "$box/updater.ini" <<EOF
[UPDATER]
NAME=N
${ROLLBACK:+ROLLBACK=$ROLLBACK}
PROC=C,AFTER
[C]
MODE=COPY
FROM=<Src>\\$from
TO=<Src>\\$to
[AFTER]
MODE=MAKEDIR
DIR=<Src>\\after
EOF
    chown "$user" "$box/updater.ini"
    (cd "$box" && stat -c '%n %s %Y %a' "$@" && cat "$@") > "$dir/before"
    # Wine's own messages go elsewhere: only the boxes and the exit code count.
    as_user wine "$dir/boxspy.exe" --timeout 120000 "$box/updater.exe" > "$dir/shown" \
        2> "$dir/wine-messages" || true
    printf '%s\n' 'box 1: caption="N" flags=0x00010010' \
        '    ファイルのコピーに失敗しました。' '    ' \
        "    転送元：\"$windows_box\\$from\"" "    転送先：\"$windows_box\\$to\"" \
        'exit code: 0' > "$dir/expected"
    (cd "$box" && stat -c '%n %s %Y %a' "$@" && cat "$@") > "$dir/after"
    if ! diff -u "$dir/expected" "$dir/shown"; then
        echo "$name: not the one failure box expected" >&2
        failed=1
    fi
    if ! diff -u "$dir/before" "$dir/after"; then
        echo "$name: a read-only target was changed" >&2
        failed=1
    fi
    if [ -e "$box/after" ]; then
        echo "$name: the run went on after the failure" >&2
        failed=1
    fi
    if [ -n "$(find "$dir/prefix/drive_c/ProgramData" -path '*/Updater*/*' -type f 2>/dev/null)" ]; then
        echo "$name: the undo journal left files behind" >&2
        failed=1
    fi
}

fill() {
    rm -rf "$box"
    mkdir -p "$box/src/sub" "$box/dst/sub"
    cp "$exe" "$box/updater.exe"
    printf 'new app' > "$box/new.txt"
    printf 'old app' > "$box/dst/app.txt"
    printf 'top' > "$box/src/top.txt"
    printf 'new low' > "$box/src/sub/low.txt"
    printf 'old low' > "$box/dst/sub/low.txt"
    chown -R "$user" "$box"
    chmod 444 "$box/dst/app.txt" "$box/dst/sub/low.txt"
}

fill
check "one file" 'new.txt' 'dst\app.txt' dst/app.txt
fill
check "a file in a tree" 'src' 'dst' dst/sub/low.txt
exit $failed
