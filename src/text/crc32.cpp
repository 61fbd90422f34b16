#include "text/crc32.h"

#include <cpuid.h>

#ifdef _WIN32
#include <windows.h>
#endif

// In crc32_clmul.cpp, the one unit built with those instructions.
void Crc32FoldClmul(uint32_t crc, const uint8_t* begin, const uint8_t* end, uint8_t* folded);

namespace {

// Slicing by sixteen: table[k][b] is what byte b contributes when k more
// bytes follow it, so sixteen bytes are folded in by independent lookups and
// only the first four wait for the previous value. Eight tables were clearly
// slower than zlib's crc32; sixteen (16 KiB) are as fast or faster.
const int kSlices = 16;

struct Crc32Tables {
    uint32_t table[kSlices][256];

    Crc32Tables() {
        // The polynomial's terms below x^32, reflected: term x^k is bit 31 - k.
        static const int kTerms[] = {26, 23, 22, 16, 12, 11, 10, 8, 7, 5, 4, 2, 1, 0};
        uint32_t polynomial = 0;
        for (int term : kTerms) polynomial |= 1u << (31 - term);
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t crc = b;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? polynomial : 0);
            table[0][b] = crc;
        }
        for (int k = 1; k < kSlices; ++k) {
            for (int b = 0; b < 256; ++b) {
                const uint32_t previous = table[k - 1][b];
                table[k][b] = (previous >> 8) ^ table[0][previous & 0xFF];
            }
        }
    }
};

// Built on the first call and kept for the rest of the run.
const Crc32Tables& Tables() {
    static const Crc32Tables tables;
    return tables;
}

// About where both take the same time: folding costs a fixed chain of
// products at its end, and the table routine on up to 15 bytes before, 63
// after and the 16 folded ones.
const size_t kFoldMinimum = 256;

bool ProcessorFolds() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    // False on a processor without CPUID or without its leaf 1.
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    return (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSE4_1) != 0;
}

bool SystemSavesSse() {
#ifdef _WIN32
    // Windows reports SSE2 only where it has turned on saving the SSE
    // registers at each thread switch.
    return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
#else
    // Linux has saved them ever since it ran on processors that have them;
    // XSAVE and its OS flag concern the AVX registers, not these.
    return true;
#endif
}

}  // namespace

bool Crc32Folds() {
    // Decided once. The Windows program is built without thread-safe
    // statics; it is single-threaded, so the first call cannot race.
    static const bool folds = ProcessorFolds() && SystemSavesSse();
    return folds;
}

uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t length) {
    if (length < kFoldMinimum || !Crc32Folds())
        return Crc32UpdateByTable(crc, bytes, length);
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    // The table takes the bytes up to a 16-byte boundary and those after the
    // last whole 64 bytes; the folded 16 bytes continue from a zero register.
    const size_t head = (16 - reinterpret_cast<uintptr_t>(p) % 16) % 16;
    crc = Crc32UpdateByTable(crc, p, head);
    const size_t body = (length - head) / 64 * 64;
    uint8_t folded[16];
    Crc32FoldClmul(~crc, p + head, p + head + body, folded);
    crc = Crc32UpdateByTable(0xFFFFFFFF, folded, sizeof folded);
    return Crc32UpdateByTable(crc, p + head + body, length - head - body);
}

uint32_t Crc32UpdateByTable(uint32_t crc, const void* bytes, size_t length) {
    const uint32_t(&t)[kSlices][256] = Tables().table;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    crc = ~crc;
    for (; length >= 16; length -= 16, p += 16) {
        // Little-endian whatever the alignment; the other twelve bytes are
        // looked up straight from memory, which beats extracting them.
        const uint32_t first =
            (static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
             static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24) ^
            crc;
        crc = t[15][first & 0xFF] ^ t[14][(first >> 8) & 0xFF] ^ t[13][(first >> 16) & 0xFF] ^
              t[12][first >> 24] ^ t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^
              t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^
              t[1][p[14]] ^ t[0][p[15]];
    }
    for (; length > 0; --length, ++p) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
    return ~crc;
}
