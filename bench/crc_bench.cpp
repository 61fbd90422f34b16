// CRC-32 measurements. Never part of the product; built by bench/run-crc-bench.sh.
//
//   crc_bench [repetitions]
//     Crc32Update, its table routine alone, zlib's crc32 and a memcpy, each on
//     the same 256 MiB buffer, in one run.
//   crc_bench file ours|zlib|read PATH BLOCK_KIB...
//     Streams a file in blocks of each size in turn through Crc32Update or
//     zlib's crc32, or only reads it, printing the value and the time of each;
//     with one block size and zlib it is the console program the updater is
//     compared with.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

uint32_t Zlib(uint32_t crc, const unsigned char* bytes, size_t length) {
    return static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(length)));
}

int Buffer(int repetitions) {
    const size_t size = size_t{256} << 20;
    std::vector<unsigned char> buffer(size), copy(size);
    uint32_t x = 2463534242u;
    for (unsigned char& b : buffer) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    memcpy(copy.data(), buffer.data(), size);  // both buffers mapped before timing

    const char* const names[] = {"routine", "table", "zlib", "memcpy"};
    const int kinds = 4;
    double best[kinds] = {1e9, 1e9, 1e9, 1e9};
    for (int rep = 0; rep < repetitions; ++rep) {
        // Each in turn goes first, so that none always meets a warm cache.
        uint32_t values[3] = {};
        double took[kinds] = {};
        for (int turn = 0; turn < kinds; ++turn) {
            const int kind = (turn + rep) % kinds;
            const double start = Seconds();
            if (kind == 0)
                values[0] = Crc32(buffer.data(), size);
            else if (kind == 1)
                values[1] = Crc32UpdateByTable(0, buffer.data(), size);
            else if (kind == 2)
                values[2] = Zlib(0, buffer.data(), size);
            else
                memcpy(copy.data(), buffer.data(), size);
            took[kind] = Seconds() - start;
        }
        if (values[0] != values[2] || values[1] != values[2]) {
            printf("MISMATCH: routine 0x%08X table 0x%08X zlib 0x%08X\n", values[0], values[1],
                   values[2]);
            return 1;
        }
        printf("rep %d:", rep + 1);
        for (int kind = 0; kind < kinds; ++kind) {
            printf(" %s %.3f s", names[kind], took[kind]);
            best[kind] = std::min(best[kind], took[kind]);
        }
        printf("\n");
    }
    const double mib = static_cast<double>(size) / (1 << 20);
    printf("best of %d on 256 MiB (folding %s):", repetitions, Crc32Folds() ? "on" : "off");
    for (int kind = 0; kind < kinds; ++kind)
        printf(" %s %.3f s (%.0f MiB/s)", names[kind], best[kind], mib / best[kind]);
    printf("\nroutine: %.1f times as fast as zlib, %.2f times the memcpy time\n", best[2] / best[0],
           best[0] / best[3]);
    return 0;
}

// Reads the whole file in blocks as the updater does; false when it cannot.
enum class Use { kOurs, kZlib, kReadOnly };

uint32_t Continue(Use use, uint32_t crc, const unsigned char* bytes, size_t length) {
    if (use == Use::kOurs)
        return Crc32Update(crc, bytes, length);
    if (use == Use::kZlib)
        return Zlib(crc, bytes, length);
    return crc ^ bytes[length - 1];
}

bool StreamFile(const char* path, size_t block_size, Use use, uint32_t* crc) {
    std::vector<unsigned char> block(block_size);
    uint32_t value = 0;
#ifdef _WIN32
    HANDLE file =
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD read = 0;
    while (ReadFile(file, block.data(), static_cast<DWORD>(block_size), &read, nullptr) && read > 0)
        value = Continue(use, value, block.data(), read);
    CloseHandle(file);
#else
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return false;
    size_t read = 0;
    while ((read = fread(block.data(), 1, block_size, file)) > 0)
        value = Continue(use, value, block.data(), read);
    fclose(file);
#endif
    *crc = value;
    return true;
}

int File(int argc, char** argv) {
    const Use use = strcmp(argv[2], "zlib") == 0   ? Use::kZlib
                    : strcmp(argv[2], "read") == 0 ? Use::kReadOnly
                                                   : Use::kOurs;
    for (int i = 4; i < argc; ++i) {
        const size_t block_size = static_cast<size_t>(atoi(argv[i])) << 10;
        uint32_t crc = 0;
        const double start = Seconds();
        if (block_size == 0 || !StreamFile(argv[3], block_size, use, &crc)) {
            printf("cannot read %s\n", argv[3]);
            return 1;
        }
        printf("%s, blocks of %s KiB: 0x%08X in %.3f s\n", argv[2], argv[i], crc,
               Seconds() - start);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && strcmp(argv[1], "file") == 0)
        return File(argc, argv);
    return Buffer(argc > 1 ? atoi(argv[1]) : 3);
}
