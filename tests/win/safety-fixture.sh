#!/bin/sh
# Places of its own for safety_tests:
#   DIR/drive      drives Q: and R: of the test prefix, both linked here: the
#                  root of a current drive the tests own, and two spellings of
#                  one folder;
#   DIR/full-disk  a 2 MiB tmpfs standing for a full disk, when this user may
#                  mount one (the full-disk cases skip and say so otherwise).
#
#   safety-fixture.sh setup|cleanup DIR
set -e
mode=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
# The prefix tests/run-wine.sh runs the tests in.
root=${UPDATER_WINE_ROOT:-$here/../../build/wine}
case $root in /*) ;; *) root=$PWD/$root ;; esac
devices=$root/prefix/dosdevices
full=$dir/full-disk

if mountpoint -q "$full" 2>/dev/null; then
    umount "$full"
fi
rm -f "$devices/q:" "$devices/r:"
rm -rf "$dir"
[ "$mode" = cleanup ] && exit 0

if [ ! -d "$devices" ]; then
    echo "no Wine prefix at $root/prefix: run tests/wine-setup.sh first" >&2
    exit 1
fi
mkdir -p "$dir/drive" "$full"
ln -s "$dir/drive" "$devices/q:"
ln -s "$dir/drive" "$devices/r:"
if ! mount -t tmpfs -o size=2m tmpfs "$full" 2>/dev/null; then
    echo "cannot mount a tmpfs here: the full-disk cases will skip" >&2
fi
