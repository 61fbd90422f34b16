#!/bin/sh
# Prepares the Wine prefix and the Japanese locale the tests run in, and
# starts a persistent wineserver so that each program starts quickly.
# "wine-setup.sh stop" ends that wineserver again.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=${UPDATER_WINE_ROOT:-$here/../build/wine}
mkdir -p "$root"
root=$(cd "$root" && pwd)
export WINEPREFIX="$root/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$1" = stop ]; then
    wineserver -k 2>/dev/null || true
    exit 0
fi
if [ ! -f "$root/locale/ja_JP.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$root/locale"
    localedef -i ja_JP -f UTF-8 "$root/locale/ja_JP.UTF-8" 2>/dev/null || \
        test -f "$root/locale/ja_JP.UTF-8/LC_CTYPE"
fi
export LOCPATH="$root/locale" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
wineserver -p 2>/dev/null || true  # already running is fine
# Tests and benches that show windows run on an Xvfb display without a window
# manager: Wine would wait 2 s for one to let each closed window go.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
# Start the prefix's services now, detached from our output: started later by
# a test, they would keep that test's output pipe open for as long as the
# persistent wineserver lives, and the test runner would wait for it.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
