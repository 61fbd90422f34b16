// CRC-32 by carry-less multiplication. The only unit built with -msse4.1
// -mpclmul: it includes nothing else, so that no inline function from a
// header is compiled here with those instructions and then picked by the
// linker for the rest of the program. Called only when the processor has
// them and the system saves the SSE registers.
#include <cstdint>
#include <immintrin.h>

namespace {

// x^n mod P for the polynomial's lower terms in normal order (bit k is x^k),
// given back bit-reflected like the data, times x: the carry-less product of
// two reflected values comes out one place short, and this makes it up.
constexpr uint64_t PowerOfX(int n) {
    uint32_t remainder = 1;
    for (int i = 0; i < n; ++i)
        remainder = (remainder << 1) ^ ((remainder & 0x80000000u) ? 0x04C11DB7u : 0);
    uint32_t reflected = 0;
    for (int k = 0; k < 32; ++k)
        if ((remainder >> k) & 1)
            reflected |= 1u << (31 - k);
    return uint64_t{reflected} << 1;
}

// The lanes step along 512 bits; at the end they are folded into one, 128 bits
// at a time. The low half multiplies a value's first eight bytes, the high
// half its last eight.
constexpr uint64_t kBy512First = PowerOfX(512 + 32);
constexpr uint64_t kBy512Last = PowerOfX(512 - 32);
constexpr uint64_t kBy128First = PowerOfX(128 + 32);
constexpr uint64_t kBy128Last = PowerOfX(128 - 32);

// Moves a 128-bit value d bits further on, where it lands on (is XORed into)
// next: its first eight bytes (the higher powers) are multiplied by
// x^(d+32) mod P, its last eight by x^(d-32) mod P. Each product has fewer
// than 128 bits, so it needs no further reduction here.
inline __m128i Fold(__m128i value, __m128i powers, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(value, powers, 0x00),
                                       _mm_clmulepi64_si128(value, powers, 0x11)),
                         next);
}

}  // namespace

// Folds the bytes from begin to end (16-byte aligned, a multiple of 64 bytes
// and at least 64) into 16 bytes with the same CRC-32, stored at folded.
// crc is the running register (already inverted); it is XORed into the first
// four bytes, so folded is to be continued from a register of zero.
// On 32-bit Windows the caller's stack may be aligned to 4 bytes only, and
// spilled SSE registers need 16.
__attribute__((force_align_arg_pointer)) void Crc32FoldClmul(uint32_t crc, const uint8_t* begin,
                                                             const uint8_t* end, uint8_t* folded) {
    const __m128i by512 = _mm_set_epi64x(kBy512Last, kBy512First);
    const __m128i by128 = _mm_set_epi64x(kBy128Last, kBy128First);
    const __m128i* p = reinterpret_cast<const __m128i*>(begin);
    const __m128i* const last = reinterpret_cast<const __m128i*>(end);
    __m128i x0 = _mm_xor_si128(_mm_load_si128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = _mm_load_si128(p + 1);
    __m128i x2 = _mm_load_si128(p + 2);
    __m128i x3 = _mm_load_si128(p + 3);
    for (p += 4; p != last; p += 4) {
        // Asking for memory 4 KiB ahead keeps more reads in flight than the
        // processor starts by itself: a third faster on a buffer in RAM.
        // Past the end it is dropped; it never faults.
        _mm_prefetch(reinterpret_cast<const char*>(p + 256), _MM_HINT_T0);
        x0 = Fold(x0, by512, _mm_load_si128(p));
        x1 = Fold(x1, by512, _mm_load_si128(p + 1));
        x2 = Fold(x2, by512, _mm_load_si128(p + 2));
        x3 = Fold(x3, by512, _mm_load_si128(p + 3));
    }
    x1 = Fold(x0, by128, x1);
    x2 = Fold(x1, by128, x2);
    x3 = Fold(x2, by128, x3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x3);
}
