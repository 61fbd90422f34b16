#!/bin/sh
# Folder trees that hold a link to a folder outside them, for the walker's
# tests, and a folder beside a link to it, for SHELL's (a Windows program
# under Wine cannot make such links itself).
set -e
root=$1
rm -rf "$root"
for tree in delete move; do
    mkdir -p "$root/$tree/outside" "$root/$tree/tree"
    echo keep > "$root/$tree/outside/keep.txt"
    echo junk > "$root/$tree/tree/junk.txt"
    ln -s "$root/$tree/outside" "$root/$tree/tree/link"
done
mkdir -p "$root/shell/d/sub"
echo in > "$root/shell/d/in.txt"
echo deep > "$root/shell/d/sub/deep.txt"
ln -s "$root/shell/d" "$root/shell/link"
