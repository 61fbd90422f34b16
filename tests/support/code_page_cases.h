// What the portable tests share about code pages: the lead-byte ranges of
// code page 932 and of a single-byte code page, characters whose trail byte
// is a backslash, and fixtures that set the ranges for a test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "text/code_page.h"
#include "text/text_buffer.h"

// Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC.
const unsigned char kCp932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
const unsigned char kSingleByte[] = {0, 0};

#define HYO "\x95\x5C"  // 表: its trail byte is a backslash
#define SO "\x83\x5C"   // ソ: its trail byte is a backslash

inline std::string Str(const TextBuffer& t) {
    return t.c_str();
}

class SingleByte : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(kSingleByte); }
};

class CodePage932 : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(kCp932); }
    void TearDown() override { SetLeadByteRanges(kSingleByte); }
};
