// The symbol table and expansion without a process: the bounded, linear
// group rounds against the plain round-by-round reading they replace, the
// limits, and the table's rules.
#include <gtest/gtest.h>

#include "code_page_cases.h"

#include <map>
#include <random>
#include <string>

#include "script/misaimed_items.h"
#include "script/symbols.h"
#include "text/code_page.h"

namespace {

// Knows no registry and no shell folders: those functions stay as written.
struct NoLookups : SystemLookups {
    bool AppPath(const char*, AppPathValue, TextBuffer&) const override { return false; }
    bool SpecialFolder(int, TextBuffer&) const override { return false; }
};

struct MapResolver : GroupResolver {
    std::map<std::string, std::string> values;
    bool Resolve(const TextBuffer& group, TextBuffer& replacement) override {
        const auto found = values.find(group.c_str());
        if (found == values.end())
            return false;
        replacement = found->second.c_str();
        return true;
    }
};

// The rounds read group i from the start of the text each time.
std::string ReferenceRounds(TextBuffer text, MapResolver& resolver) {
    const int rounds = text.GroupCount("<", ">");
    for (int round = 0, i = 0; round < rounds; ++round) {
        TextBuffer replacement;
        if (resolver.Resolve(text.Groups(i, i, "<", ">"), replacement))
            text.ReplaceGroups(i, i, "<", ">", replacement.c_str());
        else
            ++i;
    }
    return text.c_str();
}

TEST(GroupRounds, AgreeWithTheRoundByRoundReadingOnOddTexts) {
    SetLeadByteRanges(kCp932);
    MapResolver resolver;
    resolver.values = {{"<a>", "x"},    {"<b>", "<a><c>"}, {"<c>", "<"}, {"<>", ">"},
                       {"<<a>>", "<a"}, {"<d>", "\x95<"},  {"<e>", ""},  {"<\x95>>", "<b>"}};
    const char pieces[][4] = {"<", ">", "a", "b", "c", "d", "e", "\x95", "\\", "<a>", "<b>", " "};
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        const int length = static_cast<int>(random() % 14);
        for (int k = 0; k < length; ++k)
            text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        TextBuffer rounds(text.c_str());
        ASSERT_NE(ReplaceGroupsInRounds(rounds, "<", ">", 1000, resolver), GroupRounds::kTooLong);
        ASSERT_EQ(std::string(rounds.c_str()), ReferenceRounds(text.c_str(), resolver)) << text;
    }
    SetLeadByteRanges(kSingleByte);
}

TEST(GroupRounds, StopBeforeTheTextGrowsBeyondTheLimit) {
    MapResolver resolver;
    resolver.values = {{"<a>", "12345"}};
    TextBuffer text("<a><a>");
    EXPECT_EQ(ReplaceGroupsInRounds(text, "<", ">", 9, resolver), GroupRounds::kTooLong);
    text = "<a><a>";
    EXPECT_EQ(ReplaceGroupsInRounds(text, "<", ">", 10, resolver), GroupRounds::kReplaced);
    EXPECT_STREQ(text.c_str(), "1234512345");
}

class Table : public ::testing::Test {
protected:
    NoLookups lookups;
    TextBuffer words{"/tX first \"two words\" third"};
    SymbolTable table{lookups, words};

    std::string Expand(const char* value, bool fits = true) {
        TextBuffer text(value);
        EXPECT_EQ(table.ExpandValue(text), fits) << value;
        return text.c_str();
    }
};

TEST_F(Table, DefinitionsSeeTheEntriesAboveThemAndBuiltInsAlwaysWin) {
    table.AddDefinition("<A>=<B>\\x");
    table.AddDefinition("<B>=<Win>\\y");
    table.AddDefinition("<K>=a=b");
    // A line without "=" names a symbol; it cannot empty a built-in.
    table.AddDefinition("<Temp>");
    table.Define("<Win>", "C:\\Windows");
    table.Define("<Temp>", "C:\\Temp");
    TextBuffer too_long;
    ASSERT_TRUE(table.ExpandDefinitions(too_long));
    EXPECT_EQ(Expand("<a>"), "<Win>\\y\\x");
    EXPECT_EQ(Expand("<B>\\..\\z"), "C:\\Windows\\z");
    EXPECT_EQ(Expand("<K>"), "a");
    EXPECT_EQ(Expand("<Temp>\\x"), "C:\\Temp\\x");
    EXPECT_EQ(Expand("<Nosuch>\\x<Win >"), "<Nosuch>\\x<Win >");
}

TEST_F(Table, ParamWordsAndRanges) {
    EXPECT_EQ(Expand("{?Param\\1}|{?Param\\-1}|{?Param\\9}"), "first|third|");
    EXPECT_EQ(Expand("{?Param\\1\\2}"), "first, two words");
    EXPECT_EQ(Expand("{?Param\\2\\1}"), "");
    EXPECT_EQ(Expand("{?Param\\2\\5}"), "two words, third, , ");
    // Ranges as wide as numbers go end, refused, instead of counting to INT_MAX.
    Expand("{?Param\\0\\2147483647}", false);
    Expand("{?Param\\-2147483648\\2147483647}", false);
    EXPECT_EQ(Expand("{?App\\none.exe}{?SpFolder\\1a}"), "{?App\\none.exe}{?SpFolder\\1a}");
}

TEST_F(Table, ValuesThatWouldGrowBeyondTheLimitsAreRefused) {
    // Each line doubles the one above: refused at the line that passes the limit.
    table.AddDefinition("<S0>=" + TextBuffer(std::string(1000, 'x').c_str()));
    for (int i = 1; i < 40; ++i) {
        const std::string line = "<S" + std::to_string(i) + ">=<S" + std::to_string(i - 1) + "><S" +
                                 std::to_string(i - 1) + ">";
        table.AddDefinition(line.c_str());
    }
    TextBuffer too_long;
    EXPECT_FALSE(table.ExpandDefinitions(too_long));
    EXPECT_STREQ(too_long.c_str(), "<S6>");  // 32,000 bytes fit, 64,000 do not

    // Many values just within the limit: the table as a whole is bounded.
    SymbolTable wide(lookups, words);
    wide.AddDefinition(("<W>=" + std::string(30000, 'w')).c_str());
    for (int i = 0; i < 100; ++i) wide.AddDefinition(("<C" + std::to_string(i) + ">=<W>").c_str());
    EXPECT_FALSE(wide.ExpandDefinitions(too_long));
    EXPECT_STREQ(too_long.c_str(), "<C33>");

    // Thousands of closing brackets, and groups that never close, cost little.
    EXPECT_EQ(Expand(std::string(32000, '>').c_str()), std::string(32000, '>'));
    EXPECT_EQ(Expand(("<" + std::string(32000, '<')).c_str()), "<" + std::string(32000, '<'));
}

// Each item of a value as a key that writes would see it: "-" fine, "root"
// the current drive's root, "here" the current folder, "empty" a path that
// only an empty symbol or function at its start made relative.
std::string Aims(const SymbolTable& table, const char* value) {
    TextBuffer text(value);
    EmptyExpansions empties;
    EXPECT_TRUE(table.ExpandValue(text, &empties)) << value;
    const char* const kNames[] = {"-", "root", "here", "empty"};
    std::string aims;
    for (int i = 0; i < text.ItemCount(","); ++i) {
        ptrdiff_t first = 0, last = 0;
        EXPECT_TRUE(text.FindItems(i, i, ",", &first, &last));
        aims += std::string(i > 0 ? " " : "") +
                kNames[static_cast<int>(MisaimOf(text, first, last, empties))];
    }
    return aims;
}

TEST_F(Table, ItemsThatOnlyAnEmptyExpansionOrTheCurrentFolderAim) {
    table.AddDefinition("<E>=");
    table.AddDefinition("<Word5>={?Param\\5}");
    table.AddDefinition("<Any>={?Param\\5}*");
    table.AddDefinition("<Rel>=data");
    table.Define("<Src>", "C:\\Update");
    TextBuffer too_long;
    ASSERT_TRUE(table.ExpandDefinitions(too_long));
    const struct {
        const char* value;
        const char* aims;
    } cases[] = {
        {"{?Param\\5}*, .{?Param\\5}, {?Param\\5}., Q:{?Param\\5}, Q:{?Param\\5}x",
         "empty here here here empty"},
        {"<E>x, <Word5>x, <Any>, <E>{?Param\\5}sub\\x, <E>\\x, <E>C:\\x",
         "empty empty empty empty root -"},
        {".,..,..\\..,...,. .,Q:,q:.\\,Q:..", "here here here here here here here here"},
        // What the script writes as a relative path, or a symbol gives as one, keeps its meaning.
        {"x, data\\*, <Rel>\\x, {?Param\\1}\\x, .x, <Src>\\x, \\\\srv\\x, C:\\, , <E>",
         "- - - - - - - - - -"},
        // An empty word of a range, and a mark carried past a removed "\.." step.
        {"{?Param\\1\\5}*", "- - - - empty"},
        {"C:\\a\\..\\b, {?Param\\5}y", "- empty"},
        // Something empty inside a function's argument is the function's own affair.
        {"{<E>?Param\\2}\\x", "-"},
    };
    for (const auto& c : cases) EXPECT_EQ(Aims(table, c.value), c.aims) << c.value;

    // An empty symbol doubled line by line: its marks stay as few as the
    // places they stand at.
    SymbolTable doubling(lookups, words);
    doubling.AddDefinition("<D0>=");
    for (int i = 1; i <= 40; ++i) {
        const std::string above = "<D" + std::to_string(i - 1) + ">";
        doubling.AddDefinition(("<D" + std::to_string(i) + ">=" + above + above).c_str());
    }
    ASSERT_TRUE(doubling.ExpandDefinitions(too_long));
    EXPECT_EQ(Aims(doubling, "<D40>x, y<D40>"), "empty -");
}

}  // namespace
