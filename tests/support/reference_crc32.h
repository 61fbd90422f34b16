// CRC-32 one bit at a time, straight from its definition: what the program's
// routines are checked against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline uint32_t ReferenceCrc32(const void* bytes, size_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320 : 0);
    }
    return ~crc;
}

inline uint32_t ReferenceCrc32(const std::string& bytes) {
    return ReferenceCrc32(bytes.data(), bytes.size());
}
