#!/bin/sh
# Builds bench/crc_bench.cpp natively and for Windows (run under Wine), then:
# our Crc32 against zlib's crc32 and a memcpy on one 256 MiB buffer, natively
# and under Wine; a 1 GiB file streamed in blocks of several sizes under Wine;
# the shipped updater.exe's CRC check of that file against a console program
# streaming it through zlib, whole process against whole process, under the
# same warm Wine; and the updater's peak memory on 1 GiB and on 1 KiB.
# Not part of make test. Usage: bench/run-crc-bench.sh [repetitions]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/build/bench"
reps=${1:-3}
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

# Our Crc32 is compiled as the product compiles it: -O2, and only the folding
# unit with SSE4.1 and carry-less multiply.
build() {  # compiler, suffix, extra options of the bench program
    "$1" -std=c++17 -O2 -DWIN32_LEAN_AND_MEAN -c "$root/src/text/crc32.cpp" -I"$root/src" \
        -o "$out/crc32-$2.o"
    "$1" -std=c++17 -O2 -msse4.1 -mpclmul -c "$root/src/text/crc32_clmul.cpp" \
        -o "$out/crc32_clmul-$2.o"
    compiler=$1 suffix=$2
    shift 2
    "$compiler" -std=c++17 -O2 "$here/crc_bench.cpp" "$out/crc32-$suffix.o" \
        "$out/crc32_clmul-$suffix.o" -I"$root/src" "$@"
}
build g++ native -lz -o "$out/crc_bench"
build i686-w64-mingw32-g++-win32 win /usr/i686-w64-mingw32/lib/libz.a -static \
    -o "$out/crc_bench.exe"

# A Wine prefix of its own, so that the tests' shared wineserver is left alone.
export UPDATER_WINE_ROOT="$out/wine"
sh "$root/tests/wine-setup.sh"
trap 'sh "$root/tests/wine-setup.sh" stop' EXIT

echo "== native (x86-64), zlib $(dpkg-query -W -f='${Version}' zlib1g-dev)"
"$out/crc_bench" "$reps"
echo "== Windows i686 under Wine, zlib $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
"$root/tests/run-wine.sh" "$out/crc_bench.exe" "$reps"

exe=${UPDATER_EXE:-$root/build/win/updater.exe}
if [ ! -f "$exe" ]; then echo "no $exe: build it first (make build)" >&2; exit 1; fi
run="$out/run"
rm -rf "$run"
mkdir -p "$run"
trap 'cd "$out"; rm -rf "$run"; sh "$root/tests/wine-setup.sh" stop' EXIT
cp "$exe" "$run/updater.exe"
cp "$out/crc_bench.exe" "$run/"
head -c 1024 /dev/urandom > "$run/small.bin"
head -c 1073741824 /dev/urandom > "$run/big.bin"
cd "$run"

# Only reading, then reading and our CRC, in blocks of each size: the time
# the CRC adds, and the block size at which reading is cheapest.
echo "== 1 GiB file (in the page cache) streamed in blocks under Wine, best of 3"
for round in 1 2 3; do
    for use in read ours; do
        "$root/tests/run-wine.sh" crc_bench.exe file "$use" big.bin 16 64 128 256 1024 4096 16384
    done
done | awk '{ key = $1 " " $4; t = $8; if (!(key in best) || t < best[key]) best[key] = t;
              if (!(key in seen)) { seen[key] = 1; order[++n] = key } }
            END { for (i = 1; i <= n; i++) printf "  %-6s blocks of %5s KiB: %.3f s\n",
                  substr(order[i], 1, index(order[i], " ") - 1),
                  substr(order[i], index(order[i], " ") + 1), best[order[i]] }'

# Whole processes under the same warm Wine: GNU time's elapsed time and
# maximum resident set size of the wine process that runs the program (the
# persistent wineserver is not its child). A CRC check with a wrong value
# reads the whole file and shows nothing.
script() {
    printf '[UPDATER]\r\nNAME=bench\r\nPROC=P\r\n[P]\r\nMODE=CRC\r\nFILE=<Src>\\%s\r\nTYPE=AND\r\nCRC=1\r\n' \
        "$1" > updater.ini
}
timed() {  # label, command...
    label=$1
    shift
    /usr/bin/time -f "%e s, peak RSS %M KiB" -o "$out/time" "$root/tests/run-wine.sh" "$@" \
        >/dev/null
    echo "  $label: $(cat "$out/time")"
}
script big.bin
"$root/tests/run-wine.sh" updater.exe  # warm: Wine's DLLs and the file
"$root/tests/run-wine.sh" crc_bench.exe file zlib big.bin 256 >/dev/null
echo "== CRC of the 1 GiB file, whole process under warm Wine"
for round in 1 2 3; do
    timed "updater.exe CRC procedure       " updater.exe
    timed "zlib console program (256 KiB)  " crc_bench.exe file zlib big.bin 256
done
echo "== updater.exe peak memory"
for file in small.bin big.bin; do
    script "$file"
    timed "CRC of $file ($(stat -c %s "$file") bytes)" updater.exe
done
