// ROLLBACK=YES end to end: an update that fails in any kind, or that the user
// aborts, leaves the installed tree exactly as it was (bytes, attributes,
// times, folders), shows what the same run shows without ROLLBACK, and
// leaves nothing of its own behind; a run killed part-way is undone by the
// next start; a journal of another script is never replayed.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "undo/journal_format.h"
#include "file_procs_helpers.h"
#include "helper_programs.h"
#include "sandbox.h"
#include "text/crc32.h"
#include "tree_snapshot.h"

namespace {

// The installed application, the newer files and the modules RSRC needs.
void Fill(const Sandbox& box) {
    for (const char* folder : {"app\\data\\deep", "app\\表", "app\\old", "app\\mv", "app\\extra",
                               "new\\data\\deep", "new\\data\\added", "new\\extra"}) {
        box.MakeFolder(folder);
    }
    const char* files[][2] = {
        {"app\\main.exe", "main 1.0"},
        {"app\\readme.txt", "read me"},
        {"app\\data\\one.txt", "one 1.0"},
        {"app\\data\\deep\\two.txt", "two 1.0"},
        {"app\\表\\x.txt", "double-byte"},
        {"app\\ro.txt", "read-only"},
        {"app\\hidden.txt", "hidden"},
        {"app\\old\\a.txt", "old a"},
        {"app\\old\\b.txt", "old b"},
        {"app\\mv\\f.txt", "to move"},
        {"app\\held.txt", "held"},
        {"app\\extra\\x.txt", "extra 1.0"},
        {"app\\existing.LNK", "old link"},
        {"new\\main.exe", "main 2.0"},
        {"new\\data\\one.txt", "one 2.0"},
        {"new\\data\\three.txt", "three"},
        {"new\\data\\deep\\two.txt", "two 2.0"},
        {"new\\data\\added\\four.txt", "four"},
        {"new\\extra\\y.txt", "extra 2.0"},
        {"new\\a.txt", "a"},
    };
    for (const auto& file : files) box.WriteFile(file[0], file[1]);
    SetFileAttributesA(box.Path("app\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(box.Path("app\\old\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(box.Path("app\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CopyFileA((TestProgramFolder() + "rsrc_target.exe").c_str(),
              box.Path("app\\target.exe").c_str(), FALSE);
    CopyFileA((TestProgramFolder() + "rsrc_source.exe").c_str(),
              box.Path("new\\source.exe").c_str(), FALSE);
    // Times the update cannot give anything by chance.
    const std::string times_of[] = {"app\\readme.txt", "app\\data\\one.txt", "app\\data", "app"};
    for (const std::string& relative : times_of) {
        HANDLE file = CreateFileA(box.Path(relative).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        const FILETIME old_time = {0x12345600, 0x01c00000};
        SetFileTime(file, &old_time, nullptr, &old_time);
        CloseHandle(file);
    }
}

// Every kind changes the tree, and succeeds.
const char kChanges[] = "C,M,D,S,K,A,R,L";
const char kChangeSections[] =
    "[C]\nMODE=COPY\nFROM=<Src>\\new\\data,<Src>\\new\\main.exe\n"
    "TO=<Src>\\app\\data,<Src>\\app\\main.exe\n"
    "[M]\nMODE=MOVE\nFROM=<Src>\\app\\mv,<Src>\\app\\readme.txt\n"
    "TO=<Src>\\app\\mv2,<Src>\\app\\docs\\readme.txt\n"
    "[D]\nMODE=DELETE\nFILE=<Src>\\app\\old,<Src>\\app\\ro.txt\n"
    "[S]\nMODE=SHELL\nFUNC=COPY,MOVE\nFROM=<Src>\\new\\extra,<Src>\\app\\data\\deep\n"
    "TO=<Src>\\app\\extra,<Src>\\app\\deep2\n"
    "[K]\nMODE=MAKEDIR\nDIR=<Src>\\app\\made\\deep\n"
    "[A]\nMODE=ATTR\nFILE=<Src>\\app\\hidden.txt,<Src>\\app\\表\\x.txt\nARG=1,3\n"
    "[R]\nMODE=RSRC\nFROM=<Src>\\new\\source.exe\nTO=<Src>\\app\\target.exe\nTYPE=#16\nNAME=#1\n"
    "[L]\nMODE=LINK\nSRC=<Src>\\app\\main.exe,<Src>\\app\\main.exe\nPARAM=\nSHOWCMD=1\n"
    "DST=<Src>\\app\\shortcut,<Src>\\app\\existing\n";

std::string UpdateScript(bool rollback, const std::string& proc, const std::string& sections) {
    return std::string("[UPDATER]\nNAME=N\n") + (rollback ? "ROLLBACK=yes\n" : "") +
           "PROC=" + proc + "\n" + kChangeSections + sections;
}

std::string LocalAppData() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path);
    return path;
}

// Journals that an earlier, failed test run left would be replayed by the
// first start of a script of the same path: gone before the first test.
class NoJournals : public ::testing::Environment {
    void SetUp() override { RemoveTree(LocalAppData() + "\\Updater"); }
};
const ::testing::Environment* const kNoJournals =
    ::testing::AddGlobalTestEnvironment(new NoJournals);

// The journal and set-aside folders of every script: none is left once a run is over.
void ExpectNothingLeft() {
    const TreeSnapshot left = SnapshotOf(LocalAppData() + "\\Updater");
    EXPECT_TRUE(left.empty()) << TreeDifferences({}, left, false);
}

struct FailureCase {
    const char* name;
    std::string section;  // the failing procedure, [F]
    std::vector<int> answers;
    int message;                         // the failure box; 0 for none
    std::vector<std::string> arguments;  // relative to the sandbox
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class FailedUpdate : public ::testing::TestWithParam<FailureCase> {};

// The same run twice on the same tree, without and with ROLLBACK: the same
// boxes, and with ROLLBACK the tree as it was.
TEST_P(FailedUpdate, PutsEverythingBackAndShowsTheSameBoxes) {
    const FailureCase& c = GetParam();
    const std::string name = std::string("rollback_") + c.name;
    std::vector<std::string> without;
    {
        Sandbox box(name);
        Fill(box);
        box.WriteScript(UpdateScript(false, std::string(kChanges) + ",F", c.section));
        const TreeSnapshot before = SnapshotOf(box.Path("app"));
        {
            HeldFile held(box.Path("app\\held.txt"));
            without = BoxTexts(box.Run("", c.answers));
        }
        ASSERT_NE("", TreeDifferences(before, SnapshotOf(box.Path("app"))))
            << "without ROLLBACK the run must leave its changes";
    }
    Sandbox box(name);
    Fill(box);
    box.WriteScript(UpdateScript(true, std::string(kChanges) + ",F", c.section));
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    std::vector<std::string> shown;
    {
        HeldFile held(box.Path("app\\held.txt"));
        shown = BoxTexts(box.Run("", c.answers));
    }
    EXPECT_EQ(without, shown);
    if (c.message != 0) {
        // Paths are relative to the sandbox; anything else is taken as it is.
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments)
            arguments.push_back(argument.find('\\') != std::string::npos ? box.Path(argument)
                                                                         : argument);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(ExpectedMessage(c.message, {arguments.size() > 0 ? arguments[0] : "",
                                              arguments.size() > 1 ? arguments[1] : ""}),
                  shown.back());
    }
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(box.Path("app"))));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, FailedUpdate,
    ::testing::Values(
        FailureCase{"copy",
                    "[F]\nMODE=COPY\nFROM=<Src>\\new\\a.txt,<Src>\\new\\gone.txt\n"
                    "TO=<Src>\\app\\a.txt,<Src>\\app\\b.txt\n",
                    {},
                    8,
                    {"new\\gone.txt", "app\\b.txt"}},
        FailureCase{"move",
                    "[F]\nMODE=MOVE\nFROM=<Src>\\app\\main.exe,<Src>\\app\\gone\n"
                    "TO=<Src>\\app\\bin\\main.exe,<Src>\\app\\g2\n",
                    {},
                    14,
                    {"app\\gone", "app\\g2"}},
        FailureCase{"delete",
                    "[F]\nMODE=DELETE\nFILE=<Src>\\app\\data,<Src>\\app\\held.txt\n",
                    {},
                    10,
                    {"app\\held.txt"}},
        FailureCase{"shell",
                    "[F]\nMODE=SHELL\nFUNC=DELETE,MOVE\nFROM=<Src>\\app\\表,<Src>\\app\\gone\n"
                    "TO=,<Src>\\app\\g2\n",
                    {},
                    17,
                    {}},
        FailureCase{"makedir",
                    "[F]\nMODE=MAKEDIR\nDIR=<Src>\\app\\m1\\m2,<Src>\\app\\main.exe\\x\n",
                    {},
                    13,
                    {"app\\main.exe\\x"}},
        FailureCase{"attr",
                    "[F]\nMODE=ATTR\nFILE=<Src>\\app\\main.exe,<Src>\\app\\gone\nARG=2,2\n",
                    {},
                    12,
                    {"app\\gone", "2"}},
        FailureCase{"rsrc",
                    "[F]\nMODE=RSRC\nFROM=<Src>\\new\\gone.exe\nTO=<Src>\\app\\target.exe\n"
                    "TYPE=#16\nNAME=#1\n",
                    {},
                    1,
                    {"new\\gone.exe"}},
        FailureCase{"link",
                    "[F]\nMODE=LINK\nSRC=<Src>\\app\\main.exe,<Src>\\app\\main.exe\nPARAM=\n"
                    "SHOWCMD=\nDST=<Src>\\app\\l1,<Src>\\app\\main.exe\\l2\n",
                    {},
                    15,
                    {"app\\main.exe", "app\\main.exe\\l2"}},
        FailureCase{"launch",
                    "[F]\nMODE=LAUNCH\nFILE=<Src>\\app\\gone.exe\nPARAM=\nISWAIT=0\n",
                    {},
                    9,
                    {"app\\gone.exe"}},
        FailureCase{"nested",
                    "[F]\nMODE=SWITCH\nPROC=C\n0=\n1=G\n"
                    "[G]\nMODE=COPY\nFROM=<Src>\\new\\gone.txt\nTO=<Src>\\app\\g.txt\n",
                    {},
                    8,
                    {"new\\gone.txt", "app\\g.txt"}},
        FailureCase{"abort",
                    "[F]\nMODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=Go on?\nISABORT=0,1\n",
                    {IDNO},
                    0,
                    {}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(Rollback, CompletedRunKeepsTheUpdateAndLeavesNothingBehind) {
    TreeSnapshot without;
    {
        Sandbox box("rollback_completed");
        Fill(box);
        box.WriteScript(UpdateScript(false, kChanges, ""));
        ExpectNoBoxes(box.Run());
        without = SnapshotOf(box.Path("app"));
    }
    Sandbox box("rollback_completed");
    Fill(box);
    box.WriteScript(UpdateScript(true, kChanges, ""));
    ExpectNoBoxes(box.Run());
    TreeSnapshot with = SnapshotOf(box.Path("app"));
    // A shortcut holds the times its target was last used at.
    for (TreeSnapshot* snapshot : {&without, &with}) {
        for (auto& entry : *snapshot) {
            if (entry.first.size() > 4 && entry.first.substr(entry.first.size() - 4) == ".LNK")
                entry.second.bytes.clear();
        }
    }
    EXPECT_EQ("", TreeDifferences(without, with, false));
    ExpectNothingLeft();
}

// The key of a script's journal, as the program names it.
std::string JournalOf(const std::string& script) {
    char full[MAX_PATH] = {};
    GetFullPathNameA(script.c_str(), MAX_PATH, full, nullptr);
    const TextBuffer folded = FoldedPath(full);
    char key[16];
    snprintf(key, sizeof key, "%08X",
             static_cast<unsigned>(Crc32(folded.c_str(), folded.Length())));
    return LocalAppData() + "\\Updater\\Undo\\" + key + ".jnl";
}

// A journal that names another script, found where this script's would be:
// read at the start, found foreign, and left alone; nothing it lists is touched.
TEST(Rollback, JournalOfAnotherScriptIsNeverReplayed) {
    Sandbox box("rollback_foreign");
    Fill(box);
    box.WriteScript(UpdateScript(false, "K", ""));
    const std::string journal = JournalOf(box.Path("updater.ini"));
    JournalBatch batch;
    Record record;
    record.type = RecordType::kHeader;
    record.path = box.Path("other.ini").c_str();
    batch.Add(record);
    record.type = RecordType::kCreated;
    record.path = box.Path("app\\main.exe").c_str();
    batch.Add(record);
    batch.Seal();
    CreateDirectoryA((LocalAppData() + "\\Updater").c_str(), nullptr);
    CreateDirectoryA((LocalAppData() + "\\Updater\\Undo").c_str(), nullptr);
    const std::string planted(batch.Bytes(), batch.Length());
    {
        std::ofstream out(journal, std::ios::binary);
        out << planted;
    }
    ExpectNoBoxes(box.Run());
    EXPECT_EQ("main 1.0", box.ReadFile("app\\main.exe"));
    EXPECT_TRUE(box.Exists("app\\made\\deep"));
    EXPECT_EQ(planted, ReadWholeFile(journal));
    DeleteFileA(journal.c_str());
    RemoveDirectoryA((LocalAppData() + "\\Updater\\Undo").c_str());
    RemoveDirectoryA((LocalAppData() + "\\Updater").c_str());
}

// A question first, then the changes of proc, then a wait for a program the
// run launched: killed there, half-way through, by the box spy's time limit.
void KillWhileWaiting(const Sandbox& box, const std::string& proc, const TreeSnapshot& before) {
    helpers::Install(box, "helper_sleeper", "sleeper.exe");
    box.WriteScript(
        UpdateScript(true, "Ask," + proc + ",W",
                     "[Ask]\nMODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=Update?\nISABORT=0,1\n"
                     "[W]\nMODE=LAUNCH\nFILE=<Src>\\sleeper.exe\nPARAM=4000\nISWAIT=1\n"));
    const SpyResult killed = RunWithBoxSpy(box.Path("updater.exe"), "", box.Path(), {IDYES}, 2000);
    ASSERT_TRUE(killed.timed_out) << "the run was to be killed while it waited";
    EXPECT_NE("", TreeDifferences(before, SnapshotOf(box.Path("app"))));
}

// The next start of the same script first undoes what the killed run did.
// Its question comes after the undo: answered No, nothing else runs.
void ExpectNextStartUndoes(const Sandbox& box, const TreeSnapshot& before) {
    ExpectShownBoxes(box.Run("", {IDNO}), {{"Update?", 0x10024}}, "N");
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(box.Path("app"))));
    ExpectNothingLeft();
    helpers::WaitForFile(box.Path("sleeper.exe.ended"));
}

// A file the run made is held open by a program the run started when the
// run fails: it cannot be removed, however long the undo tries. Message 18
// names it after the failure box; once the file is free, the next start
// finishes the undo and runs.
TEST(Rollback, WhatCannotBePutBackIsUndoneByTheNextStart) {
    Sandbox box("rollback_blocked");
    Fill(box);
    helpers::Install(box, "helper_holder", "holder.exe");
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    box.WriteScript(UpdateScript(
        true, "Ask,C,Hold,F",
        "[Ask]\nMODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=Update?\nISABORT=0,1\n"
        "[Hold]\nMODE=LAUNCH\nFILE=<Src>\\holder.exe\nPARAM=<Src>\\app\\data\\three.txt\n"
        "ISWAIT=0\n"
        "[F]\nMODE=COPY\nFROM=<Src>\\new\\gone.txt\nTO=<Src>\\app\\g.txt\n"));
    ExpectShownBoxes(
        box.Run("", {IDYES}),
        {{"Update?", 0x10024},
         {ExpectedMessage(8, {box.Path("new\\gone.txt"), box.Path("app\\g.txt")}), kErrorBoxFlags},
         {ExpectedMessage(18, {box.Path("app\\data\\three.txt")}), kErrorBoxFlags}},
        "N");
    box.WriteFile("holder.exe.stop", "");
    ASSERT_TRUE(helpers::WaitForFile(box.Path("holder.exe.ended")));
    ExpectShownBoxes(box.Run("", {IDNO}), {{"Update?", 0x10024}}, "N");
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(box.Path("app"))));
    ExpectNothingLeft();
}

TEST(Rollback, NextStartUndoesARunThatWasKilled) {
    Sandbox box("rollback_killed");
    Fill(box);
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    KillWhileWaiting(box, "C,M,D,S,K", before);
    ExpectNextStartUndoes(box, before);
}

// On a volume other than the journal's (V:, a tmpfs of the fixture), files
// are renamed into a hidden folder of the run's own at that volume's root.
TEST(Rollback, OtherVolumeSetsFilesAsideAtItsRoot) {
    if (GetFileAttributesA("V:\\") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no drive V: (drives-fixture.sh could not mount a tmpfs)";
    Sandbox box("rollback_volume", "V:");
    Fill(box);
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    KillWhileWaiting(box, "C,D", before);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("V:\\updater-undo-*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no set-aside folder at V:\\";
    FindClose(search);
    EXPECT_EQ(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(SnapshotOf(std::string("V:\\") + found.cFileName).empty());
    ExpectNextStartUndoes(box, before);
    EXPECT_EQ(FindFirstFileA("V:\\updater-undo-*", &found), INVALID_HANDLE_VALUE);
}

}  // namespace
