#!/bin/sh
# A CI job for an update script: runs the update under Wine as a user who
# answers Yes and as one who answers No, without showing a box, and checks
# the exit status and the installation after each run.
#
#   sh test-update.sh path/to/updater.exe
#
# Needs Wine (Debian and Ubuntu: apt-get install wine). WINE may name another
# command that runs a Windows program; the default is wine.
set -u
exe=${1:?usage: sh test-update.sh path/to/updater.exe}
here=$(cd "$(dirname "$0")" && pwd)
wine=${WINE:-wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# expect ANSWERS STATUS PROGRAM: a fresh copy of the example, updated with
# these answers, must end with this exit status and leave this first line
# in the installed sampleapp.exe.
expect() {
    run="$work/$1"
    mkdir -p "$run"
    cp -r "$here/updater.ini" "$here/new" "$here/installed" "$run/"
    cp "$exe" "$run/updater.exe"
    (cd "$run" && UPDATER_UNATTENDED=1 UPDATER_ANSWERS=$1 UPDATER_EXIT_STATUS=1 \
        UPDATER_LOG=update.log $wine updater.exe)
    status=$?
    program=$(head -n 1 "$run/installed/SampleApp/sampleapp.exe")
    if [ "$status" = "$2" ] && [ "$program" = "$3" ]; then
        echo "ok: $1: exit status $status, installed: $program"
        passed=$((passed + 1))
    else
        echo "FAILED: $1: exit status $status (expected $2), installed: $program (expected $3)"
        cat "$run/update.log"
        failed=$((failed + 1))
    fi
}

expect Yes 0 "SampleApp 2.0 (stand-in)"
expect No 2 "SampleApp 1.0 (stand-in)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
