// TextBuffer and ByteArray: ownership, exact slicing and the number scans.
#include <gtest/gtest.h>

#include "code_page_cases.h"

#include <cstring>
#include <string>

#include "text/code_page.h"
#include "text/text_buffer.h"
#include "text/text_builder.h"
#include "text/version_number.h"

namespace {

TEST(TextBuffer, EmptyBufferOwnsStorage) {
    TextBuffer t;
    EXPECT_STREQ(t.c_str(), "");
    ASSERT_NE(t.data(), nullptr);
    EXPECT_EQ(t.data()[0], '\0');
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.Length(), 0u);

    TextBuffer from_empty("");
    ASSERT_NE(from_empty.data(), nullptr);
}

TEST(TextBuffer, CopiesAreDeep) {
    char source[] = "abc";
    TextBuffer a(source);
    source[0] = 'x';
    EXPECT_EQ(Str(a), "abc");

    TextBuffer b(a);
    b.data()[0] = 'z';
    EXPECT_EQ(Str(a), "abc");
    EXPECT_EQ(Str(b), "zbc");

    TextBuffer c("other");
    c = a;
    a.data()[1] = 'y';
    EXPECT_EQ(Str(c), "abc");
    c = c;  // self-assignment keeps the content
    EXPECT_EQ(Str(c), "abc");
}

TEST(TextBuffer, AssignFromOwnContent) {
    // Assigning a piece of the buffer to itself must not read freed storage.
    TextBuffer t("C:\\dir\\file");
    t = t.c_str() + 3;
    EXPECT_EQ(Str(t), "dir\\file");
}

TEST(TextBuffer, Append) {
    TextBuffer t("abc");
    EXPECT_TRUE(t.Append(""));
    EXPECT_EQ(Str(t), "abc");
    EXPECT_TRUE(t.Append("def"));
    EXPECT_EQ(Str(t), "abcdef");
    EXPECT_EQ(t.Length(), 6u);
    EXPECT_TRUE(t.Append(t));  // its own text
    EXPECT_EQ(Str(t), "abcdefabcdef");
}

TEST(TextBuffer, ReserveGivesZeroedStorageAndDropsContent) {
    TextBuffer t("old content");
    ASSERT_TRUE(t.Reserve(8));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(t.data()[i], '\0') << i;
    EXPECT_STREQ(t.c_str(), "");
    // A system call may fill the reserved storage.
    memcpy(t.data(), "filled!", 8);
    EXPECT_EQ(Str(t), "filled!");
}

TEST(TextBuffer, Slice) {
    const TextBuffer t("abcdef");
    EXPECT_EQ(Str(t.Slice(2, 1)), "");
    EXPECT_EQ(Str(t.Slice(0, -1)), "");
    EXPECT_EQ(Str(t.Slice(0, 5)), "abcdef");
    EXPECT_EQ(Str(t.Slice(2, 3)), "cd");
    EXPECT_EQ(Str(t.Slice(5, 5)), "f");
    EXPECT_EQ(Str(t.Slice(4, 100)), "ef");  // stops at the terminating zero
    EXPECT_EQ(Str(t.Slice(6, 9)), "");
    EXPECT_EQ(Str(t.Slice(20, 30)), "");
    EXPECT_EQ(Str(TextBuffer().Slice(0, 0)), "");
    EXPECT_EQ(Str(t), "abcdef");
}

TEST(TextBuffer, ConcatenationLeavesOperands) {
    const TextBuffer left("C:\\dir");
    const TextBuffer right("\\file");
    EXPECT_EQ(Str(left + right), "C:\\dir\\file");
    EXPECT_EQ(Str(left + "\\x"), "C:\\dir\\x");
    EXPECT_EQ(Str(left + ""), "C:\\dir");
    EXPECT_EQ(Str(left), "C:\\dir");
    EXPECT_EQ(Str(right), "\\file");
}

TEST(TextBuffer, EqualsNoCaseFoldsAsciiOnly) {
    EXPECT_TRUE(EqualsNoCase("Copy", "COPY"));
    EXPECT_FALSE(EqualsNoCase("COPY", "COP"));
    EXPECT_FALSE(EqualsNoCase("COP", "COPY"));
    EXPECT_TRUE(EqualsNoCase("", ""));
    EXPECT_FALSE(EqualsNoCase("[", "{"));        // 0x5B is not 'Z' + 1 folded
    EXPECT_FALSE(EqualsNoCase("\xC1", "\xE1"));  // no folding beyond ASCII
}

TEST(TextBuffer, ToInt) {
    EXPECT_EQ(TextBuffer("42").ToInt(), 42);
    EXPECT_EQ(TextBuffer("  -7").ToInt(), -7);
    EXPECT_EQ(TextBuffer("12abc").ToInt(), 12);
    EXPECT_EQ(TextBuffer("abc").ToInt(), 0);
    EXPECT_EQ(TextBuffer("").ToInt(), 0);
    EXPECT_EQ(TextBuffer("0").ToInt(), 0);
    EXPECT_EQ(TextBuffer("   ").ToInt(), 0);
    EXPECT_EQ(TextBuffer("2147483647").ToInt(), 2147483647);
}

// The integer key reader keeps its target when no number begins the text.
TEST(NumberScanning, TellsNoNumberFromZero) {
    int32_t value = 99;
    EXPECT_FALSE(ScanDecimal("x", &value));
    EXPECT_FALSE(ScanDecimal("", &value));
    EXPECT_FALSE(ScanDecimal("-", &value));
    EXPECT_FALSE(ScanDecimal("+ 1", &value));
    EXPECT_EQ(value, 99);
    EXPECT_TRUE(ScanDecimal("\t\n+15x", &value));
    EXPECT_EQ(value, 15);
    EXPECT_TRUE(ScanDecimal("-1", &value));
    EXPECT_EQ(value, -1);
    uint32_t hex = 7;
    EXPECT_FALSE(ScanHex("g", &hex));
    EXPECT_EQ(hex, 7u);
    EXPECT_TRUE(ScanHex(" 0x21", &hex));
    EXPECT_EQ(hex, 0x21u);
    EXPECT_TRUE(ScanHex("0X", &hex));
    EXPECT_EQ(hex, 0u);
    EXPECT_TRUE(ScanHex("-1", &hex));
    EXPECT_EQ(hex, 0xFFFFFFFFu);
}

TEST(TextBuffer, ToHex) {
    EXPECT_EQ(TextBuffer("1f").ToHex(), 31u);
    EXPECT_EQ(TextBuffer("1F").ToHex(), 31u);
    EXPECT_EQ(TextBuffer("zz").ToHex(), 0u);
    EXPECT_EQ(TextBuffer("").ToHex(), 0u);
    EXPECT_EQ(TextBuffer("ffffffff").ToHex(), 0xFFFFFFFFu);
    EXPECT_EQ(TextBuffer("1a;x").ToHex(), 26u);
}

// In code page 932 the trail byte of ア (0x83 0x41) is not the letter A.
TEST_F(CodePage932, EqualsNoCaseComparesDoubleByteCharactersWhole) {
    EXPECT_FALSE(EqualsNoCase("\x83\x41", "\x83\x61"));  // ア and ヂ
    EXPECT_TRUE(EqualsNoCase("app\x83\x41", "APP\x83\x41"));
    EXPECT_FALSE(EqualsNoCase("\x83\x41", "\x83"));
    EXPECT_TRUE(EqualsNoCase("a\x83", "A\x83"));  // a lead byte cut off at the end
    SetLeadByteRanges(kSingleByte);
    EXPECT_TRUE(EqualsNoCase("\x83\x41", "\x83\x61"));  // plain bytes there
}

// Folded names are what EqualsNoCase compares: a trail byte keeps its case.
TEST_F(CodePage932, FoldedNamesKeepDoubleByteCharactersWhole) {
    EXPECT_EQ(Str(FoldedName("Copy\\a-z[{")), "COPY\\A-Z[{");
    EXPECT_EQ(Str(FoldedName("x\x83\x61y\x83")), "X\x83\x61Y\x83");
    SetLeadByteRanges(kSingleByte);
    EXPECT_EQ(Str(FoldedName("\x83\x61")), "\x83\x41");
}

// Numbers as the log, the journal, the checker and the boxes write them.
TEST(NumberText, DecimalAndHexadecimalToAWidth) {
    const struct {
        uint64_t value;
        int width;
        const char *decimal, *hex;
    } cases[] = {
        {0, 1, "0", "0"},
        {0, 8, "00000000", "00000000"},
        {33, 8, "00000033", "00000021"},
        {0xCBF43926, 8, "3421780262", "CBF43926"},
        {0xABCDEF, 2, "11259375", "ABCDEF"},
        {0xFFFFFFFFFFFFFFFFull, 1, "18446744073709551615", "FFFFFFFFFFFFFFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Str(DecimalText(c.value, c.width)), c.decimal);
        EXPECT_EQ(Str(HexText(c.value, c.width)), c.hex);
    }
    TextBuilder line;
    AppendDecimal(line, 42, 7, ' ');
    EXPECT_EQ(Str(line.Text()), "     42");
}

TEST(ByteArray, AllocateZeroesAndReplaces) {
    ByteArray a;
    EXPECT_EQ(a.Data(), nullptr);
    ASSERT_TRUE(a.Assign("abcdef", 6));
    ASSERT_TRUE(a.Allocate(4));
    ASSERT_EQ(a.Size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(a.Data()[i], 0) << i;
    EXPECT_TRUE(a.Allocate(0));
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(a.Data(), nullptr);
}

std::string Bytes(const ByteArray& a) {
    return a.Size() == 0 ? std::string()
                         : std::string(reinterpret_cast<const char*>(a.Data()), a.Size());
}

TEST(ByteArray, AppendAndRemoveKeepOrder) {
    ByteArray a;
    ASSERT_TRUE(a.Append("1111", 4));
    ASSERT_TRUE(a.Append("2222", 4));
    ASSERT_TRUE(a.Append("3333", 4));
    EXPECT_EQ(a.Size(), 12u);

    ByteArray middle(a);
    middle.Remove(4, 4);
    EXPECT_EQ(Bytes(middle), "11113333");

    ByteArray head(a);
    head.Remove(0, 4);
    EXPECT_EQ(Bytes(head), "22223333");

    ByteArray tail(a);
    tail.Remove(8, 4);
    EXPECT_EQ(Bytes(tail), "11112222");

    ByteArray beyond(a);
    beyond.Remove(8, 100);  // the range runs past the end: cut there
    EXPECT_EQ(Bytes(beyond), "11112222");

    ByteArray all(a);
    all.Remove(0, all.Size());
    EXPECT_EQ(all.Size(), 0u);
    EXPECT_EQ(all.Data(), nullptr);

    EXPECT_EQ(Bytes(a), "111122223333");
}

TEST(ByteArray, RemovePointersLikeTheListStack) {
    int x = 0, y = 0, z = 0;
    int* pointers[] = {&x, &y, &z};
    ByteArray stack;
    for (int* p : pointers) ASSERT_TRUE(stack.Append(&p, sizeof p));
    stack.Remove(sizeof(int*), sizeof(int*));
    ASSERT_EQ(stack.Size(), 2 * sizeof(int*));
    int* left[2];
    memcpy(left, stack.Data(), sizeof left);
    EXPECT_EQ(left[0], &x);
    EXPECT_EQ(left[1], &z);
}

TEST(ByteArray, CopiesConcatAndSubAreIndependent) {
    ByteArray a;
    ASSERT_TRUE(a.Assign("abcd", 4));
    ByteArray b(a);
    b.Data()[0] = 'X';
    EXPECT_EQ(Bytes(a), "abcd");

    ByteArray c;
    c = a;
    c.Data()[1] = 'Y';
    EXPECT_EQ(Bytes(a), "abcd");
    c = c;
    EXPECT_EQ(Bytes(c), "aYcd");

    EXPECT_EQ(Bytes(a.Concat(c)), "abcdaYcd");
    EXPECT_EQ(Bytes(a), "abcd");
    EXPECT_EQ(Bytes(a.Sub(1, 2)), "bc");
    EXPECT_EQ(Bytes(a.Sub(4, 0)), "");
    EXPECT_EQ(Bytes(a.Sub(0, 4)), "abcd");

    ByteArray empty;
    ByteArray copy_of_empty(empty);
    EXPECT_EQ(copy_of_empty.Data(), nullptr);
    EXPECT_EQ(Bytes(empty.Concat(a)), "abcd");
}

TEST(ByteArray, AssignAndAppendFromOwnBytes) {
    ByteArray a;
    ASSERT_TRUE(a.Assign("abcdef", 6));
    ASSERT_TRUE(a.Assign(a.Data(), 3));  // a shorter run of its own bytes
    EXPECT_EQ(Bytes(a), "abc");
    ASSERT_TRUE(a.Assign(a.Data() + 1, 2));
    EXPECT_EQ(Bytes(a), "bc");
    ASSERT_TRUE(a.Append(a));
    EXPECT_EQ(Bytes(a), "bcbc");
}

TEST(VersionNumber, TwoOrThreeDecimalPartsComparedInOrder) {
    struct Case {
        const char* text;
        bool valid;
        uint32_t major, minor, build;
    };
    const Case cases[] = {
        {"10.0", true, 10, 0, 0},
        {" 6.1.7601 ", true, 6, 1, 7601},
        {"4294967295.0.1", true, 0xFFFFFFFFu, 0, 1},
        {"4294967296.0", false, 0, 0, 0},
        {"10", false, 0, 0, 0},
        {"10.", false, 0, 0, 0},
        {"10.0.", false, 0, 0, 0},
        {".1", false, 0, 0, 0},
        {"10.0.1.2", false, 0, 0, 0},
        {"-1.0", false, 0, 0, 0},
        {"10.0 x", false, 0, 0, 0},
        {"10 .0", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        VersionNumber version;
        version.major = 99;
        ASSERT_EQ(ParseVersion(c.text, &version), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(version.major, c.major) << c.text;
            EXPECT_EQ(version.minor, c.minor) << c.text;
            EXPECT_EQ(version.build, c.build) << c.text;
        } else {
            EXPECT_EQ(version.major, 99u) << c.text;  // untouched
        }
    }
    const VersionNumber running{6, 1, 7601};
    EXPECT_TRUE(IsAtLeast(running, {6, 1, 7601}));
    EXPECT_TRUE(IsAtLeast(running, {6, 0, 9999}));
    EXPECT_TRUE(IsAtLeast(running, {5, 9, 0}));
    EXPECT_FALSE(IsAtLeast(running, {6, 1, 7602}));
    EXPECT_FALSE(IsAtLeast(running, {6, 2, 0}));
    EXPECT_FALSE(IsAtLeast(running, {10, 0, 0}));
}

}  // namespace
