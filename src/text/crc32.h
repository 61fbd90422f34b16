// CRC-32 of ISO-HDLC / IEEE 802.3 (the one of zlib and PNG): reflected
// polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a CRC over more bytes: crc is the value of everything before
// (0 before the first byte), and the result is the value including bytes.
// So Crc32Update(Crc32Update(0, a), b) is the CRC of a followed by b.
uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t length);

inline uint32_t Crc32(const void* bytes, size_t length) {
    return Crc32Update(0, bytes, length);
}
