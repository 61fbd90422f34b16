// EXIST, DATE, VERIFY, OSVER and CRC end to end: the real updater.exe runs a
// script under the box spy. Each procedure's result flag is read by two MSGBOX
// probes right behind it, one shown for a true flag and one for a false flag,
// so that one run checks many procedures (test kinds never stop the run).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "reference_crc32.h"
#include "sandbox.h"

namespace {

const char kCaption[] = "検査 試験";  // the CRC boxes must carry the run's caption

// The bytes 123456789, whose CRC-32 is 0xCBF43926.
const char kCheckData[] = "123456789";
// Four bytes whose CRC-32 is 0: what a value that is not hexadecimal stands for.
const char kZeroCrcData[] = "\x9D\x0A\xD9\x6D";

// Two information boxes: "NAME=1" when the flag of NAME is set, "NAME=0" when not.
std::string Probes(const std::string& name) {
    std::string sections;
    for (const char* value : {"1", "0"}) {
        sections += "[" + name + "_" + value + "]\nMODE=MSGBOX\nFLAG=" + name + "," + value +
                    "\nTYPE=INFORMATION\nTEXT=" + name + "=" + value + "\nISABORT=\n";
    }
    return sections;
}

SpyResult RunChecked(const Sandbox& box, const std::string& ini) {
    box.WriteScript(ini);
    SpyResult result = box.Run();
    ExpectCleanEnd(result);
    return result;
}

// A run of the one procedure P and its probes shows exactly these boxes, each
// with the run's caption and no owner window.
void ExpectOnlyBoxes(const Sandbox& box, const std::string& section,
                     const std::vector<ExpectedBox>& boxes) {
    box.WriteScript(Script("P,P_1,P_0", "[P]\n" + section + Probes("P"), kCaption));
    ExpectShownBoxes(box.Run(), boxes, kCaption);
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// What a procedure's flag must be after its run; the texts of the boxes the
// procedure itself shows, in order, "{P}" standing for its name.
struct Check {
    std::string flag;
    std::string section;
    std::string what;
    std::vector<std::string> shown = {};
};

// Procedures P1, P2 ... one for each check, each followed by its probes, run
// once; then every flag and the boxes each procedure showed are compared.
void RunChecks(const Sandbox& box, const std::vector<Check>& checks) {
    std::string proc, sections;
    for (size_t i = 0; i < checks.size(); ++i) {
        const std::string name = "P" + std::to_string(i + 1);
        proc += (i == 0 ? "" : ",") + name + "," + name + "_1," + name + "_0";
        sections += "[" + name + "]\n" + checks[i].section + Probes(name);
    }
    const SpyResult result = RunChecked(box, Script(proc, sections, kCaption));
    size_t next = 0;
    for (size_t i = 0; i < checks.size(); ++i) {
        const Check& check = checks[i];
        const std::string name = "P" + std::to_string(i + 1);
        std::vector<std::string> shown;
        std::string flag = "(no probe)";
        for (; next < result.boxes.size(); ++next) {
            const std::string& text = result.boxes[next].text;
            if (text == name + "=1" || text == name + "=0") {
                flag = text.substr(name.size() + 1);
                ++next;
                break;
            }
            shown.push_back(text);
        }
        std::vector<std::string> expected = check.shown;
        for (std::string& text : expected) Replace(text, "{P}", name);
        EXPECT_EQ(flag, check.flag) << name << ": " << check.what;
        EXPECT_EQ(shown, expected) << name << ": " << check.what;
    }
}

// Sets the last-write time of a file to a local date and time.
void SetLocalWriteTime(const std::string& path, WORD year, WORD month, WORD day, WORD hour,
                       WORD minute) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    FILETIME local = {}, utc = {};
    ASSERT_TRUE(SystemTimeToFileTime(&time, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
}

// Holds a file open without sharing for as long as it lives.
class LockedFile {
public:
    explicit LockedFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~LockedFile() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool IsLocked() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// --- EXIST ---------------------------------------------------------------------

std::string ExistSection(const std::string& files) {
    return "MODE=EXIST\nFILE=" + files + "\n";
}

TEST(Exist, EveryItemMustExist) {
    Sandbox box("check_exist_all");
    box.WriteFile("a.txt", "a");
    box.WriteFile("b.dat", "b");
    box.MakeFolder("sub");
    box.MakeFolder("表");
    box.WriteFile("表\\ソフト.txt", "x");
    const std::string present =
        box.Path("a.txt") + " , " + box.Path("sub") + ", " + box.Path("*.dat");
    const std::string gone = box.Path("gone.txt");
    RunChecks(box,
              {{"1", ExistSection(present), "a file, a folder and a matching pattern"},
               {"0", ExistSection(present + "," + gone), "the last one missing"},
               {"0", ExistSection(gone + "," + present), "the first one missing"},
               {"0", "MODE=exist\nFILE=" + box.Path("*.none") + "\n", "a pattern matching nothing"},
               {"1", ExistSection(box.Path("表\\ソフト.txt")), "double-byte path"},
               {"0", ExistSection(box.Path("表\\ソフトX.txt")), "double-byte path, missing"}});
}

// --- DATE ----------------------------------------------------------------------

std::string DateSection(const std::string& files, const std::string& date) {
    return "MODE=DATE\nFILE=" + files + "\nDATE=" + date + "\n";
}

// One file per date, named after it: "2007-05-08-2359.txt".
std::string DatedFile(const Sandbox& box, WORD year, WORD month, WORD day, WORD hour = 12,
                      WORD minute = 0) {
    char name[32];
    snprintf(name, sizeof name, "%04u-%02u-%02u-%02u%02u.txt", year, month, day, hour, minute);
    box.WriteFile(name, name);
    SetLocalWriteTime(box.Path(name), year, month, day, hour, minute);
    return box.Path(name);
}

TEST(Date, ComparesTheLocalDateFieldByField) {
    Sandbox box("check_date_fields");
    const std::string first_minute = DatedFile(box, 2007, 5, 8, 0, 0);
    const std::string last_minute = DatedFile(box, 2007, 5, 8, 23, 59);
    const std::string day_before = DatedFile(box, 2007, 5, 7, 23, 59);
    const std::string next_year = DatedFile(box, 2008, 1, 1);
    const std::string year_before = DatedFile(box, 2006, 12, 31);
    const std::string november = DatedFile(box, 2007, 11, 30);
    const std::string june = DatedFile(box, 2007, 6, 1);
    RunChecks(box, {{"0", DateSection(first_minute, "2007/5/8"), "first minute of the day"},
                    {"0", DateSection(last_minute, "2007/05/08"), "last minute of the day"},
                    {"1", DateSection(day_before, "2007/5/8"), "the day before"},
                    {"0", DateSection(next_year, "2007/5/8"), "a later year wins"},
                    {"1", DateSection(year_before, "2007/1/1"), "an earlier year loses"},
                    {"1", DateSection(november, "2007/12/31"), "the month decides before the day"},
                    {"0", DateSection(june, "2007/5/31"), "a later month wins"}});
}

TEST(Date, DateTextParts) {
    Sandbox box("check_date_parts");
    const std::string new_year = DatedFile(box, 2007, 1, 1);
    const std::string old_year = DatedFile(box, 2006, 12, 31);
    const std::string may8 = DatedFile(box, 2007, 5, 8);
    RunChecks(box,
              {{"0", DateSection(new_year, "2007"), "month and day count as 0"},
               {"0", DateSection(new_year, "2007/x/y"), "non-numeric parts count as 0"},
               {"1", DateSection(old_year, "2007"), "an earlier year"},
               {"0", DateSection(old_year, ""), "an empty date: every file passes"},
               // 67543 is 65536 + 2007: the numbers are cut to the 16 bits of the system's fields.
               {"0", DateSection(may8, "67543/5/8"), "67543 cut to 2007"},
               {"1", DateSection(may8, "67543/5/9"), "67543 cut to 2007, a later day"},
               {"1", DateSection(may8, "-1/1/1"), "-1 is 65535, a year no file has"},
               {"1", DateSection(may8, "2007/ 5/ 9"), "leading spaces before numbers"},
               {"0", DateSection(may8, "2007/ 5/ 8"), "leading spaces before numbers"}});
}

TEST(Date, MissingFolderOrLockedFileIsDue) {
    Sandbox box("check_date_unreadable");
    const std::string recent = DatedFile(box, 2010, 1, 1);
    const std::string held = DatedFile(box, 2010, 1, 2);
    box.MakeFolder("sub");
    LockedFile lock(held);
    ASSERT_TRUE(lock.IsLocked());
    RunChecks(box, {{"0", DateSection(recent, "2007/5/8"), "a readable recent file"},
                    {"1", DateSection(box.Path("gone.txt"), "2007/5/8"), "a missing file"},
                    {"1", DateSection(box.Path("sub"), "2007/5/8"), "a folder"},
                    {"1", DateSection(held, "2007/5/8"), "a file held open without sharing"}});
}

TEST(Date, SomeFileDecides) {
    Sandbox box("check_date_list");
    const std::string news = DatedFile(box, 2010, 1, 1) + " , " + DatedFile(box, 2010, 2, 2);
    const std::string old = DatedFile(box, 2001, 1, 1);
    RunChecks(box, {{"0", DateSection(news, "2007/5/8"), "all recent"},
                    {"1", DateSection(news + "," + old, "2007/5/8"), "the last one older"},
                    {"1", DateSection(old + "," + news, "2007/5/8"), "the first one older"}});
}

// --- VERIFY and OSVER --------------------------------------------------------

std::string VerifySection(const std::string& first, const std::string& second) {
    return "MODE=VERIFY\nARG1=" + first + "\nARG2=" + second + "\n";
}

TEST(Verify, PairsAtTheSamePosition) {
    Sandbox box("check_verify");
    RunChecks(box, {{"1", VerifySection("D:\\App", "d:\\app"), "ASCII case is ignored"},
                    {"1", VerifySection("a,b", "x,b"), "the second pair"},
                    {"0", VerifySection("a,b", "b,a"), "only the same positions"},
                    {"0", VerifySection("a,b", "x"), "b against the missing item"},
                    {"1", VerifySection("a,", "x"), "an empty item equals a missing one"},
                    {"1", VerifySection("", ""), "both empty"},
                    {"0", VerifySection("", "x"), "ARG1 empty only"},
                    {"0", VerifySection("a", "x,a"), "later items of ARG2 are not looked at"},
                    {"1", VerifySection("x ,  b  ", "y,b"), "items are trimmed"}});
}

TEST(Verify, DoubleByteCharactersMatchExactly) {
    Sandbox box("check_verify_dbcs");
    RunChecks(box, {{"1", VerifySection("C:\\表\\Ａｂ", "c:\\表\\Ａｂ"), "equal texts"},
                    // ア is 0x83 0x41 and ヂ is 0x83 0x61: their trail bytes are not letters.
                    {"0", VerifySection("ア", "ヂ"), "trail bytes A and a"},
                    {"0", VerifySection("ィ", "ッ"), "trail bytes B and b"},
                    {"0", VerifySection("Ａ", "ａ"), "only ASCII letters are folded"}});
}

TEST(OsVer, WineIsOfTheNtFamily) {
    Sandbox box("check_osver");
    RunChecks(box, {{"1", "MODE=OSVER\n", "NT platform"}});
}

// --- CRC -----------------------------------------------------------------------

std::string CrcSection(const std::string& files, const std::string& type,
                       const std::string& expected) {
    return "MODE=CRC\nFILE=" + files + "\nTYPE=" + type + "\nCRC=" + expected + "\n";
}

std::string ReportText(const std::string& file, const std::string& value,
                       const std::string& proc = "{P}") {
    return "PROC\t: " + proc + "\nFILE\t: " + file + "\nCRC32\t: " + value;
}

std::string ErrorText(const std::string& file, const std::string& proc = "{P}") {
    return "PROC\t: " + proc + "\nFILE\t: " + file + "\nCRC32\t: GetFileData Error.";
}

class Crc : public ::testing::Test {
protected:
    Crc()
        : box_("check_crc_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        box_.WriteFile("good.txt", kCheckData);
        box_.WriteFile("good2.txt", kCheckData);
        box_.WriteFile("other.txt", "other");
        box_.WriteFile("empty.txt", "");
        box_.WriteFile("zero.bin", std::string(kZeroCrcData, 4));
    }
    std::string P(const std::string& name) const { return box_.Path(name); }

    Sandbox box_;
};

// Reports are information boxes and a file that cannot be read an error box,
// both with the run's caption; after either the run goes on.
TEST_F(Crc, ReportAndErrorBoxesExactly) {
    const struct {
        std::string section;
        std::vector<ExpectedBox> boxes;
    } cases[] = {
        {CrcSection(P("good.txt") + "  ,  " + P("zero.bin"), "AND", ""),
         {{ReportText(P("good.txt"), "0xCBF43926", "P"), kInformationBoxFlags},
          {ReportText(P("zero.bin"), "0x00000000", "P"), kInformationBoxFlags},
          {"P=1", kInformationBoxFlags}}},
        {CrcSection(P("gone.txt"), "", ""),
         {{ErrorText(P("gone.txt"), "P"), kErrorBoxFlags}, {"P=0", kInformationBoxFlags}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        ExpectOnlyBoxes(box_, c.section, c.boxes);
    }
}

TEST_F(Crc, UnreadableFiles) {
    box_.WriteFile("held.txt", kCheckData);
    LockedFile lock(P("held.txt"));
    ASSERT_TRUE(lock.IsLocked());
    std::vector<Check> checks;
    for (const std::string& file : {P("gone.txt"), P("empty.txt"), box_.Path(), P("held.txt")}) {
        checks.push_back({"0",
                          CrcSection(file + "," + P("good.txt"), "", ""),
                          "report of " + file + "; the second file is not looked at",
                          {ErrorText(file)}});
    }
    checks.push_back({"0", CrcSection(P("held.txt"), "AND", "CBF43926"), "held: check, AND"});
    checks.push_back({"0", CrcSection(P("held.txt"), "", "CBF43926"), "held: check, any"});
    checks.push_back({"0", CrcSection(P("empty.txt"), "AND", "0"),
                      "an empty file is unreadable, not a file whose CRC is 0"});
    RunChecks(box_, checks);
}

TEST_F(Crc, ReportsInOrderAndTheRestAreChecked) {
    const std::string large = std::string(200000, '\0') + "tail";  // several read blocks
    box_.WriteFile("large.bin", large);
    box_.MakeFolder("表");
    box_.WriteFile("表\\データ.txt", kCheckData);
    char value[16];
    snprintf(value, sizeof value, "0x%08X", ReferenceCrc32(large));
    RunChecks(
        box_,
        {// CRC has one item fewer than FILE: the last two files are reported.
         {"1",
          CrcSection(P("good.txt") + "," + P("zero.bin") + "," + P("large.bin"), "AND", "cbf43926"),
          "a check, then two reports",
          {ReportText(P("zero.bin"), "0x00000000"), ReportText(P("large.bin"), value)}},
         {"1",
          CrcSection(P("表\\データ.txt"), "", ""),
          "double-byte path",
          {ReportText(P("表\\データ.txt"), "0xCBF43926")}}});
}

TEST_F(Crc, ExpectedValueForms) {
    std::vector<Check> checks;
    for (const char* value : {"CBF43926", "cbf43926", "0xCBF43926", "0XcbF43926"})
        checks.push_back({"1", CrcSection(P("good.txt"), "AND", value), value});
    checks.push_back({"1", CrcSection(P("good.txt"), "AND", "  0xcbf43926  ,"), "spaces around"});
    checks.push_back({"0", CrcSection(P("good.txt"), "AND", "CBF43927"), "one off"});
    // Not hexadecimal: stands for 0, which only the four-byte file has.
    checks.push_back({"1", CrcSection(P("zero.bin"), "AND", "zzz"), "zzz is 0, and so is the CRC"});
    checks.push_back({"0", CrcSection(P("good.txt"), "AND", "zzz"), "zzz is 0, the CRC is not"});
    RunChecks(box_, checks);
}

TEST_F(Crc, AndNeedsEveryFile) {
    const std::string both = P("good.txt") + "," + P("good2.txt");
    RunChecks(box_,
              {{"1", CrcSection(both, "AND", "CBF43926,CBF43926"), "both match"},
               {"1", CrcSection(both, "and", "CBF43926,CBF43926"), "and as AND"},
               {"0", CrcSection(both, "AND", "CBF43926,1234"), "the second differs"},
               {"0", CrcSection(both, "AND", "1234,CBF43926"), "the first differs"},
               {"0", CrcSection(P("gone.txt") + "," + P("good.txt"), "AND", "0,CBF43926"),
                "the first is missing"},
               {"1",
                CrcSection(both, "AND", ",CBF43926"),
                "a report passes",
                {ReportText(P("good.txt"), "0xCBF43926")}},
               {"0", CrcSection(both, "AND", "1234,"), "a failing check stops before the report"},
               {"0",
                CrcSection(P("gone.txt") + "," + P("good.txt"), "AND", ",CBF43926"),
                "an unreadable report file",
                {ErrorText(P("gone.txt"))}}});
}

TEST_F(Crc, AnyOtherTypeNeedsOneMatch) {
    const std::string good_other = P("good.txt") + "," + P("other.txt");
    const std::string other_good = P("other.txt") + "," + P("good.txt");
    RunChecks(box_,
              {{"1", CrcSection(other_good, "", "CBF43926,CBF43926"), "only the second matches"},
               {"1", CrcSection(other_good, "OR", "CBF43926,CBF43926"), "OR is any"},
               {"1", CrcSection(good_other, "ANDX", "CBF43926,CBF43926"), "ANDX is any"},
               {"0", CrcSection(other_good, "", "1,2"), "neither matches"},
               {"1", CrcSection(P("gone.txt") + "," + P("good.txt"), "", "0,CBF43926"),
                "a missing file, then a match"},
               {"1", CrcSection(good_other, "", "CBF43926,"), "a match stops before the report"},
               {"1",
                CrcSection(other_good, "", "1234,"),
                "a failing check, then a last report",
                {ReportText(P("good.txt"), "0xCBF43926")}},
               {"0",
                CrcSection(good_other, "", ",1234"),
                "a report, then a failing last check",
                {ReportText(P("good.txt"), "0xCBF43926")}},
               {"0",
                CrcSection(P("gone.txt") + "," + P("good.txt"), "", ",CBF43926"),
                "an unreadable report file stops",
                {ErrorText(P("gone.txt"))}}});
}

// --- Keys of every kind here ------------------------------------------------------

// An empty file list fails the run, and a missing key stops the procedure
// before it is built: either way the one error box, and nothing after it.
TEST(TestKinds, EmptyFileListsAndMissingKeysFailTheRun) {
    Sandbox box("check_keys");
    const std::string empty_list = ExpectedMessage(kMsgBadItemCount, {"P", "FILE"});
    const struct {
        std::string section, text;
    } cases[] = {
        {ExistSection(""), empty_list},
        {DateSection("", "2007/5/8"), empty_list},
        {"MODE=DATE\nFILE=x\n", ExpectedMessage(kMsgBadFormat, {"P", "DATE"})},
        {"MODE=VERIFY\nARG2=x\n", ExpectedMessage(kMsgBadFormat, {"P", "ARG1"})},
        {CrcSection("", "AND", ""), empty_list},
        {"MODE=CRC\nFILE=x\nCRC=\n", ExpectedMessage(kMsgBadFormat, {"P", "TYPE"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        ExpectOnlyBoxes(box, c.section, {{c.text, kErrorBoxFlags}});
    }
}

}  // namespace
