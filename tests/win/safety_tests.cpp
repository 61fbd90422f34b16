// Data safety end to end through the shipped updater.exe: data that no script,
// spelling of a path or fault may destroy, failures that must be reported,
// and expansion that stays cheap whatever a script holds.
//
// Drives Q: and R: (one folder under two letters) and the small disk come from
// drives-fixture.sh, which ctest runs first.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "file_procs_helpers.h"
#include "sandbox.h"
#include "tree_snapshot.h"

namespace {

const char kDriveRoot[] = "Q:\\";

std::string FixtureFolder() {
    const char* fixture = getenv("SAFETY_FIXTURE");
    return fixture != nullptr ? WindowsPathOf(fixture) : "";
}

bool IsFolderPath(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Fails the test (never skips it) when the fixture's drives are missing.
void ExpectDrives() {
    ASSERT_TRUE(IsFolderPath("Q:\\") && IsFolderPath("R:\\"))
        << "drives Q: and R: are not mapped: run through ctest, whose fixture maps them";
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Fails with what a run added, removed or changed below folder: names,
// attributes, times and bytes.
void ExpectUnchanged(const std::string& folder, const TreeSnapshot& before) {
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(folder))) << "in " << folder;
}

// A box that shows when the procedure's flag is set: the procedure succeeded
// and the run went on.
std::string SaySection(const std::string& of) {
    return Section("SAY", "MODE=MSGBOX\nFLAG=" + of + ",1\nTYPE=INFORMATION\nTEXT=" + of +
                              " done\nISABORT=\n");
}

std::string PairSection(const std::string& kind, const std::string& from, const std::string& to) {
    return Section("P", "MODE=" + kind + "\nFROM=" + from + "\nTO=" + to + "\n");
}

// Every "<Src>" in text replaced by the sandbox's folder, as the program expands it.
std::string Filled(std::string text, const Sandbox& box) {
    for (size_t at = text.find("<Src>"); at != std::string::npos; at = text.find("<Src>", at)) {
        text.replace(at, 5, box.Path());
        at += box.Path().size();
    }
    return text;
}

std::vector<std::string> Filled(const std::vector<std::string>& texts, const Sandbox& box) {
    std::vector<std::string> filled;
    for (const std::string& text : texts) filled.push_back(Filled(text, box));
    return filled;
}

std::string Message(int id, const std::vector<std::string>& arguments) {
    const auto arg = [&arguments](size_t i) { return i < arguments.size() ? arguments[i] : ""; };
    return ExpectedMessage(id, {arg(0), arg(1)});
}

// --- Same file or folder, whatever the spelling ------------------------------------------

// Ways to write a path that names the same place; some name only a file.
struct Spelling {
    const char* name;
    std::string (*spell)(const std::string& path);
    bool files_only = false;
};

std::string AsItIs(const std::string& path) {
    return path;
}
std::string InUpperCase(const std::string& path) {
    return Upper(path);
}
std::string WithDotStep(const std::string& path) {
    const size_t last = path.rfind('\\');
    return path.substr(0, last) + "\\." + path.substr(last);
}
std::string ShortName(const std::string& path) {
    char short_path[MAX_PATH] = {};
    const DWORD size = GetShortPathNameA(path.c_str(), short_path, MAX_PATH);
    EXPECT_TRUE(size > 0 && size < MAX_PATH && path != short_path) << path;
    return short_path;
}
// Q: and R: name one folder, as a UNC path and a drive path can name one share.
std::string OnOtherDrive(const std::string& path) {
    return "R:" + path.substr(2);
}
// A ".." step right behind the drive, which names the drive's root again:
// the expansion leaves this step as written, for the copy to see.
std::string WithDotDotStep(const std::string& path) {
    return path.substr(0, 2) + "\\.." + path.substr(2);
}
std::string WithSlashes(const std::string& path) {
    std::string slashed = path;
    for (char& c : slashed) {
        if (c == '\\')
            c = '/';
    }
    return slashed;
}
// A second name of the file, made beside it.
std::string SecondName(const std::string& path) {
    const std::string link = path.substr(0, path.rfind('\\')) + "\\second name";
    EXPECT_TRUE(CreateHardLinkA(link.c_str(), path.c_str(), nullptr)) << GetLastError();
    return link;
}

const std::vector<Spelling> kSpellings = {{"as it is", AsItIs},
                                          {"upper case", InUpperCase},
                                          {"with a .\\ step", WithDotStep},
                                          {"short name", ShortName},
                                          {"other drive letter", OnOtherDrive}};
// Further spellings that COPY's own guard must know, since the system's copy
// refuses them all alike.
const std::vector<Spelling> kCopySpellings = {{"with a ..\\ step", WithDotDotStep},
                                              {"with slashes", WithSlashes},
                                              {"a second name", SecondName, true}};

// A source and a target in the sandbox: the target's place, spelled, then a tail.
struct PairItem {
    const char* source;
    const char* target;
    const char* tail;
};

// A sandbox on Q: with long names, so that every one has a short one.
class SameItem : public testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(ExpectDrives()); }

    static void Fill(const Sandbox& box) {
        box.MakeFolder("a long folder\\sub folder");
        box.WriteFile("a long name.txt", "only copy of a file");
        box.WriteFile("a long folder\\inner file.txt", "inner");
        box.WriteFile("a long folder\\sub folder\\deep file.txt", "deep");
    }

    // Runs the pair for every item in every spelling, each in a fresh
    // sandbox: the run must show message (0: none, the pair is done and the
    // run goes on) and leave every file and folder as it was. own_guard: the
    // further spellings too, and a run with a log and an undo, whose log must
    // show that the refusal came before any file was acted on: no file line,
    // and the guard's error code alone.
    static void RunEverySpelling(const std::string& kind, const std::vector<PairItem>& items,
                                 int message, bool own_guard = false) {
        std::vector<Spelling> spellings = kSpellings;
        if (own_guard)
            spellings.insert(spellings.end(), kCopySpellings.begin(), kCopySpellings.end());
        int n = 0;
        for (const PairItem& item : items) {
            for (const Spelling& spelling : spellings) {
                SCOPED_TRACE(kind + " " + item.source + " onto " + item.target + item.tail +
                             " written " + spelling.name);
                Sandbox box("same_item_" + std::to_string(n++), "Q:");
                Fill(box);
                const std::string source = box.Path(item.source);
                if (spelling.files_only && (strchr(item.source, '*') || IsFolderPath(source)))
                    continue;
                const std::string target = spelling.spell(box.Path(item.target)) + item.tail;
                const std::string log = box.Path() + ".log";
                DeleteFileA(log.c_str());
                box.WriteScript(
                    Script("P,SAY", (own_guard ? "LOG=" + log + "\nROLLBACK=YES\n" : "") +
                                        PairSection(kind, source, target) + SaySection("P")));
                const TreeSnapshot before = SnapshotOf(box.Path());
                const SpyResult run = box.Run();
                if (message == 0) {
                    ExpectShownBoxes(run, {{"P done", kInformationBoxFlags}}, "N");
                } else {
                    ExpectBoxes(run, {ExpectedMessage(message, {source, target})});
                }
                ExpectUnchanged(box.Path(), before);
                if (own_guard) {
                    const std::vector<std::string> lines = LogLines(log);
                    EXPECT_EQ(Matching(lines, "failed to "), std::vector<std::string>{});
                    EXPECT_EQ(Matching(lines, "error 32: ").size(), 1u);
                    DeleteFileA(log.c_str());
                }
            }
        }
    }
};

const std::vector<PairItem> kOntoItself = {{"a long name.txt", "a long name.txt", ""},
                                           {"a long folder", "a long folder", ""},
                                           {"a long folder\\*.txt", "a long folder", "\\x"}};

// Nothing moves and nothing is lost; the pair counts as done. (A target whose
// name differs only in case is renamed to it, which Wine does not show.)
TEST_F(SameItem, MoveOntoItselfMovesNothing) {
    RunEverySpelling("MOVE", kOntoItself, 0);
}

// Refused by COPY's own guard, before the system's copy could write the
// file empty or an undo set it aside.
TEST_F(SameItem, CopyOntoItselfIsRefused) {
    RunEverySpelling("COPY", kOntoItself, 8, true);
}

// --- Into its own subfolder ---------------------------------------------------------------

const std::vector<PairItem> kIntoItself = {
    {"a long folder", "a long folder", "\\new"},
    {"a long folder", "a long folder\\sub folder", "\\new\\deeper"},
    {"a long folder\\*", "a long folder\\sub folder", "\\x"},
    {"a long folder\\*", "a long folder\\sub folder", "\\new\\x"},
};

TEST_F(SameItem, CopyIntoItsOwnSubfolderIsRefused) {
    RunEverySpelling("COPY", kIntoItself, 8);
}

TEST_F(SameItem, MoveIntoItsOwnSubfolderIsRefused) {
    RunEverySpelling("MOVE", kIntoItself, 14);
}

// --- The root of the current drive --------------------------------------------------------

// The program runs from Q:\, whose root holds the victims; <Src> is a sandbox
// elsewhere. Each procedure's first item is harmless and must not be done
// either, since every item is checked before any is acted on.
struct RootCase {
    const char* name;
    const char* define;  // lines of the DEFINE section, if any
    const char* section;
    MessageId message;
    std::vector<std::string> arguments;  // "<Src>" stands for the sandbox
};

const RootCase kRootCases[] = {
    {"DELETE",
     "",
     "MODE=DELETE\nFILE=<Src>\\first.txt, \\victim.txt\n",
     kMsgDeleteFailed,
     {"\\victim.txt"}},
    {"DELETE slash",
     "",
     "MODE=DELETE\nFILE=<Src>\\first.txt, /victim folder\n",
     kMsgDeleteFailed,
     {"/victim folder"}},
    {"DELETE empty parameter",
     "<App>={?Param\\1}\n",
     "MODE=DELETE\nFILE=<Src>\\first.txt, <App>\\victim.txt\n",
     kMsgDeleteFailed,
     {"\\victim.txt"}},
    {"MOVE source",
     "",
     "MODE=MOVE\nFROM=<Src>\\first.txt, \\victim.txt\nTO=<Src>\\moved.txt, <Src>\\got.txt\n",
     kMsgMoveFailed,
     {"\\victim.txt", "<Src>\\got.txt"}},
    {"MOVE target",
     "",
     "MODE=MOVE\nFROM=<Src>\\first.txt, <Src>\\second.txt\nTO=<Src>\\moved.txt, \\victim.txt\n",
     kMsgMoveFailed,
     {"<Src>\\second.txt", "\\victim.txt"}},
    {"SHELL source",
     "",
     "MODE=SHELL\nFUNC=COPY, MOVE\nFROM=<Src>\\first.txt, \\victim.txt\n"
     "TO=<Src>\\copied.txt, <Src>\\got.txt\n",
     kMsgShellFailed,
     {}},
    {"SHELL target",
     "",
     "MODE=SHELL\nFUNC=COPY, COPY\nFROM=<Src>\\first.txt, <Src>\\second.txt\n"
     "TO=<Src>\\copied.txt, \\victim.txt\n",
     kMsgShellFailed,
     {}},
    {"ATTR",
     "",
     "MODE=ATTR\nFILE=<Src>\\first.txt, \\victim.txt\nARG=1, 1\n",
     kMsgAttributesFailed,
     {"\\victim.txt", "0x1"}},
    {"COPY",
     "",
     "MODE=COPY\nFROM=<Src>\\first.txt, <Src>\\second.txt\nTO=<Src>\\copied.txt, \\victim.txt\n",
     kMsgCopyFailed,
     {"<Src>\\second.txt", "\\victim.txt"}},
    {"COPY folder",
     "",
     "MODE=COPY\nFROM=<Src>\\first.txt, <Src>\\folder\nTO=<Src>\\copied.txt, /victim folder\n",
     kMsgCopyFailed,
     {"<Src>\\folder", "/victim folder"}},
    {"MAKEDIR",
     "",
     "MODE=MAKEDIR\nDIR=<Src>\\made, \\made by run\n",
     kMsgMakeDirFailed,
     {"\\made by run"}},
    {"RSRC",
     "",
     "MODE=RSRC\nFROM=<Src>\\source.exe\nTO=\\target.exe\nTYPE=#16\nNAME=#1\n",
     kMsgResourceFailed,
     {"<Src>\\source.exe", "\\target.exe"}},
    {"LINK",
     "",
     "MODE=LINK\nSRC=<Src>\\first.txt, <Src>\\first.txt\nPARAM=\nSHOWCMD=\n"
     "DST=<Src>\\made, \\victim link\n",
     kMsgLinkFailed,
     {"<Src>\\first.txt", "\\victim link"}},
    // {?Param\5} is empty: what it leaves names the current folder (Q:\) or
    // a path in it, in every kind alike.
    {"SHELL DELETE empty before a pattern",
     "",
     "MODE=SHELL\nFUNC=COPY, DELETE\nFROM=<Src>\\first.txt, {?Param\\5}*\n"
     "TO=<Src>\\copied.txt,\n",
     kMsgShellFailed,
     {}},
    {"DELETE empty before a pattern",
     "",
     "MODE=DELETE\nFILE=<Src>\\first.txt, {?Param\\5}*\n",
     kMsgDeleteFailed,
     {"*"}},
    {"DELETE dot before empty",
     "",
     "MODE=DELETE\nFILE=<Src>\\first.txt, .{?Param\\5}\n",
     kMsgDeleteFailed,
     {"."}},
    {"DELETE parent folder",
     "",
     "MODE=DELETE\nFILE=<Src>\\first.txt, ..\n",
     kMsgDeleteFailed,
     {".."}},
    {"COPY empty before a dot",
     "",
     "MODE=COPY\nFROM=<Src>\\first.txt, <Src>\\folder\nTO=<Src>\\copied.txt, {?Param\\5}.\n",
     kMsgCopyFailed,
     {"<Src>\\folder", "."}},
    {"COPY drive and empty",
     "",
     "MODE=COPY\nFROM=<Src>\\first.txt, <Src>\\folder\nTO=<Src>\\copied.txt, Q:{?Param\\5}\n",
     kMsgCopyFailed,
     {"<Src>\\folder", "Q:"}},
    {"MOVE empty symbol",
     "<Old>={?Param\\5}\n",
     "MODE=MOVE\nFROM=<Src>\\first.txt, <Old>victim.txt\nTO=<Src>\\moved.txt, <Src>\\got.txt\n",
     kMsgMoveFailed,
     {"victim.txt", "<Src>\\got.txt"}},
    {"ATTR empty before a pattern",
     "",
     "MODE=ATTR\nFILE=<Src>\\first.txt, {?Param\\5}*\nARG=1, 1\n",
     kMsgAttributesFailed,
     {"*", "0x1"}},
    {"MAKEDIR empty",
     "",
     "MODE=MAKEDIR\nDIR=<Src>\\made, {?Param\\5}made by run\n",
     kMsgMakeDirFailed,
     {"made by run"}},
    {"RSRC empty",
     "",
     "MODE=RSRC\nFROM=<Src>\\source.exe\nTO={?Param\\5}target.exe\nTYPE=#16\nNAME=#1\n",
     kMsgResourceFailed,
     {"<Src>\\source.exe", "target.exe"}},
    {"LINK drive and empty",
     "",
     "MODE=LINK\nSRC=<Src>\\first.txt, <Src>\\first.txt\nPARAM=\nSHOWCMD=\n"
     "DST=<Src>\\made, Q:{?Param\\5}victim link\n",
     kMsgLinkFailed,
     {"<Src>\\first.txt", "Q:victim link"}},
};

class DriveRoot : public testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(ExpectDrives()); }

    // The victims in Q:\ and the harmless sources in the sandbox.
    static void Fill(const Sandbox& box) {
        CreateDirectoryA("Q:\\victim folder", nullptr);
        WriteAll("Q:\\victim.txt", "victim");
        WriteAll("Q:\\victim folder\\inside.txt", "inside");
        CopyFileA((TestProgramFolder() + "rsrc_target.exe").c_str(), "Q:\\target.exe", FALSE);
        CopyFileA((TestProgramFolder() + "rsrc_source.exe").c_str(), "Q:\\source.exe", FALSE);
        box.MakeFolder("folder");
        box.WriteFile("first.txt", "first");
        box.WriteFile("second.txt", "second");
        box.WriteFile("folder\\f.txt", "f");
        CopyFileA((TestProgramFolder() + "rsrc_source.exe").c_str(), box.Path("source.exe").c_str(),
                  FALSE);
        CopyFileA((TestProgramFolder() + "rsrc_target.exe").c_str(), box.Path("target.exe").c_str(),
                  FALSE);
    }
};

TEST_F(DriveRoot, MisaimedItemsAreRefusedBeforeAnyItem) {
    for (const RootCase& c : kRootCases) {
        SCOPED_TRACE(c.name);
        Sandbox box("drive_root");
        Fill(box);
        const std::string define = *c.define ? Section("DEFINE", c.define) : "";
        box.WriteScript(Script("P,AFTER", define + Section("P", c.section) + AfterSection(box)));
        const TreeSnapshot root_before = SnapshotOf("Q:"), box_before = SnapshotOf(box.Path());
        const SpyResult run = box.RunProgram("updater.exe", kDriveRoot);
        ExpectBoxes(run, {Message(c.message, Filled(c.arguments, box))});
        ExpectUnchanged("Q:", root_before);
        ExpectUnchanged(box.Path(), box_before);
    }
}

// Read-only uses of the root, a drive letter, UNC paths and a relative path
// written as such go on as before; a DEFINE line without "=" cannot empty a
// built-in symbol.
TEST_F(DriveRoot, ReadOnlyUsesDriveLettersAndUncPathsStay) {
    Sandbox box("drive_root_stays");
    Fill(box);
    box.WriteScript(Script(
        "C,E,R,L,U,T,D,W,SAY",
        Section("DEFINE", "<Temp>\n") +
            Section("T", "MODE=DELETE\nFILE=<Temp>\\victim folder\\inside.txt\n") +
            Section("C", "MODE=COPY\nFROM=\\victim.txt\nTO=<Src>\\copied.txt\n") +
            Section("E", "MODE=EXIST\nFILE=\\victim.txt\n") +
            Section("R",
                    "MODE=RSRC\nFROM=\\source.exe\nTO=<Src>\\target.exe\nTYPE=#16\nNAME=#1\n") +
            Section("L", "MODE=LINK\nSRC=\\victim.txt\nPARAM=\nSHOWCMD=\nDST=<Src>\\link\n") +
            Section("U",
                    "MODE=DELETE\nFILE=\\\\nosuchserver\\share\\x.txt, "
                    "//nosuchserver/share/x.txt\n") +
            Section("D", "MODE=DELETE\nFILE=Q:\\victim.txt\n") +
            Section("W", "MODE=COPY\nFROM=<Src>\\first.txt\nTO=written.txt\n") +
            SaySection("C AND E AND R AND L AND U AND T AND D AND W")));
    ExpectShownBoxes(box.RunProgram("updater.exe", kDriveRoot),
                     {{"C AND E AND R AND L AND U AND T AND D AND W done", kInformationBoxFlags}},
                     "N");
    EXPECT_EQ(ReadWholeFile("Q:\\written.txt"), "first");
    DeleteFileA("Q:\\written.txt");
    EXPECT_EQ(ReadWholeFile("Q:\\victim folder\\inside.txt"), "inside");
    EXPECT_EQ(box.ReadFile("copied.txt"), "victim");
    EXPECT_TRUE(box.Exists("link.LNK"));
    EXPECT_EQ(GetFileAttributesA("Q:\\victim.txt"), INVALID_FILE_ATTRIBUTES);
}

// --- SHELL checks its temporary -----------------------------------------------------------

struct ShellCase {
    const char* name;
    const char* function;
    const char* from;
    const char* to;
};

const ShellCase kShellCases[] = {
    // Wine's shell reports success for these two without making the temporary.
    {"a pattern that matches nothing", "COPY", "src\\*.none", "dst\\c.txt"},
    {"a folder into its own subfolder", "COPY", "src\\d", "src\\d\\sub"},
    // A temporary of an earlier move may hold the only copy of its data.
    {"a move over an earlier temporary", "MOVE", "src\\a.txt", "dst\\a.txt"},
    {"a rename over an earlier temporary", "RENAME", "src\\a.txt", "dst\\a.txt"},
};

void FillShellBox(const Sandbox& box) {
    box.MakeFolder("src\\d\\sub");
    box.MakeFolder("dst");
    box.WriteFile("src\\a.txt", "new a");
    box.WriteFile("src\\d\\in.txt", "in");
    box.WriteFile("src\\d\\sub\\old.txt", "old sub");
    box.WriteFile("dst\\a.txt", "old a");
    box.WriteFile("dst\\a.txt.tmp", "moved data");
    box.WriteFile("dst\\c.txt", "old c");
}

TEST(ShellTemporary, AnOperationWithoutItsWholeResultTouchesNothing) {
    for (const ShellCase& c : kShellCases) {
        SCOPED_TRACE(c.name);
        Sandbox box("shell_temporary");
        FillShellBox(box);
        box.WriteScript(Script(
            "S,AFTER", Section("S", std::string("MODE=SHELL\nFUNC=") + c.function + "\nFROM=" +
                                        box.Path(c.from) + "\nTO=" + box.Path(c.to) + "\n") +
                           AfterSection(box)));
        const TreeSnapshot before = SnapshotOf(box.Path());
        ExpectBoxes(box.Run(), {ExpectedMessage(kMsgShellFailed)});
        ExpectUnchanged(box.Path(), before);
    }
}

// A copy takes nothing away: its stale temporary is replaced.
TEST(ShellTemporary, ACopyReplacesAStaleTemporary) {
    Sandbox box("shell_stale_copy");
    FillShellBox(box);
    box.WriteScript(
        Script("S", Section("S", "MODE=SHELL\nFUNC=COPY\nFROM=" + box.Path("src\\a.txt") +
                                     "\nTO=" + box.Path("dst\\a.txt") + "\n")));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("dst\\a.txt"), "new a");
    EXPECT_FALSE(box.Exists("dst\\a.txt.tmp"));
}

// --- A failed copy leaves no partial file; failures inside a walk fail the pair -----------

// Failures before the target is touched leave it exactly as it was.
TEST(FailedCopy, ACopyThatFailsBeforeWritingLeavesTheOldTarget) {
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "source held" : "source missing");
        Sandbox box("failed_copy_untouched");
        box.MakeFolder("dst");
        box.WriteFile("dst\\app.txt", "old app");
        if (held)
            box.WriteFile("new.txt", "new app");
        box.WriteScript(
            Script("P,AFTER", PairSection("COPY", box.Path("new.txt"), box.Path("dst\\app.txt")) +
                                  AfterSection(box)));
        const TreeSnapshot before = SnapshotOf(box.Path());
        {
            std::unique_ptr<HeldFile> hold(held ? new HeldFile(box.Path("new.txt")) : nullptr);
            ExpectBoxes(
                box.Run(),
                {ExpectedMessage(kMsgCopyFailed, {box.Path("new.txt"), box.Path("dst\\app.txt")})});
        }
        ExpectUnchanged(box.Path(), before);
    }
}

struct WalkCase {
    const char* name;
    const char* section;
    const char* held;  // a file held open without sharing during the run, or ""
    MessageId message;
    std::vector<std::string> arguments;
};

// src holds top.txt and sub\blocked.txt, sub\held.txt; dst\sub\blocked.txt is
// a folder, where a file must go.
const WalkCase kWalkCases[] = {
    {"COPY onto a folder",
     "MODE=COPY\nFROM=<Src>\\src\nTO=<Src>\\dst\n",
     "",
     kMsgCopyFailed,
     {"<Src>\\src", "<Src>\\dst"}},
    {"COPY of a held file",
     "MODE=COPY\nFROM=<Src>\\src\nTO=<Src>\\new\n",
     "src\\sub\\held.txt",
     kMsgCopyFailed,
     {"<Src>\\src", "<Src>\\new"}},
    {"MOVE onto a folder",
     "MODE=MOVE\nFROM=<Src>\\src\nTO=<Src>\\dst\n",
     "",
     kMsgMoveFailed,
     {"<Src>\\src", "<Src>\\dst"}},
    {"DELETE of a held file",
     "MODE=DELETE\nFILE=<Src>\\src\n",
     "src\\sub\\held.txt",
     kMsgDeleteFailed,
     {"<Src>\\src"}},
};

TEST(WalkFailure, AFailureInASubfolderFailsThePairAndStopsTheRun) {
    for (const WalkCase& c : kWalkCases) {
        SCOPED_TRACE(c.name);
        Sandbox box("walk_failure");
        box.MakeFolder("src\\sub");
        box.MakeFolder("dst\\sub\\blocked.txt");
        box.WriteFile("src\\top.txt", "top");
        box.WriteFile("src\\sub\\blocked.txt", "blocked");
        box.WriteFile("src\\sub\\held.txt", "held");
        box.WriteScript(Script("P,AFTER", Section("P", c.section) + AfterSection(box)));
        std::unique_ptr<HeldFile> hold(*c.held ? new HeldFile(box.Path(c.held)) : nullptr);
        ExpectBoxes(box.Run(), {Message(c.message, Filled(c.arguments, box))});
        hold.reset();
        EXPECT_FALSE(box.Exists("after"));
    }
}

// --- A full disk ----------------------------------------------------------------------------

// A 2 MiB tmpfs at the fixture's full-disk folder, emptied before and after
// each case; the files copied there are larger.
class FullDisk : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(FixtureFolder(), "") << "run through ctest, whose fixture mounts the small disk";
        disk_ = FixtureFolder() + "\\full-disk";
        ULARGE_INTEGER available, total;
        if (!GetDiskFreeSpaceExA((disk_ + "\\").c_str(), &available, &total, nullptr) ||
            total.QuadPart > 16u << 20) {
            GTEST_SKIP() << "no small disk at " << disk_
                         << ": mounting a tmpfs needs root, so the full-disk cases cannot run here";
        }
        Empty();
    }
    void TearDown() override {
        if (!disk_.empty())
            Empty();
    }
    void Empty() const {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((disk_ + "\\*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            const std::string path = disk_ + "\\" + entry.cFileName;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileA(path.c_str());
            } else if (strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0) {
                RemoveTree(path);
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    std::string Disk(const std::string& relative) const { return disk_ + "\\" + relative; }

    // 150 files of 20 KiB in three subfolders: about half of them fit.
    static void MakeTree(const Sandbox& box) {
        for (const char* folder : {"a", "b", "c"}) {
            box.MakeFolder(std::string("tree\\") + folder);
            for (int i = 0; i < 50; ++i) {
                box.WriteFile(std::string("tree\\") + folder + "\\" + std::to_string(i) + ".bin",
                              Bytes(20 << 10, static_cast<char>(i)));
            }
        }
    }

    static std::string Bytes(size_t size, char seed) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 + i / 4096);
        return bytes;
    }

    std::string disk_;
};

TEST_F(FullDisk, AFileCopyOrMoveThatRunsOutOfSpaceLeavesNoPartialFile) {
    Sandbox box("full_disk_file");
    const std::string big = Bytes(3 << 20, 'b');
    box.WriteFile("big.bin", big);
    const struct {
        const char* kind;
        const char* target;
        MessageId message;
        bool rollback;  // the old file set aside, then put back
    } cases[] = {{"COPY", "new.bin", kMsgCopyFailed, false},
                 {"COPY", "old.bin", kMsgCopyFailed, false},
                 {"MOVE", "moved.bin", kMsgMoveFailed, false},
                 {"COPY", "old.bin", kMsgCopyFailed, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " to " + c.target +
                     (c.rollback ? " with ROLLBACK" : ""));
        WriteAll(Disk("old.bin"), "old");
        std::string script =
            Script("P,AFTER",
                   PairSection(c.kind, box.Path("big.bin"), Disk(c.target)) + AfterSection(box));
        if (c.rollback)
            script.insert(script.find('\n') + 1, "ROLLBACK=YES\n");
        box.WriteScript(script);
        ExpectBoxes(box.Run(), {ExpectedMessage(c.message, {box.Path("big.bin"), Disk(c.target)})});
        if (c.rollback) {
            EXPECT_EQ(ReadWholeFile(Disk(c.target)), "old");
            WIN32_FIND_DATAA entry;
            EXPECT_EQ(FindFirstFileA(Disk("updater-undo-*").c_str(), &entry), INVALID_HANDLE_VALUE);
        } else {
            EXPECT_EQ(GetFileAttributesA(Disk(c.target).c_str()), INVALID_FILE_ATTRIBUTES);
        }
        EXPECT_TRUE(box.ReadFile("big.bin") == big) << "the source was changed";
        EXPECT_FALSE(box.Exists("after"));
    }
}

TEST_F(FullDisk, ATreeCopyThatRunsOutOfSpaceFailsAndLeavesNoPartialFile) {
    Sandbox box("full_disk_tree");
    MakeTree(box);
    box.WriteScript(
        Script("P,AFTER", PairSection("COPY", box.Path("tree"), Disk("tree")) + AfterSection(box)));
    ExpectBoxes(box.Run(), {ExpectedMessage(kMsgCopyFailed, {box.Path("tree"), Disk("tree")})});
    EXPECT_FALSE(box.Exists("after"));
    for (const auto& entry : SnapshotOf(Disk("tree"))) {
        if (!entry.second.folder) {
            EXPECT_TRUE(ReadWholeFile(Disk("tree\\" + entry.first)) ==
                        box.ReadFile("tree\\" + entry.first))
                << entry.first << " is not a whole copy";
        }
    }
}

TEST_F(FullDisk, AShellCopyThatRunsOutOfSpaceKeepsTheOldTarget) {
    Sandbox box("full_disk_shell");
    box.WriteFile("big.bin", Bytes(3 << 20, 's'));
    MakeTree(box);
    for (const char* source : {"big.bin", "tree"}) {
        SCOPED_TRACE(source);
        Empty();
        CreateDirectoryA(Disk("old").c_str(), nullptr);
        WriteAll(Disk("old\\app.txt"), "old app");
        box.WriteScript(
            Script("S,AFTER", Section("S", "MODE=SHELL\nFUNC=COPY\nFROM=" + box.Path(source) +
                                               "\nTO=" + Disk("old") + "\n") +
                                  AfterSection(box)));
        const TreeSnapshot before = SnapshotOf(disk_);
        ExpectBoxes(box.Run(), {ExpectedMessage(kMsgShellFailed)});
        ExpectUnchanged(disk_, before);
        EXPECT_FALSE(box.Exists("after"));
    }
}

// --- Bounded expansion ----------------------------------------------------------------------

// A script of a few kilobytes, and the boxes its run must show (caption T):
// message 2 stops the run before BEFORE makes its folder.
struct ExpansionCase {
    const char* name;
    std::string script;
    std::vector<ExpectedBox> boxes;
};

std::string ExpansionScript(const std::string& define, const std::string& text) {
    return "[UPDATER]\nNAME=T\nPROC=BEFORE,P\n[BEFORE]\nMODE=MAKEDIR\nDIR=<Src>\\before\n"
           "[P]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=" +
           text + "\nISABORT=\n" + (define.empty() ? "" : "[DEFINE]\n" + define);
}

// Each line twice the one above: <D11> would be the first past 32,767 bytes.
std::string Doubling() {
    std::string lines = "<D0>=0123456789abcdef\n";
    for (int i = 1; i <= 40; ++i) {
        const std::string above = "<D" + std::to_string(i - 1) + ">";
        lines += "<D" + std::to_string(i) + ">=" + above + above + "\n";
    }
    return lines;
}

// 1,000 symbols, each made of the one above, in a DEFINE section of 26 KB.
std::string Chain() {
    std::string lines = "<Symbol0000>=x\n";
    char line[64];
    for (int i = 1; i < 1000; ++i) {
        snprintf(line, sizeof line, "<Symbol%04d>=<Symbol%04d>\n", i, i - 1);
        lines += line;
    }
    return lines;
}

const std::string kBrackets(32000, '>');

const ExpansionCase kExpansionCases[] = {
    {"ParamToIntMax",
     ExpansionScript("", "{?Param\\0\\2147483647}"),
     {{ExpectedMessage(kMsgBadFormat, {"P", "TEXT"}), kErrorBoxFlags}}},
    {"DoublingDefines",
     ExpansionScript(Doubling(), "<D2>"),
     {{ExpectedMessage(kMsgBadFormat, {"DEFINE", "<D11>"}), kErrorBoxFlags}}},
    {"ThousandChainedSymbols",
     ExpansionScript(Chain(), "<Symbol0999>|<Symbol0500>|<Symbol0000>"),
     {{"x|x|x", kInformationBoxFlags}}},
    {"BracketsInAValue", ExpansionScript("", kBrackets), {{kBrackets, kInformationBoxFlags}}},
    {"BracketsInADefine",
     ExpansionScript("<G>=" + kBrackets + "\n", "<G>"),
     {{kBrackets, kInformationBoxFlags}}},
};

void PrintTo(const ExpansionCase& c, std::ostream* out) {
    *out << c.name;
}

class Expansion : public testing::TestWithParam<ExpansionCase> {};

// A run past the time limit fails. Well under a second is the aim; the limit
// leaves room for a busy machine and still catches today's growth.
TEST_P(Expansion, EndsQuicklyWhateverTheScriptHolds) {
    const ExpansionCase& c = GetParam();
    Sandbox box(std::string("expansion_") + c.name);
    box.WriteScript(c.script);
    const SpyResult run = box.Run("/tT", {}, 10000);
    ExpectShownBoxes(run, c.boxes, "T");
    EXPECT_EQ(box.Exists("before"), c.boxes[0].flags == kInformationBoxFlags);
}

INSTANTIATE_TEST_SUITE_P(Scripts, Expansion, testing::ValuesIn(kExpansionCases),
                         [](const testing::TestParamInfo<ExpansionCase>& info) {
                             return std::string(info.param.name);
                         });

// --- Every run must end cleanly ---------------------------------------------------------------

TEST(SandboxRun, ACrashAHangOrAnExitCodeFailsTheTest) {
    Sandbox box("sandbox_run");
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "box_target.exe").c_str(),
                          box.Path("target.exe").c_str(), FALSE));
    const std::string answers = " \"" + box.Path("answers.txt") + "\" ";
    EXPECT_NONFATAL_FAILURE(box.RunProgram("target.exe", box.Path(), "crash" + answers + "0"),
                            "ended with exit code 0xC0000005 (it crashed)");
    EXPECT_NONFATAL_FAILURE(
        box.RunProgram("target.exe", box.Path(), "hang" + answers + "0", {}, 1000),
        "did not end within 1000 ms");
    EXPECT_NONFATAL_FAILURE(box.RunProgram("target.exe", box.Path(), "none" + answers + "3"),
                            "ended with exit code 0x00000003");
}

}  // namespace
