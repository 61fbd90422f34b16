#!/bin/sh
# Builds bench/crc_bench.cpp natively and for Windows (run under Wine) and
# compares our Crc32 with zlib's crc32; then measures the peak memory of a
# CRC run of the shipped updater.exe on a 1 GiB file under Wine.
# Not part of make test. Usage: bench/run-crc-bench.sh [repetitions]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/build/bench"
reps=${1:-7}
mkdir -p "$out"

# zlib for both sides, and GNU time for the memory measurement.
need=""
for pkg in zlib1g-dev libz-mingw-w64-dev time; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need="$need $pkg"
done
if [ -n "$need" ]; then
    if [ "$(id -u)" != 0 ]; then echo "missing packages:$need (run as root)" >&2; exit 1; fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $need >/dev/null
fi

# Our Crc32 is compiled as the product compiles it (-O2: the one hot loop).
g++ -std=c++17 -O2 -c "$root/src/text/crc32.cpp" -I"$root/src" -o "$out/crc32-native.o"
g++ -std=c++17 -O2 "$here/crc_bench.cpp" "$out/crc32-native.o" -I"$root/src" -lz -o "$out/crc_bench"
i686-w64-mingw32-g++-win32 -std=c++17 -O2 -c "$root/src/text/crc32.cpp" -I"$root/src" \
    -o "$out/crc32-win.o"
i686-w64-mingw32-g++-win32 -std=c++17 -O2 "$here/crc_bench.cpp" "$out/crc32-win.o" -I"$root/src" \
    /usr/i686-w64-mingw32/lib/libz.a -static -o "$out/crc_bench.exe"

# A Wine prefix of its own, so that the tests' shared wineserver is left alone.
export UPDATER_WINE_ROOT="$out/wine"
sh "$root/tests/wine-setup.sh"
trap 'sh "$root/tests/wine-setup.sh" stop' EXIT

echo "== native (x86-64), zlib $(dpkg-query -W -f='${Version}' zlib1g-dev)"
"$out/crc_bench" "$reps"
echo "== Windows i686 under Wine, zlib $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
"$root/tests/run-wine.sh" "$out/crc_bench.exe" "$reps"

# Peak memory of the updater process: GNU time's maximum resident set size of
# the wine process that runs updater.exe (the persistent wineserver is not its
# child). A CRC check with a wrong value reads the whole file and shows nothing.
exe=${UPDATER_EXE:-$root/build/win/updater.exe}
if [ ! -f "$exe" ]; then echo "no $exe: build it first (make build)" >&2; exit 1; fi
run="$out/run"
rm -rf "$run"
mkdir -p "$run"
cp "$exe" "$run/updater.exe"
head -c 1024 /dev/zero > "$run/small.bin"
head -c 1073741824 /dev/zero > "$run/big.bin"
for file in small.bin big.bin; do
    printf '[UPDATER]\r\nNAME=bench\r\nPROC=P\r\n[P]\r\nMODE=CRC\r\nFILE=<Src>\\%s\r\nTYPE=AND\r\nCRC=1\r\n' \
        "$file" > "$run/updater.ini"
    /usr/bin/time -f "%M KiB, %e s" -o "$out/rss" "$root/tests/run-wine.sh" "$run/updater.exe"
    echo "updater.exe CRC of $file ($(stat -c %s "$run/$file") bytes): peak RSS $(cat "$out/rss")"
done
rm -rf "$run"
