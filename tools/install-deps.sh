#!/bin/sh
# Installs what the build and the tests need on Debian 12, as root; does
# nothing when everything is there already.
set -e
need=""
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for pkg in cmake make g++ googletest g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 \
           wine64 xvfb locales zip unzip clang libclang-rt-14-dev; do
    have "$pkg" || need="$need $pkg"
done
[ -z "$need" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$need (run as root to install them)" >&2
    exit 1
fi
case " $need " in *:i386*) dpkg --add-architecture i386 ;; esac
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $need >/dev/null
