#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix, with the
# Japanese locale so that the ANSI code page is 932.
here=$(cd "$(dirname "$0")" && pwd)
root=${UPDATER_WINE_ROOT:-$here/../build/wine}
case $root in /*) ;; *) root=$PWD/$root ;; esac
export WINEPREFIX="$root/prefix"
export LOCPATH="$root/locale"
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
