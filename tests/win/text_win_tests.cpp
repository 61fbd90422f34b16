// The text primitives under the system's own ANSI code page. Run with the
// Japanese locale (tests/run-wine.sh), where that code page is 932. Nothing
// here sets the lead bytes: they must come from the system.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/reporter.h"
#include "text/code_page.h"
#include "text/text_buffer.h"

namespace {

std::string Str(const TextBuffer& t) {
    return t.c_str();
}

std::wstring Wide(const char* text) {
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    return wide;
}

TEST(SystemCodePage, IsJapanese) {
    ASSERT_EQ(GetACP(), 932u) << "run under tests/run-wine.sh (LC_ALL=ja_JP.UTF-8)";
    // The source's Japanese literals are code page 932 bytes.
    EXPECT_EQ(std::string("表"), "\x95\x5C");
}

TEST(SystemCodePage, LeadBytesComeFromTheSystem) {
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), IsDBCSLeadByte(static_cast<BYTE>(b)))
            << "byte " << b;
    }
    EXPECT_TRUE(IsLeadByte(0x95));
    EXPECT_FALSE(IsLeadByte(0xA0));
}

TEST(SystemCodePage, ItemsAtBackslashCountOnlySeparators) {
    const TextBuffer path("C:\\表\\ソフト\\a.txt");
    EXPECT_EQ(path.ItemCount("\\"), 4);
    EXPECT_EQ(path.CountOf("\\"), 3);
    EXPECT_EQ(Wide(path.Item(1, "\\").c_str()), L"\u8868");
    EXPECT_EQ(Wide(path.Item(2, "\\").c_str()), L"\u30bd\u30d5\u30c8");
    EXPECT_EQ(Str(path.Items(0, -2, "\\")), "C:\\表\\ソフト");

    TextBuffer renamed(path);
    renamed.ReplaceItems(-1, -1, "\\", "b.txt");
    EXPECT_EQ(Str(renamed), "C:\\表\\ソフト\\b.txt");
}

TEST(SystemCodePage, TrimTakesTheTrailByte) {
    TextBuffer path("C:\\表");
    path.Trim("", "\\");
    EXPECT_EQ(Str(path), "C:\\\x95");
}

TEST(SystemCodePage, FormatCutKeepsCharactersWhole) {
    EXPECT_EQ(Str(FormatText("%s表表", {std::string(1022, 'a').c_str()})), std::string(1022, 'a'));
}

}  // namespace
