// Our Crc32 against zlib's crc32 on the same 256 MiB buffer, in one run.
// Never part of the product; built by bench/run-crc-bench.sh.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

#include "text/crc32.h"

namespace {

double Seconds() {
#ifdef _WIN32
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? atoi(argv[1]) : 7;
    const size_t size = size_t{256} << 20;
    std::vector<unsigned char> buffer(size);
    uint32_t x = 2463534242u;
    for (unsigned char& b : buffer) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }

    std::vector<double> ratios;
    double best_ours = 1e9, best_zlib = 1e9;
    for (int rep = 0; rep < repetitions; ++rep) {
        // Alternate which one runs first, so that neither always meets a warm cache.
        double ours = 0, theirs = 0;
        uint32_t a = 0, z = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const double start = Seconds();
            if ((turn + rep) % 2 == 0) {
                a = Crc32(buffer.data(), buffer.size());
                ours = Seconds() - start;
            } else {
                z = static_cast<uint32_t>(
                    crc32(0, buffer.data(), static_cast<uInt>(buffer.size())));
                theirs = Seconds() - start;
            }
        }
        if (a != z) {
            printf("MISMATCH: ours 0x%08X zlib 0x%08X\n", a, z);
            return 1;
        }
        printf("rep %d: ours %.3f s, zlib %.3f s, ratio %.3f\n", rep + 1, ours, theirs,
               ours / theirs);
        ratios.push_back(ours / theirs);
        best_ours = std::min(best_ours, ours);
        best_zlib = std::min(best_zlib, theirs);
    }
    std::sort(ratios.begin(), ratios.end());
    const double mib = static_cast<double>(size) / (1 << 20);
    printf("median ratio ours/zlib %.3f over %d repetitions (below 1: ours is faster)\n",
           ratios[ratios.size() / 2], repetitions);
    printf("best: ours %.0f MiB/s, zlib %.0f MiB/s\n", mib / best_ours, mib / best_zlib);
    return 0;
}
