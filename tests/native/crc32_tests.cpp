// CRC-32 against published values and against a plain bit-by-bit reference,
// for every length and alignment around the 16-byte steps of the table loop;
// the folding routine against the table routine around its own steps.
#include "reference_crc32.h"
#include "text/crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

uint32_t Crc32Of(const std::string& text) {
    return Crc32(text.data(), text.size());
}

std::vector<unsigned char> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(n);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32Of("a"), 0xE8B7BE43u);
    EXPECT_EQ(Crc32Of("abc"), 0x352441C2u);
    EXPECT_EQ(Crc32Of("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    EXPECT_EQ(Crc32Of(std::string(32, '\0')), 0x190A55ADu);
    EXPECT_EQ(Crc32Of(std::string(32, '\xFF')), 0xFF6CAB0Bu);
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Crc32Of(all), 0x29058C73u);
}

TEST(Crc32, EmptyInputLeavesTheValue) {
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    EXPECT_EQ(Crc32Update(0xCBF43926u, "x", 0), 0xCBF43926u);
    EXPECT_EQ(Crc32Update(0, nullptr, 0), 0u);
}

TEST(Crc32, EveryLengthAndAlignmentMatchesTheReference) {
    const std::vector<unsigned char> bytes = RandomBytes(200, 1);
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t length = 0; offset + length <= bytes.size(); ++length) {
            ASSERT_EQ(Crc32(bytes.data() + offset, length),
                      ReferenceCrc32(bytes.data() + offset, length))
                << "offset " << offset << " length " << length;
        }
    }
}

TEST(Crc32, LargeBufferMatchesTheReference) {
    const std::vector<unsigned char> bytes = RandomBytes(3 * 65536 + 7, 2);
    EXPECT_EQ(Crc32(bytes.data(), bytes.size()), ReferenceCrc32(bytes.data(), bytes.size()));
}

TEST(Crc32, IncrementalEqualsOneShotOverRandomSplits) {
    const std::vector<unsigned char> bytes = RandomBytes(5000, 3);
    const uint32_t whole = Crc32(bytes.data(), bytes.size());
    std::mt19937 random(4);
    for (int round = 0; round < 200; ++round) {
        uint32_t running = 0;
        size_t done = 0;
        while (done < bytes.size()) {
            // Pieces of 0 to 40 bytes, so that empty and odd pieces occur.
            size_t piece = random() % 41;
            if (piece > bytes.size() - done)
                piece = bytes.size() - done;
            running = Crc32Update(running, bytes.data() + done, piece);
            done += piece;
        }
        ASSERT_EQ(running, whole) << "round " << round;
    }
}

TEST(Crc32, IncrementalOverBlocksOfAFileReader) {
    // As the file reader calls it: full 64 KiB blocks and a short last one.
    const std::vector<unsigned char> bytes = RandomBytes(2 * 65536 + 123, 5);
    uint32_t running = 0;
    for (size_t done = 0; done < bytes.size(); done += 65536) {
        const size_t piece = std::min<size_t>(65536, bytes.size() - done);
        running = Crc32Update(running, bytes.data() + done, piece);
    }
    EXPECT_EQ(running, Crc32(bytes.data(), bytes.size()));
}

// Folding takes over from 256 bytes on and steps by 64 bytes from a 16-byte
// boundary: every length up to 1024 at every alignment crosses each of these
// with 0 to 255 bytes to spare, and the last span does so around a large
// power of two. Each case also continues from a running value.
TEST(Crc32, FoldingMatchesTheTable) {
    if (!Crc32Folds())
        GTEST_SKIP() << "this processor cannot fold; Crc32Update is the table routine";
    struct Span {
        size_t first_length, last_length, offsets;
    };
    const Span spans[] = {{0, 1024, 16}, {65536 - 256, 65536 + 256, 4}};
    const std::vector<unsigned char> bytes = RandomBytes(65536 + 256 + 16, 7);
    for (const Span& span : spans) {
        for (size_t offset = 0; offset < span.offsets; ++offset) {
            for (size_t length = span.first_length; length <= span.last_length; ++length) {
                const unsigned char* p = bytes.data() + offset;
                ASSERT_EQ(Crc32Update(0, p, length), Crc32UpdateByTable(0, p, length))
                    << "offset " << offset << " length " << length;
                ASSERT_EQ(Crc32Update(0x12345678, p, length),
                          Crc32UpdateByTable(0x12345678, p, length))
                    << "offset " << offset << " length " << length;
            }
        }
    }
}

TEST(Crc32, FoldingMatchesTheTableOnRandomInputs) {
    if (!Crc32Folds())
        GTEST_SKIP() << "this processor cannot fold; Crc32Update is the table routine";
    std::mt19937 random(8);
    for (int round = 0; round < 40; ++round) {
        const size_t offset = random() % 64;
        const size_t length = random() % (1 << (8 + round % 12));
        const uint32_t before = static_cast<uint32_t>(random());
        const std::vector<unsigned char> bytes = RandomBytes(offset + length, 100 + round);
        const unsigned char* p = bytes.data() + offset;
        ASSERT_EQ(Crc32Update(before, p, length), Crc32UpdateByTable(before, p, length))
            << "round " << round << " offset " << offset << " length " << length;
    }
}

TEST(Crc32, SingleBitChangesAreSeen) {
    std::vector<unsigned char> bytes = RandomBytes(64, 6);
    const uint32_t before = Crc32(bytes.data(), bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] ^= 0x80;
        EXPECT_NE(Crc32(bytes.data(), bytes.size()), before) << "byte " << i;
        bytes[i] ^= 0x80;
    }
}

}  // namespace
