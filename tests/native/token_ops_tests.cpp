// Items, words, groups, replacing and trimming, in a single-byte code page
// and in code page 932, where a trail byte may equal a delimiter.
#include <gtest/gtest.h>

#include "code_page_cases.h"

#include <climits>
#include <string>

#include "text/code_page.h"
#include "text/text_buffer.h"

namespace {

// Code page 932 characters whose trail byte is an ASCII delimiter.
#define PLUSMINUS "\x81\x7D"  // ±, trail byte "}"

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
    TextBuffer t("a,b,c");
    t.ReplaceItems(1, 1, ",", "X");
    EXPECT_EQ(Str(t), "a,X,c");

    TextBuffer empty_item("a,,c");
    empty_item.ReplaceItems(1, 1, ",", "X");
    EXPECT_EQ(Str(empty_item), "a,X,c");

    TextBuffer first("a,b");
    first.ReplaceItems(0, 0, ",", "XY");
    EXPECT_EQ(Str(first), "XY,b");

    TextBuffer last("a,b");
    last.ReplaceItems(-1, -1, ",", "");
    EXPECT_EQ(Str(last), "a,");

    TextBuffer trailing("a,");
    trailing.ReplaceItems(1, 1, ",", "b");
    EXPECT_EQ(Str(trailing), "a,b");

    TextBuffer leading(",b");
    leading.ReplaceItems(0, 0, ",", "a");
    EXPECT_EQ(Str(leading), "a,b");

    TextBuffer several("a,b,c,d");
    several.ReplaceItems(1, 2, ",", "-");
    EXPECT_EQ(Str(several), "a,-,d");

    TextBuffer missing("a,b");
    missing.ReplaceItems(2, 2, ",", "X");
    EXPECT_EQ(Str(missing), "a,b");
    missing.ReplaceItems(1, 0, ",", "X");
    EXPECT_EQ(Str(missing), "a,b");
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
    TextBuffer middle("abcdef");
    middle.ReplaceRange(2, 3, "XYZ");
    EXPECT_EQ(Str(middle), "abXYZef");

    TextBuffer to_end("abcdef");
    to_end.ReplaceRange(2, 5, "X");
    EXPECT_EQ(Str(to_end), "abX");

    TextBuffer past_end("abcdef");
    past_end.ReplaceRange(4, 50, "X");
    EXPECT_EQ(Str(past_end), "abcdX");

    TextBuffer from_start("abcdef");
    from_start.ReplaceRange(0, 1, "");
    EXPECT_EQ(Str(from_start), "cdef");

    TextBuffer whole("abcdef");
    whole.ReplaceRange(0, 5, "new");
    EXPECT_EQ(Str(whole), "new");

    TextBuffer insert("abc");
    insert.ReplaceRange(1, 0, "-");  // an empty range inserts
    EXPECT_EQ(Str(insert), "a-bc");

    TextBuffer empty("");
    empty.ReplaceRange(0, -1, "x");
    EXPECT_EQ(Str(empty), "x");

    TextBuffer own("abc");
    own.ReplaceRange(0, 0, own.c_str());  // the text is the buffer's own
    EXPECT_EQ(Str(own), "abcbc");
}

TEST_F(SingleByte, ReplaceAll) {
    TextBuffer t("a%nb%n");
    EXPECT_TRUE(t.ReplaceAll("%n", "\n"));
    EXPECT_EQ(Str(t), "a\nb\n");

    TextBuffer none("ab");
    EXPECT_FALSE(none.ReplaceAll("%n", "\n"));
    EXPECT_EQ(Str(none), "ab");

    // The search restarts at the beginning after each replacement.
    TextBuffer again("abb");
    EXPECT_TRUE(again.ReplaceAll("ab", "a"));
    EXPECT_EQ(Str(again), "a");

    TextBuffer tabs("%t%t");
    EXPECT_TRUE(tabs.ReplaceAll("%t", "\t"));
    EXPECT_EQ(Str(tabs), "\t\t");

    TextBuffer empty("");
    EXPECT_FALSE(empty.ReplaceAll("%n", "\n"));
}

TEST_F(SingleByte, Trim) {
    TextBuffer t("  a b  ");
    t.Trim(" ", " ");
    EXPECT_EQ(Str(t), "a b");

    TextBuffer blanks("   ");
    blanks.Trim(" ", " ");
    EXPECT_EQ(Str(blanks), "");

    TextBuffer empty("");
    empty.Trim(" ", " ");
    EXPECT_EQ(Str(empty), "");

    TextBuffer tabs("\t a \t");
    tabs.Trim(" ", " ");
    EXPECT_EQ(Str(tabs), "\t a \t");

    TextBuffer path("C:\\dir\\\\");
    path.Trim("", "\\");
    EXPECT_EQ(Str(path), "C:\\dir");

    TextBuffer both("\\\\dir\\sub\\");
    both.Trim("\\", "\\");
    EXPECT_EQ(Str(both), "dir\\sub");

    TextBuffer braces("{{?App\\x.exe}}");
    braces.Trim("{", "}");
    EXPECT_EQ(Str(braces), "?App\\x.exe");

    TextBuffer semicolons("C:\\a;;");
    semicolons.Trim("", ";");
    EXPECT_EQ(Str(semicolons), "C:\\a");

    TextBuffer off(" a ");
    off.Trim("", "");
    EXPECT_EQ(Str(off), " a ");
}

TEST_F(SingleByte, TrimPatternsIgnoreAsciiCase) {
    TextBuffer t("ABabcAb");
    t.Trim("ab", "ab");
    EXPECT_EQ(Str(t), "c");
}

TEST_F(SingleByte, TrimTailNeverTakesHeadBytes) {
    // "ab" is dropped from the start; "a" alone is shorter than "ba".
    TextBuffer t("aba");
    t.Trim("ab", "ba");
    EXPECT_EQ(Str(t), "a");

    TextBuffer whole("abab");
    whole.Trim("ab", "b");
    EXPECT_EQ(Str(whole), "");
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
    TextBuffer path("C:\\" HYO "\\a.txt");
    path.ReplaceItems(-1, -1, "\\", "b.txt");
    EXPECT_EQ(Str(path), "C:\\" HYO "\\b.txt");
    path.ReplaceItems(1, 1, "\\", SO);
    EXPECT_EQ(Str(path), "C:\\" SO "\\b.txt");
    path.ReplaceItems(2, 2, "\\", "x");
    EXPECT_EQ(Str(path), "C:\\" SO "\\x");
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
    TextBuffer path("C:\\" HYO);
    path.Trim("", "\\");
    EXPECT_EQ(Str(path), "C:\\\x95");

    TextBuffer both("\\" SO "\\\\");
    both.Trim("\\", "\\");
    EXPECT_EQ(Str(both), "\x83");

    TextBuffer kept(HYO "a");
    kept.Trim("\\", "\\");
    EXPECT_EQ(Str(kept), HYO "a");
}

// Where a path's trailing separators must go, a trail byte 0x5C must stay.
TEST_F(CodePage932, RemoveTrailingSeparatorsKeepsCharacters) {
    TextBuffer path("C:\\" HYO);
    RemoveTrailingSeparators(path);
    EXPECT_EQ(Str(path), "C:\\" HYO);
    path = "C:\\" HYO "\\\\";
    RemoveTrailingSeparators(path);
    EXPECT_EQ(Str(path), "C:\\" HYO);
    path = "\\\\server\\share\\";
    RemoveTrailingSeparators(path);
    EXPECT_EQ(Str(path), "\\\\server\\share");
    path = "\\";
    RemoveTrailingSeparators(path);
    EXPECT_EQ(Str(path), "");
}

}  // namespace
