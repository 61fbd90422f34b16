// The script reader's own answers, which the system's functions do not give:
// where each section and entry is in the file, in which order, and the notes
// on lines that the systems read differently. What it reads is compared with
// the system itself by profile_diff_tests under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/profile_text.h"
#include "text/code_page.h"

namespace {

#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

// Sections as "name@line", entries as " key@line" (" key=@line" with a value).
std::string Layout(const ProfileText& text) {
    std::string out;
    for (const ProfileSection& s : text.Sections()) {
        out += "[" + s.name + "]@" + std::to_string(s.line);
        for (const ProfileEntry& e : s.entries)
            out += " " + e.name + (e.hasValue ? "=" : "") + "@" + std::to_string(e.line);
        out += " ";
    }
    return out;
}

std::string Notes(const ProfileText& text) {
    static const char* const kNames[] = {
        "Utf8Mark",       "Utf16",          "BadDoubleByte", "DuplicateCode",
        "OutsideSection", "UnnamedSection", "NulByte",       "RepeatedEmptyName"};
    std::string out;
    for (const ProfileNote& n : text.Notes())
        out += std::string(kNames[static_cast<int>(n.issue)]) + "@" + std::to_string(n.line) + " ";
    return out;
}

struct Case {
    const char* what;
    std::string bytes;
    std::string layout;
    const char* notes;
};

TEST(ProfileText, LinesOrderAndNotes) {
    const Case cases[] = {
        {"line ends", BYTES("[a]\r\nk=1\n\nl\r\r\nm=\r[b]\n\rn=2"),
         BYTES("[a]@1 k=@2 l@4 m=@6 [b]@7 n=@9 "), ""},
        {"duplicates in file order", BYTES("[s]\nk=1\nK=2\n[S]\nk=3\n;c\n"),
         BYTES("[s]@1 k=@2 K=@3 [S]@4 k=@5 ;c@6 "), ""},
        {"blanks and brackets", BYTES(" [ a ]x\n\t=\x1Av\x0B\n[b\n"), BYTES("[a]@1 =@2 [b@3 "), ""},
        {"before the first header", BYTES(";c\nk=1\n\n[s]\n"), BYTES("[]@0 ;c@1 k=@2 [s]@4 "),
         "OutsideSection@2 "},
        {"unnamed", BYTES("[]\n[ \t]\n"), BYTES("[]@1 []@2 "),
         "UnnamedSection@1 UnnamedSection@2 "},
        {"empty names", BYTES("[s]\n=a\n= b\nx\n=c\n"), BYTES("[s]@1 =@2 x@4 =@5 "),
         "RepeatedEmptyName@3 "},
        // A bad lead byte takes the LF as its trail: the next line is part of
        // its line, but the lines are still counted as an editor shows them.
        {"bad double-byte", BYTES("[s]\nk=\x81\nl=1\r\nm=\x85\x40\x81"), BYTES("[s]@1 k=@2 m=@4 "),
         "BadDoubleByte@2 BadDoubleByte@4 "},
        {"notes in line order", BYTES("k=\x81\nl=\x85\x40\n[s]\n"), BYTES("[]@0 k=@1 [s]@3 "),
         "BadDoubleByte@1 OutsideSection@1 BadDoubleByte@2 "},
        {"duplicate codes", BYTES("[s]\nk=\xFA\x4A\n\n\xED\x40=1\n"),
         BYTES("[s]@1 k=@2 \xED\x40=@4 "), "DuplicateCode@2 DuplicateCode@4 "},
        {"NUL bytes", BYTES("[s\0t]\nk=\0\0\n"), BYTES("[s\0t]@1 k=@2 "), "NulByte@1 NulByte@2 "},
        {"UTF-8 mark", BYTES("\xEF\xBB\xBF[s]\nk=1\n[t]\n"),
         BYTES("[]@0 \xEF\xBB\xBF[s]@1 k=@2 [t]@3 "),
         "Utf8Mark@1 OutsideSection@1 OutsideSection@2 "},
        {"UTF-16 mark", BYTES("\xFF\xFE[\0s\0]\0"), "", "Utf16@1 "},
        {"trail bytes that are brackets", BYTES("[\x83\x5D\n[\x83\x5B]\n"),
         BYTES("[]@0 [\x83\x5D@1 [\x83\x5B]@2 "), "OutsideSection@1 "},
    };
    for (const Case& c : cases) {
        const ProfileText text(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(Layout(text), c.layout) << c.what;
        EXPECT_EQ(Notes(text), c.notes) << c.what;
    }
}

TEST(ProfileText, FindsTheFirstOfEqualNames) {
    const std::string bytes = BYTES("[a]\nk=1\nK=2\nnone\n[A]\nk=3\nonly=4\n[\x83\x41]\nv=5\n");
    const ProfileText text(bytes.data(), bytes.size());
    ASSERT_NE(text.FindSection(" A\t"), nullptr);
    EXPECT_EQ(text.FindSection(" A\t")->line, 1);
    ASSERT_NE(text.FindEntry("a", " K "), nullptr);
    EXPECT_EQ(text.FindEntry("a", " K ")->line, 2);
    EXPECT_EQ(text.FindEntry("a", "only"), nullptr) << "a second [A] is never read";
    ASSERT_NE(text.FindEntry("a", "none"), nullptr);
    EXPECT_FALSE(text.FindEntry("a", "none")->hasValue);
    EXPECT_EQ(text.FindSection("\x83\x61"), nullptr) << "a trail byte is not a letter";
    EXPECT_NE(text.FindSection("\x83\x41"), nullptr);
}

TEST(ProfileText, CutsAtTheBufferSize) {
    const std::string bytes = "[s]\r\nv=" + std::string(40000, 'x') + "\r\n";
    const ProfileText text(bytes.data(), bytes.size());
    std::string value;
    EXPECT_EQ(text.GetString("s", "v", "NO_DATA", 32767, &value), 32766u);
    EXPECT_EQ(value, std::string(32766, 'x'));
    EXPECT_EQ(text.GetSection("s", 32767, &value), 32765u);
    EXPECT_EQ(value, "v=" + std::string(32763, 'x') + '\0');
    EXPECT_EQ(text.GetString("s", "absent", "NO_DATA", 260, &value), 7u);
    EXPECT_EQ(value, "NO_DATA");
}

// Another code page takes its lead bytes from code_page.h: a single-byte one
// reads 0x83 0x5D as two characters, the second a "]".
TEST(ProfileText, OtherCodePages) {
    const unsigned char none[] = {0, 0};
    SetLeadByteRanges(none);
    const std::string bytes = BYTES("[\x83\x5D\nk=\x85\x40\n");
    const ProfileText text(bytes.data(), bytes.size(), 1252);
    EXPECT_EQ(Layout(text), "[\x83]@1 k=@2 ");
    EXPECT_EQ(Notes(text), "");
}

}  // namespace
