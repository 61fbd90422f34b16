#!/bin/sh
# Folder trees that hold a link to a folder outside them, for the walker's
# tests (a Windows program under Wine cannot make such links itself).
set -e
root=$1
rm -rf "$root"
for tree in delete move; do
    mkdir -p "$root/$tree/outside" "$root/$tree/tree"
    echo keep > "$root/$tree/outside/keep.txt"
    echo junk > "$root/$tree/tree/junk.txt"
    ln -s "$root/$tree/outside" "$root/$tree/tree/link"
done
