// Items, words, groups, replacing and trimming, in a single-byte code page
// and in code page 932, where a trail byte may equal a delimiter.
#include <gtest/gtest.h>

#include "code_page_cases.h"

#include <climits>
#include <string>
#include <vector>

#include "text/code_page.h"
#include "text/text_buffer.h"

namespace {

// Code page 932 characters whose trail byte is an ASCII delimiter.
#define PLUSMINUS "\x81\x7D"  // ±, trail byte "}"

// The text of a buffer that held text, after edit.
template <typename Edit>
std::string Edited(const char* text, Edit edit) {
    TextBuffer buffer(text);
    edit(buffer);
    return Str(buffer);
}

struct TrimCase {
    const char *text, *head, *tail, *trimmed;
};
void ExpectTrims(const std::vector<TrimCase>& cases) {
    for (const TrimCase& c : cases) {
        EXPECT_EQ(Edited(c.text, [&](TextBuffer& t) { t.Trim(c.head, c.tail); }), c.trimmed)
            << "\"" << c.text << "\" head \"" << c.head << "\" tail \"" << c.tail << "\"";
    }
}

// Item ranges replaced: first and last item, at the delimiter, by the text.
struct ItemsCase {
    const char* text;
    int first, last;
    const char *delimiter, *with, *replaced;
};
void ExpectReplacedItems(const std::vector<ItemsCase>& cases) {
    for (const ItemsCase& c : cases) {
        EXPECT_EQ(
            Edited(c.text,
                   [&](TextBuffer& t) { t.ReplaceItems(c.first, c.last, c.delimiter, c.with); }),
            c.replaced)
            << c.text << " " << c.first << ".." << c.last;
    }
}

// --- Items ------------------------------------------------------------------

TEST_F(SingleByte, ItemCount) {
    EXPECT_EQ(TextBuffer("").ItemCount(","), 0);
    EXPECT_EQ(TextBuffer("a").ItemCount(","), 1);
    EXPECT_EQ(TextBuffer("a,b").ItemCount(","), 2);
    EXPECT_EQ(TextBuffer("a,,b").ItemCount(","), 3);
    EXPECT_EQ(TextBuffer("a,").ItemCount(","), 2);
    EXPECT_EQ(TextBuffer(",").ItemCount(","), 2);
    EXPECT_EQ(TextBuffer(" ").ItemCount(","), 1);
    // Occurrences do not overlap: "x:::y" holds one "::" and then ":y".
    EXPECT_EQ(TextBuffer("x:::y").ItemCount("::"), 2);
    EXPECT_EQ(Str(TextBuffer("x:::y").Item(1, "::")), ":y");
}

TEST_F(SingleByte, Item) {
    const TextBuffer t("a,,b");
    EXPECT_EQ(Str(t.Item(0, ",")), "a");
    EXPECT_EQ(Str(t.Item(1, ",")), "");
    EXPECT_EQ(Str(t.Item(2, ",")), "b");
    EXPECT_EQ(Str(t.Item(3, ",")), "");
    EXPECT_EQ(Str(t.Item(-1, ",")), "b");
    EXPECT_EQ(Str(t.Item(-3, ",")), "a");
    EXPECT_EQ(Str(t.Item(-4, ",")), "");  // before the first item
    EXPECT_EQ(Str(TextBuffer("").Item(0, ",")), "");
    EXPECT_EQ(Str(TextBuffer("").Item(-1, ",")), "");
    EXPECT_EQ(Str(TextBuffer("a,").Item(1, ",")), "");
    EXPECT_EQ(Str(TextBuffer(",b").Item(0, ",")), "");
    EXPECT_EQ(Str(TextBuffer("x::y").Item(1, "::")), "y");
    EXPECT_EQ(Str(TextBuffer("x::y").Item(0, "::")), "x");
}

TEST_F(SingleByte, Items) {
    const TextBuffer t("a,b,c");
    EXPECT_EQ(Str(t.Items(0, 1, ",")), "a,b");
    EXPECT_EQ(Str(t.Items(1, 5, ",")), "b,c");
    EXPECT_EQ(Str(t.Items(1, INT_MAX, ",")), "b,c");
    EXPECT_EQ(Str(t.Items(0, -1, ",")), "a,b,c");
    EXPECT_EQ(Str(t.Items(-2, -1, ",")), "b,c");
    EXPECT_EQ(Str(t.Items(2, 1, ",")), "");  // first after last
    EXPECT_EQ(Str(t.Items(4, 5, ",")), "");
    // The temporary folder without its final backslash.
    EXPECT_EQ(Str(TextBuffer("C:\\users\\root\\Temp\\").Items(0, -2, "\\")),
              "C:\\users\\root\\Temp");
}

TEST_F(SingleByte, FindItemsRanges) {
    const TextBuffer t("ab,,cd");
    ptrdiff_t start = -9, end = -9;
    ASSERT_TRUE(t.FindItems(1, 1, ",", &start, &end));
    EXPECT_EQ(start, 3);  // an empty item: the range ends just before it starts
    EXPECT_EQ(end, 2);
    ASSERT_TRUE(t.FindItems(0, 2, ",", &start, &end));
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 5);
    EXPECT_FALSE(t.FindItems(3, 3, ",", &start, &end));
    EXPECT_FALSE(TextBuffer("").FindItems(-1, -1, ",", &start, &end));
}

TEST_F(SingleByte, ReplaceItems) {
    ExpectReplacedItems({
        {"a,b,c", 1, 1, ",", "X", "a,X,c"},
        {"a,,c", 1, 1, ",", "X", "a,X,c"},  // an empty item
        {"a,b", 0, 0, ",", "XY", "XY,b"},
        {"a,b", -1, -1, ",", "", "a,"},
        {"a,", 1, 1, ",", "b", "a,b"},
        {",b", 0, 0, ",", "a", "a,b"},
        {"a,b,c,d", 1, 2, ",", "-", "a,-,d"},
        {"a,b", 2, 2, ",", "X", "a,b"},  // missing: unchanged
        {"a,b", 1, 0, ",", "X", "a,b"},
    });
}

TEST_F(SingleByte, CountOf) {
    EXPECT_EQ(TextBuffer("").CountOf("\\"), 0);
    EXPECT_EQ(TextBuffer("a\\b\\").CountOf("\\"), 2);
    EXPECT_EQ(TextBuffer("aaaa").CountOf("aa"), 2);
    EXPECT_EQ(TextBuffer("aaa").CountOf("aa"), 1);
    EXPECT_EQ(TextBuffer("x\\..\\y").CountOf("\\.."), 1);
    EXPECT_EQ(TextBuffer("ab").CountOf("abc"), 0);
}

// --- Words ------------------------------------------------------------------

TEST_F(SingleByte, WordsAtSingleSpaces) {
    const TextBuffer t("a  b");
    EXPECT_EQ(t.WordCount(), 3);
    EXPECT_EQ(Str(t.Words(0, 0)), "a");
    EXPECT_EQ(Str(t.Words(1, 1)), "");
    EXPECT_EQ(Str(t.Words(2, 2)), "b");
    EXPECT_EQ(Str(t.Words(3, 3)), "");

    EXPECT_EQ(TextBuffer("").WordCount(), 0);
    EXPECT_EQ(TextBuffer("a").WordCount(), 1);
    EXPECT_EQ(TextBuffer(" a ").WordCount(), 3);
    EXPECT_EQ(Str(TextBuffer(" a ").Words(1, 1)), "a");
    EXPECT_EQ(Str(TextBuffer("a\tb").Words(0, 0)), "a\tb");  // only spaces separate
    EXPECT_EQ(Str(TextBuffer("").Words(0, 0)), "");
}

TEST_F(SingleByte, WordsRangesAndNegativeIndexes) {
    const TextBuffer t("/tTitle setup.exe one two");
    EXPECT_EQ(t.WordCount(), 4);
    EXPECT_EQ(Str(t.Words(0, 0)), "/tTitle");
    EXPECT_EQ(Str(t.Words(1, 2)), "setup.exe one");
    EXPECT_EQ(Str(t.Words(2, 9)), "one two");
    EXPECT_EQ(Str(t.Words(1, INT_MAX)), "setup.exe one two");
    EXPECT_EQ(Str(t.Words(-1, -1)), "two");
    EXPECT_EQ(Str(t.Words(-2, -1)), "one two");
    EXPECT_EQ(Str(t.Words(-5, -5)), "");
    EXPECT_EQ(Str(t.Words(2, 1)), "");
    EXPECT_EQ(Str(t.Words(4, 4)), "");
    EXPECT_EQ(Str(TextBuffer("").Words(-1, -1)), "");
}

TEST_F(SingleByte, QuotedWords) {
    const TextBuffer t("a \"b c\" d");
    EXPECT_EQ(t.WordCount(), 3);
    EXPECT_EQ(Str(t.Words(1, 1)), "b c");
    EXPECT_EQ(Str(t.Words(1, 2)), "\"b c\" d");
    EXPECT_EQ(Str(t.Words(0, 1)), "a \"b c\"");
    EXPECT_EQ(Str(TextBuffer("\"a b\" \"c\"").Words(0, 1)), "\"a b\" \"c\"");

    const TextBuffer path("copy \"C:\\Program Files\\x\" x");
    EXPECT_EQ(path.WordCount(), 3);
    EXPECT_EQ(Str(path.Words(0, 0)), "copy");
    EXPECT_EQ(Str(path.Words(1, 1)), "C:\\Program Files\\x");
    EXPECT_EQ(Str(path.Words(2, 2)), "x");

    // Quotes inside a word keep it together but are not removed.
    const TextBuffer inner("/t\"My Title\" x");
    EXPECT_EQ(inner.WordCount(), 2);
    EXPECT_EQ(Str(inner.Words(0, 0)), "/t\"My Title\"");

    // An unclosed quote joins the rest of the text.
    EXPECT_EQ(TextBuffer("a \"b c d").WordCount(), 2);
    EXPECT_EQ(Str(TextBuffer("\"\" x").Words(0, 0)), "");
    EXPECT_EQ(Str(TextBuffer("\" x").Words(0, 0)), "\" x");
    EXPECT_EQ(Str(TextBuffer("\"").Words(0, 0)), "");  // one lone quote
    EXPECT_EQ(Str(TextBuffer("\"a b\"").Words(-1, -1)), "a b");
}

// --- Groups -----------------------------------------------------------------

TEST_F(SingleByte, GroupCount) {
    EXPECT_EQ(TextBuffer("<a><b>").GroupCount("<", ">"), 2);
    EXPECT_EQ(TextBuffer("<a").GroupCount("<", ">"), 0);
    EXPECT_EQ(TextBuffer("><a>").GroupCount("<", ">"), 0);
    EXPECT_EQ(TextBuffer("a<b<c>d>e<f>").GroupCount("<", ">"), 2);
    EXPECT_EQ(TextBuffer("").GroupCount("<", ">"), 0);
    EXPECT_EQ(TextBuffer("a>b").GroupCount("<", ">"), 0);
    // A stray close string: the next group counts once the depth is back.
    EXPECT_EQ(TextBuffer("><<a>>").GroupCount("<", ">"), 1);
    EXPECT_EQ(TextBuffer("{?Param\\1}{x}").GroupCount("{", "}"), 2);
    EXPECT_EQ(TextBuffer("[[a]][[b]]").GroupCount("[[", "]]"), 2);
}

TEST_F(SingleByte, Groups) {
    const TextBuffer t("a<b<c>d>e<f>");
    EXPECT_EQ(Str(t.Groups(0, 0, "<", ">")), "<b<c>d>");
    EXPECT_EQ(Str(t.Groups(1, 1, "<", ">")), "<f>");
    EXPECT_EQ(Str(t.Groups(0, 1, "<", ">")), "<b<c>d>e<f>");
    EXPECT_EQ(Str(t.Groups(-1, -1, "<", ">")), "<f>");
    EXPECT_EQ(Str(t.Groups(-2, -1, "<", ">")), "<b<c>d>e<f>");
    EXPECT_EQ(Str(t.Groups(2, 2, "<", ">")), "");
    EXPECT_EQ(Str(t.Groups(1, 0, "<", ">")), "");
    EXPECT_EQ(Str(t.Groups(-3, -3, "<", ">")), "");
    EXPECT_EQ(Str(TextBuffer("<a").Groups(-1, -1, "<", ">")), "");
    // An open string with no close string behind it ends the scan.
    EXPECT_EQ(Str(TextBuffer("<a").Groups(0, 0, "<", ">")), "");
    // A group that is never closed runs to the end of the text.
    EXPECT_EQ(Str(TextBuffer("x<b<c>").Groups(0, 0, "<", ">")), "<b<c>");
    EXPECT_EQ(Str(TextBuffer("x[[a]]y").Groups(0, 0, "[[", "]]")), "[[a]]");

    ptrdiff_t start = 0, end = 0;
    ASSERT_TRUE(t.FindGroups(1, 1, "<", ">", &start, &end));
    EXPECT_EQ(start, 9);
    EXPECT_EQ(end, 11);
}

TEST_F(SingleByte, ReplaceGroups) {
    // Symbol expansion replaces group i and looks at the new group i next.
    TextBuffer t("<App>\\<Sub>\\x");
    t.ReplaceGroups(0, 0, "<", ">", "C:\\Tool");
    EXPECT_EQ(Str(t), "C:\\Tool\\<Sub>\\x");
    EXPECT_EQ(t.GroupCount("<", ">"), 1);
    t.ReplaceGroups(0, 0, "<", ">", "bin");
    EXPECT_EQ(Str(t), "C:\\Tool\\bin\\x");

    TextBuffer unchanged("<a>");
    unchanged.ReplaceGroups(1, 1, "<", ">", "X");
    EXPECT_EQ(Str(unchanged), "<a>");

    TextBuffer whole("{?Param\\-1}");
    whole.ReplaceGroups(-1, -1, "{", "}", "setup.exe");
    EXPECT_EQ(Str(whole), "setup.exe");
}

// --- Replacing and trimming -------------------------------------------------

TEST_F(SingleByte, ReplaceRange) {
    const struct {
        const char* text;
        ptrdiff_t first, last;
        const char *with, *replaced;
    } cases[] = {
        {"abcdef", 2, 3, "XYZ", "abXYZef"},
        {"abcdef", 2, 5, "X", "abX"},
        {"abcdef", 4, 50, "X", "abcdX"},
        {"abcdef", 0, 1, "", "cdef"},
        {"abcdef", 0, 5, "new", "new"},
        {"abc", 1, 0, "-", "a-bc"},  // an empty range inserts
        {"", 0, -1, "x", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Edited(c.text, [&](TextBuffer& t) { t.ReplaceRange(c.first, c.last, c.with); }),
                  c.replaced)
            << c.text << " " << c.first << ".." << c.last;
    }
    TextBuffer own("abc");
    own.ReplaceRange(0, 0, own.c_str());  // the text is the buffer's own
    EXPECT_EQ(Str(own), "abcbc");
}

TEST_F(SingleByte, ReplaceAll) {
    const struct {
        const char *text, *pattern, *with;
        bool replaced;
        const char* result;
    } cases[] = {
        {"a%nb%n", "%n", "\n", true, "a\nb\n"}, {"ab", "%n", "\n", false, "ab"},
        {"abb", "ab", "a", true, "a"},  // the search restarts at the beginning
        {"%t%t", "%t", "\t", true, "\t\t"},     {"", "%n", "\n", false, ""},
    };
    for (const auto& c : cases) {
        bool replaced = !c.replaced;
        EXPECT_EQ(
            Edited(c.text, [&](TextBuffer& t) { replaced = t.ReplaceAll(c.pattern, c.with); }),
            c.result);
        EXPECT_EQ(replaced, c.replaced) << c.text;
    }
}

TEST_F(SingleByte, Trim) {
    ExpectTrims({
        {"  a b  ", " ", " ", "a b"},
        {"   ", " ", " ", ""},
        {"", " ", " ", ""},
        {"\t a \t", " ", " ", "\t a \t"},
        {"C:\\dir\\\\", "", "\\", "C:\\dir"},
        {"\\\\dir\\sub\\", "\\", "\\", "dir\\sub"},
        {"{{?App\\x.exe}}", "{", "}", "?App\\x.exe"},
        {"C:\\a;;", "", ";", "C:\\a"},
        {" a ", "", "", " a "},
        // Patterns ignore ASCII case.
        {"ABabcAb", "ab", "ab", "c"},
        // The tail never takes the head's bytes: "ab" is dropped from the
        // start, and "a" alone is shorter than "ba".
        {"aba", "ab", "ba", "a"},
        {"abab", "ab", "b", ""},
    });
}

TEST_F(SingleByte, PlainByteSearchFindsDelimiterInAnyByte) {
    // Without lead bytes, the trail byte of 表 is an ordinary backslash.
    const TextBuffer path("C:\\" HYO "\\a.txt");
    EXPECT_EQ(path.ItemCount("\\"), 4);
    EXPECT_EQ(path.CountOf("\\"), 3);
    EXPECT_EQ(Str(path.Item(1, "\\")), "\x95");
    EXPECT_EQ(TextBuffer("\x95\x95\x5C").CountOf(HYO), 1);
    EXPECT_EQ(TextBuffer("{a" PLUSMINUS).GroupCount("{", "}"), 1);
}

// --- Code page 932 ------------------------------------------------------------

TEST_F(CodePage932, LeadByteRanges) {
    EXPECT_FALSE(IsLeadByte(0x5C));
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xDF));  // half-width katakana are single bytes
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0xFD));
}

TEST_F(CodePage932, ItemsAtBackslashSkipTrailBytes) {
    const TextBuffer path("C:\\" HYO "\\" SO "\\a.txt");
    EXPECT_EQ(path.ItemCount("\\"), 4);
    EXPECT_EQ(path.CountOf("\\"), 3);
    EXPECT_EQ(Str(path.Item(0, "\\")), "C:");
    EXPECT_EQ(Str(path.Item(1, "\\")), HYO);
    EXPECT_EQ(Str(path.Item(2, "\\")), SO);
    EXPECT_EQ(Str(path.Item(-1, "\\")), "a.txt");
    EXPECT_EQ(Str(path.Items(0, -2, "\\")), "C:\\" HYO "\\" SO);
    EXPECT_EQ(Str(path.Items(1, 2, "\\")), HYO "\\" SO);

    // A folder name made of several characters that ends in ソ.
    const TextBuffer tools("D:\\\x83\x41" SO "\\bin\\");
    EXPECT_EQ(tools.ItemCount("\\"), 4);
    EXPECT_EQ(Str(tools.Item(1, "\\")), "\x83\x41" SO);
    EXPECT_EQ(Str(tools.Items(0, -2, "\\")), "D:\\\x83\x41" SO "\\bin");
}

TEST_F(CodePage932, ReplaceItemsKeepsCharactersWhole) {
    ExpectReplacedItems({
        {"C:\\" HYO "\\a.txt", -1, -1, "\\", "b.txt", "C:\\" HYO "\\b.txt"},
        {"C:\\" HYO "\\b.txt", 1, 1, "\\", SO, "C:\\" SO "\\b.txt"},
        {"C:\\" SO "\\b.txt", 2, 2, "\\", "x", "C:\\" SO "\\x"},
    });
}

TEST_F(CodePage932, MatchesBeginOnlyAtCharacterBoundaries) {
    // 0x95 0x95 is one character; the 0x95 0x5C behind its lead byte is no 表.
    EXPECT_EQ(TextBuffer("\x95\x95\x5C").CountOf(HYO), 0);
    EXPECT_EQ(TextBuffer("\x95\x95" HYO).CountOf(HYO), 1);
    EXPECT_EQ(TextBuffer(HYO HYO).CountOf(HYO), 2);
    EXPECT_EQ(TextBuffer(HYO "\\\\").CountOf("\\"), 2);
    // A half-width katakana (single byte) does not swallow the backslash.
    EXPECT_EQ(TextBuffer("\xDF\\x").ItemCount("\\"), 2);

    TextBuffer text("%n" HYO "%n");
    EXPECT_TRUE(text.ReplaceAll("%n", "\n"));
    EXPECT_EQ(Str(text), "\n" HYO "\n");

    TextBuffer kanji(SO "\\" SO);
    EXPECT_TRUE(kanji.ReplaceAll("\\", "/"));
    EXPECT_EQ(Str(kanji), SO "/" SO);
}

TEST_F(CodePage932, LoneLeadByteAtTheEnd) {
    const TextBuffer t("a\\\x95");
    EXPECT_EQ(t.ItemCount("\\"), 2);
    EXPECT_EQ(Str(t.Item(1, "\\")), "\x95");
    EXPECT_EQ(TextBuffer("\x95").CountOf("\\"), 0);
    EXPECT_EQ(TextBuffer("a \x95").WordCount(), 2);
}

TEST_F(CodePage932, WordsRespectCharacters) {
    const TextBuffer t("\"C:\\" HYO "\\a b.exe\" " SO " x");
    EXPECT_EQ(t.WordCount(), 3);
    EXPECT_EQ(Str(t.Words(0, 0)), "C:\\" HYO "\\a b.exe");
    EXPECT_EQ(Str(t.Words(1, 1)), SO);
    // A lead byte takes the byte behind it, even a space, as its trail.
    EXPECT_EQ(TextBuffer("\x81 b").WordCount(), 1);
    SetLeadByteRanges(kSingleByte);
    EXPECT_EQ(TextBuffer("\x81 b").WordCount(), 2);
}

TEST_F(CodePage932, GroupsRespectCharacters) {
    // The "}" inside ± is its trail byte and closes nothing.
    const TextBuffer open("{a" PLUSMINUS);
    EXPECT_EQ(open.GroupCount("{", "}"), 0);
    EXPECT_EQ(Str(open.Groups(0, 0, "{", "}")), "");

    const TextBuffer closed("x{" PLUSMINUS "}y");
    EXPECT_EQ(closed.GroupCount("{", "}"), 1);
    EXPECT_EQ(Str(closed.Groups(0, 0, "{", "}")), "{" PLUSMINUS "}");

    TextBuffer path("<" HYO ">\\a");
    path.ReplaceGroups(0, 0, "<", ">", "C:\\" SO);
    EXPECT_EQ(Str(path), "C:\\" SO "\\a");
}

TEST_F(CodePage932, TrimComparesBytes) {
    // By design Trim is not double-byte aware: the trail byte goes.
    ExpectTrims({
        {"C:\\" HYO, "", "\\", "C:\\\x95"},
        {"\\" SO "\\\\", "\\", "\\", "\x83"},
        {HYO "a", "\\", "\\", HYO "a"},
    });
}

// Where a path's trailing separators must go, a trail byte 0x5C must stay.
TEST_F(CodePage932, RemoveTrailingSeparatorsKeepsCharacters) {
    const struct {
        const char *path, *without;
    } cases[] = {{"C:\\" HYO, "C:\\" HYO},
                 {"C:\\" HYO "\\\\", "C:\\" HYO},
                 {"\\\\server\\share\\", "\\\\server\\share"},
                 {"\\", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(Edited(c.path, [](TextBuffer& t) { RemoveTrailingSeparators(t); }), c.without);
}

}  // namespace
