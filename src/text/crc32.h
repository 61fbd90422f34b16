// CRC-32 of ISO-HDLC / IEEE 802.3 (the one of zlib and PNG): reflected
// polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a CRC over more bytes: crc is the value of everything before
// (0 before the first byte), and the result is the value including bytes.
// So Crc32Update(Crc32Update(0, a), b) is the CRC of a followed by b.
// Where Crc32Folds(), long inputs are folded by carry-less multiplication;
// otherwise, and for short inputs, it is Crc32UpdateByTable.
uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t length);

// The table routine alone, the same on every processor.
uint32_t Crc32UpdateByTable(uint32_t crc, const void* bytes, size_t length);

// Whether the processor has carry-less multiplication and SSE4.1 and the
// system saves the SSE registers; decided at the first call.
bool Crc32Folds();

inline uint32_t Crc32(const void* bytes, size_t length) {
    return Crc32Update(0, bytes, length);
}
