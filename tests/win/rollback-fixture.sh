#!/bin/sh
# A volume of its own for rollback_tests: a small tmpfs, drive V: of the test
# prefix, so that set-aside files cannot be renamed into the journal's
# folder on C:. The case that needs it skips (and says so) where this user
# may not mount one.
#
#   rollback-fixture.sh setup|cleanup DIR
set -e
mode=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
# The prefix tests/run-wine.sh runs the tests in.
root=${UPDATER_WINE_ROOT:-$here/../../build/wine}
case $root in /*) ;; *) root=$PWD/$root ;; esac
devices=$root/prefix/dosdevices

if mountpoint -q "$dir/volume" 2>/dev/null; then
    umount "$dir/volume"
fi
rm -f "$devices/v:"
rm -rf "$dir"
[ "$mode" = cleanup ] && exit 0

mkdir -p "$dir/volume"
if mount -t tmpfs -o size=16m tmpfs "$dir/volume" 2>/dev/null; then
    ln -s "$dir/volume" "$devices/v:"
else
    echo "cannot mount a tmpfs here: the other-volume case will skip" >&2
fi
