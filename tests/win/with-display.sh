#!/bin/sh
# Runs a command with a display of its own: a private Xvfb, gone afterwards.
#   with-display.sh command [arguments...]
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 600); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start" >&2
    kill "$xvfb" 2>/dev/null
    rm -rf "$work"
    exit 1
fi
DISPLAY=":$(cat "$work/display")" "$@"
rc=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$work"
exit $rc
