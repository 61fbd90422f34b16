// The undo journal's text and its places, natively: batches read back only
// when sealed and intact, wherever a crash cut the file; only a journal of
// this version is current; paths found without regard to ASCII case but
// never by folding a double-byte character's trail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/path_text.h"
#include "undo/journal_format.h"
#include "text/code_page.h"

namespace {

const unsigned char kCp932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
const unsigned char kSingleByte[] = {0, 0};

#define HYO "\x95\x5C"  // 表: its trail byte is a backslash

class UndoFormat : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(kCp932); }
    void TearDown() override { SetLeadByteRanges(kSingleByte); }
};

Record Make(RecordType type, char how, const char* path, const char* other = "") {
    Record record;
    record.type = type;
    record.how = how;
    record.number = 0x1234;
    record.state.attributes = 0x21;
    record.state.created = 0x01D0000012345678ULL;
    record.state.written = 0xFFFFFFFFFFFFFFFFULL;
    record.SetPrint({0x123456789ULL, record.state.written, 0xCAFE0001u, 0x7000000000000001ULL});
    record.path = path;
    record.other = other;
    return record;
}

// Three batches, the last with a single record: the journal of a short run.
std::string Journal(std::vector<size_t>* batch_ends) {
    Record version = Make(RecordType::kVersion, '-', "");
    version.number = kJournalVersion;
    const std::vector<std::vector<Record>> batches = {
        {version, Make(RecordType::kHeader, '-', "C:\\" HYO "\\upd.ini", "D:\\aside")},
        {Make(RecordType::kProcedure, '-', ""), Make(RecordType::kPlace, 'f', "C:\\App\\a b.exe"),
         Make(RecordType::kPlace, 'a', "C:\\" HYO "\\new")},
        {Make(RecordType::kMoved, '-', "C:\\x", "C:\\" HYO "\\y")},
    };
    std::string text;
    for (const auto& records : batches) {
        JournalBatch batch;
        for (const Record& record : records) batch.Add(record);
        batch.Seal();
        text.append(batch.Bytes(), batch.Length());
        batch_ends->push_back(text.size());
    }
    return text;
}

TEST_F(UndoFormat, RecordsComeBackAsWritten) {
    std::vector<size_t> ends;
    const std::string text = Journal(&ends);
    List<Record> records;
    ParseJournal(text.data(), text.size(), records);
    ASSERT_EQ(records.Count(), 6);
    const Record& place = records[3];
    EXPECT_EQ(place.type, RecordType::kPlace);
    EXPECT_EQ(place.how, 'f');
    EXPECT_EQ(place.number, 0x1234u);
    EXPECT_EQ(place.state.attributes, 0x21u);
    EXPECT_EQ(place.state.created, 0x01D0000012345678ULL);
    EXPECT_EQ(place.state.written, 0xFFFFFFFFFFFFFFFFULL);
    EXPECT_TRUE(place.Print() == Make(RecordType::kPrint, '-', "").Print());
    EXPECT_EQ(place.Print().index, 0x7000000000000001ULL);
    EXPECT_STREQ(place.path.c_str(), "C:\\App\\a b.exe");
    EXPECT_STREQ(records[1].path.c_str(), "C:\\" HYO "\\upd.ini");
    EXPECT_STREQ(records[1].other.c_str(), "D:\\aside");
    EXPECT_STREQ(records[5].other.c_str(), "C:\\" HYO "\\y");
}

// Only a journal that begins with this version's record and a header is obeyed.
TEST_F(UndoFormat, OnlyAJournalOfThisVersionIsCurrent) {
    std::vector<size_t> ends;
    const std::string text = Journal(&ends);
    JournalBatch older;
    Record version = Make(RecordType::kVersion, '-', "");
    version.number = kJournalVersion - 1;
    older.Add(version);
    older.Add(Make(RecordType::kHeader, '-', "C:\\u.ini"));
    older.Seal();
    const std::string cases[] = {text, text.substr(ends[0]),
                                 std::string(older.Bytes(), older.Length()) + text.substr(ends[0])};
    for (const std::string& journal : cases) {
        List<Record> records;
        ParseJournal(journal.data(), journal.size(), records);
        EXPECT_GT(records.Count(), 0);
        EXPECT_EQ(IsCurrentJournal(records), &journal == &cases[0]);
    }
}

// Cut at every byte, as a crash may: only the batches sealed before the cut
// are read, and their length tells where the cut batch begins.
TEST_F(UndoFormat, BatchCutShortIsNeverRead) {
    std::vector<size_t> ends;
    const std::string text = Journal(&ends);
    const int counts[] = {2, 3, 1};
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        int expected = 0;
        size_t sealed = 0;
        for (size_t b = 0; b < ends.size(); ++b) {
            expected += ends[b] <= cut ? counts[b] : 0;
            sealed = ends[b] <= cut ? ends[b] : sealed;
        }
        List<Record> records;
        EXPECT_EQ(ParseJournal(text.data(), cut, records), sealed) << "cut at " << cut;
        EXPECT_EQ(records.Count(), expected) << "cut at " << cut;
    }
}

// A changed byte fails its batch's seal: that batch and all after it are dropped.
TEST_F(UndoFormat, DamagedBatchEndsTheReading) {
    std::vector<size_t> ends;
    const std::string text = Journal(&ends);
    const struct {
        size_t at;
        int kept;
        size_t sealed;
    } cases[] = {{2, 0, 0},
                 {ends[0] + 10, 2, ends[0]},
                 {ends[1] - 3, 2, ends[0]},
                 {ends[2] - 20, 5, ends[1]}};
    for (const auto& c : cases) {
        std::string damaged = text;
        damaged[c.at] = damaged[c.at] == '0' ? '1' : '0';
        List<Record> records;
        EXPECT_EQ(ParseJournal(damaged.data(), damaged.size(), records), c.sealed)
            << "byte " << c.at;
        EXPECT_EQ(records.Count(), c.kept) << "byte " << c.at;
    }
}

TEST_F(UndoFormat, PlacesAreFoundWithoutRegardToAsciiCase) {
    PlaceIndex places;
    Place place;
    const char* paths[] = {"C:\\App\\Main.exe", "C:\\" HYO "\\x", "C:\\\x83\x41", "C:\\\x83\x61"};
    for (const char* path : paths) {
        place.path = path;
        places.Add(place);
    }
    // Enough to grow the table more than once.
    for (int i = 0; i < 300; ++i) {
        place.path = ("C:\\many\\" + std::to_string(i)).c_str();
        places.Add(place);
    }
    EXPECT_EQ(places.Count(), 304);
    EXPECT_EQ(places.Find("c:\\APP\\main.EXE"), 0);
    EXPECT_EQ(places.Find("c:\\" HYO "\\X"), 1);
    // Trail bytes 0x41 and 0x61 are two characters, not one letter's two cases.
    EXPECT_EQ(places.Find("C:\\\x83\x41"), 2);
    EXPECT_EQ(places.Find("C:\\\x83\x61"), 3);
    EXPECT_EQ(places.Find("C:\\many\\299"), 303);
    EXPECT_EQ(places.Find("C:\\App"), -1);
    // A second place of the same path is the first one.
    place.path = "C:\\app\\MAIN.exe";
    EXPECT_EQ(places.Add(place), 0);
    EXPECT_EQ(places.Count(), 304);
    // A record is obeyed at a place or below one, nowhere else.
    EXPECT_TRUE(places.Covers("C:\\many\\7\\deep\\x"));
    EXPECT_TRUE(places.Covers("c:\\app\\MAIN.exe"));
    EXPECT_FALSE(places.Covers("C:\\App"));
    EXPECT_FALSE(places.Covers("C:\\many\\3000"));
}

TEST_F(UndoFormat, PathsBelowAFolderAndTheirDepth) {
    EXPECT_TRUE(IsAtOrBelow("c:\\app\\X", "C:\\App"));
    EXPECT_TRUE(IsAtOrBelow("C:\\App", "c:\\app"));
    EXPECT_FALSE(IsAtOrBelow("C:\\Apple", "C:\\App"));
    EXPECT_TRUE(IsAtOrBelow("C:\\" HYO "\\x", "C:\\" HYO));
    EXPECT_FALSE(IsAtOrBelow("C:\\" HYO "x", "C:\\" HYO));
    EXPECT_TRUE(IsAtOrBelow("C:\\x", "C:\\"));
    EXPECT_EQ(PathDepth("C:\\" HYO "\\x"), 2);
    EXPECT_EQ(PathDepth("\\\\server\\share\\x"), 2);
    EXPECT_STREQ(SlotName(0x1F, "e", 130).c_str(), "0000001F\\e000002\\02");
    // A root ends in its separator; a folder ending in 表 does not.
    EXPECT_STREQ(JoinPath("C:\\", "x").c_str(), "C:\\x");
    EXPECT_STREQ(JoinPath("C:\\" HYO, "x").c_str(), "C:\\" HYO "\\x");
}

}  // namespace
