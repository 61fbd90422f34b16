#!/bin/sh
# Drives of their own for safety_tests and rollback_tests:
#   DIR/drive      drives Q: and R: of the test prefix, both linked here: the
#                  root of a current drive the tests own, and two spellings of
#                  one folder;
#   DIR/full-disk  a 2 MiB tmpfs standing for a full disk;
#   DIR/volume     a 16 MiB tmpfs as drive V:, a volume other than C:.
# Where this user may not mount a tmpfs, the cases that need one skip and
# say so.
#
#   drives-fixture.sh setup|cleanup DIR
set -e
mode=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
# The prefix tests/run-wine.sh runs the tests in.
root=${UPDATER_WINE_ROOT:-$here/../../build/wine}
case $root in /*) ;; *) root=$PWD/$root ;; esac
devices=$root/prefix/dosdevices

for mounted in "$dir/full-disk" "$dir/volume"; do
    if mountpoint -q "$mounted" 2>/dev/null; then
        umount "$mounted"
    fi
done
rm -f "$devices/q:" "$devices/r:" "$devices/v:"
rm -rf "$dir"
[ "$mode" = cleanup ] && exit 0

if [ ! -d "$devices" ]; then
    echo "no Wine prefix at $root/prefix: run tests/wine-setup.sh first" >&2
    exit 1
fi
mkdir -p "$dir/drive" "$dir/full-disk" "$dir/volume"
ln -s "$dir/drive" "$devices/q:"
ln -s "$dir/drive" "$devices/r:"
if ! mount -t tmpfs -o size=2m tmpfs "$dir/full-disk" 2>/dev/null; then
    echo "cannot mount a tmpfs here: the full-disk cases will skip" >&2
fi
if mount -t tmpfs -o size=16m tmpfs "$dir/volume" 2>/dev/null; then
    ln -s "$dir/volume" "$devices/v:"
else
    echo "cannot mount a tmpfs here: the other-volume case will skip" >&2
fi
