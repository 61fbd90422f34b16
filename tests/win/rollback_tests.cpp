// ROLLBACK=YES end to end: an update that fails in any kind, or that the user
// aborts, leaves the installed tree exactly as it was (bytes, attributes,
// times, folders), shows what the same run shows without ROLLBACK, and
// leaves nothing of its own behind; a run killed part-way is undone by the
// next start of any ROLLBACK update, never over what changed since and never
// taking what the run did not make; a journal is obeyed only from a store
// that only administrators (under Wine: the account) may change.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/paths.h"
#include "undo/journal_format.h"
#include "undo/store.h"
#include "file_procs_helpers.h"
#include "helper_programs.h"
#include "sandbox.h"
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

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

// Under Wine every run counts as elevated: its store is the machine's.
std::string Store() {
    return SpecialFolder(CSIDL_COMMON_APPDATA) + "\\Updater\\Undo";
}

// Every store, and the fresh ones made when it could not be trusted.
void RemoveStores() {
    const std::string base = SpecialFolder(CSIDL_COMMON_APPDATA);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "\\Updater*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        RemoveTree(base + "\\" + found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    RemoveTree(SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\Updater");
}

// Journals that an earlier, failed test run left would be finished by the
// first ROLLBACK start: gone before the first test.
class NoJournals : public ::testing::Environment {
    void SetUp() override { RemoveStores(); }
};
const ::testing::Environment* const kNoJournals =
    ::testing::AddGlobalTestEnvironment(new NoJournals);

// The journals and set-aside folders: none is left once a run is over.
void ExpectNothingLeft() {
    const TreeSnapshot left = SnapshotOf(Store());
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

// --- Journals bound to what their run changed ------------------------------------------------

// A journal of the present version, as a run writes it: its places, then
// records; each a batch of its own.
std::string JournalText(const std::string& script, const std::vector<Record>& records,
                        bool versioned = true) {
    std::string text;
    auto add = [&text](const std::vector<Record>& batch_records) {
        JournalBatch batch;
        for (const Record& record : batch_records) batch.Add(record);
        batch.Seal();
        text.append(batch.Bytes(), batch.Length());
    };
    Record version = MakeRecord(RecordType::kVersion, '-', "");
    version.number = kJournalVersion;
    Record header = MakeRecord(RecordType::kHeader, '-', script.c_str());
    if (versioned)
        add({version, header});
    else
        add({header});
    add(records);
    return text;
}

// A journal that would remove victim, a file no script here names, if obeyed.
std::string RemovingJournal(const Sandbox& box, const std::string& victim, bool versioned = true) {
    Record procedure = MakeRecord(RecordType::kProcedure, '-', "");
    procedure.number = 1;
    Record place = MakeRecord(RecordType::kPlace, static_cast<char>(PlaceKind::kAbsent),
                              box.Path(victim).c_str());
    return JournalText(
        box.Path("planted.ini"),
        {procedure, place, MakeRecord(RecordType::kMade, 'f', box.Path(victim).c_str())},
        versioned);
}

void Plant(const std::string& folder, const std::string& bytes) {
    SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    std::ofstream(folder + "\\0000ABCD.jnl", std::ios::binary) << bytes;
}

// Planted where only a less privileged process could have put it, or
// anywhere at all for a run without ROLLBACK: never read, never obeyed.
TEST(RollbackStore, PlantedJournalsAreNeverObeyed) {
    Sandbox box("rollback_planted");
    Fill(box);
    box.WriteFile("victim.txt", "mine");
    const std::string planted = RemovingJournal(box, "victim.txt");
    const std::string own = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\Updater\\Undo";
    Plant(own, planted);
    box.WriteScript(UpdateScript(true, "K", ""));
    ExpectNoBoxes(box.Run());
    Plant(Store(), planted);
    box.WriteScript(UpdateScript(false, "K", ""));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ("mine", box.ReadFile("victim.txt"));
    EXPECT_EQ(planted, ReadWholeFile(own + "\\0000ABCD.jnl"));
    EXPECT_EQ(planted, ReadWholeFile(Store() + "\\0000ABCD.jnl"));
    RemoveStores();
}

// A journal of the present program's earlier version has no version record:
// it is kept aside for support, never obeyed, and blocks nothing.
TEST(RollbackStore, JournalWithoutVersionIsRetired) {
    Sandbox box("rollback_unversioned");
    Fill(box);
    box.WriteFile("victim.txt", "mine");
    Plant(Store(), RemovingJournal(box, "victim.txt", false));
    box.WriteScript(UpdateScript(true, "K", ""));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ("mine", box.ReadFile("victim.txt"));
    EXPECT_TRUE(box.Exists("app\\made\\deep"));
    EXPECT_FALSE(FileExists((Store() + "\\0000ABCD.jnl").c_str()));
    EXPECT_TRUE(FileExists((Store() + "\\Retired\\0000ABCD.jnl").c_str()));
    RemoveStores();
}

// The lines of a log that tell of the undo's store.
std::vector<std::string> StoreLines(const Sandbox& box) {
    std::vector<std::string> lines;
    std::istringstream log(box.ReadFile("run.log"));
    for (std::string line; std::getline(log, line);) {
        const size_t text = line.find(" ms  ") + 5;
        if (line.find("undo store") != std::string::npos)
            lines.push_back(line.substr(text, line.find_last_not_of("\r") + 1 - text));
    }
    return lines;
}

// Wine's name for a Windows path on the machine it runs on.
std::string UnixPathOf(const std::string& path) {
    typedef char*(CDECL * UnixName)(const wchar_t*);
    const UnixName name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* unix_path = name != nullptr ? name(wide) : nullptr;
    const std::string result = unix_path != nullptr ? unix_path : "";
    HeapFree(GetProcessHeap(), 0, unix_path);
    return result;
}

// Runs a shell command of the machine Wine runs on, to its end; false
// outside Wine. (Wine starts such a program, but cannot wait for it.)
bool RunOnHost(const std::string& command) {
    const std::string marker = SpecialFolder(CSIDL_COMMON_APPDATA) + "\\host-command.done";
    DeleteFileA(marker.c_str());
    const std::string unix_marker = UnixPathOf(marker);
    // Nothing it starts may hold this program's output open.
    std::string shell = "/bin/sh -c \"exec </dev/null >/dev/null 2>&1; " + command + "; touch '" +
                        unix_marker + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (unix_marker.empty() || !CreateProcessA(nullptr, &shell[0], nullptr, nullptr, FALSE, 0,
                                               nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const bool done = helpers::WaitForFile(marker, 60000);
    DeleteFileA(marker.c_str());
    return done;
}

// The shipped program makes its store owned by Administrators, with only
// SYSTEM and Administrators allowed to change anything: the calls it makes,
// as Wine's relay trace shows them. Wine keeps the folder as the account's.
TEST(RollbackStore, IsMadeForAdministratorsAlone) {
    RemoveStores();
    Sandbox box("rollback_store_calls");
    box.WriteScript(
        "[UPDATER]\nNAME=N\nROLLBACK=YES\nPROC=K\n[K]\nMODE=MAKEDIR\nDIR=<Src>\\made\n");
    HKEY debug = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\Debug", &debug), ERROR_SUCCESS);
    const char relayed[] =
        "advapi32.ConvertStringSecurityDescriptorToSecurityDescriptorA;"
        "sechost.ConvertStringSecurityDescriptorToSecurityDescriptorA;"
        "kernel32.CreateDirectoryA;kernelbase.CreateDirectoryA";
    RegSetValueExA(debug, "RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(relayed),
                   sizeof relayed);
    const bool ran =
        RunOnHost("WINEDEBUG=-all,+relay wine '" + UnixPathOf(box.Path("updater.exe")) + "' 2> '" +
                  UnixPathOf(box.Path()) + "/relay.txt'");
    RegDeleteValueA(debug, "RelayInclude");
    RegCloseKey(debug);
    if (!ran)
        GTEST_SKIP() << "no shell of the machine Wine runs on";
    EXPECT_TRUE(box.Exists("made"));
    const std::string relay = box.ReadFile("relay.txt");
    EXPECT_NE(relay.find("\"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)\""), std::string::npos);
    const std::string common = SpecialFolder(CSIDL_COMMON_APPDATA);
    for (const std::string& folder : {common + "\\Updater", Store()}) {
        std::string escaped;
        for (char c : folder) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        // A folder made with security attributes: the second argument is not null.
        const size_t call = relay.find("CreateDirectoryA(");
        const size_t at = relay.find("\"" + escaped + "\",", call);
        ASSERT_NE(at, std::string::npos) << folder;
        EXPECT_NE(relay.substr(at + escaped.size() + 3, 8), "00000000") << folder;
    }
    const AccountSid account;
    EXPECT_EQ(CheckFolder(Store().c_str(), TrustRule()), UndoReason::kOwner);
    EXPECT_EQ(CheckFolder(Store().c_str(), StoreRule(true, account)), UndoReason::kNone);
    RemoveStores();
}

// A store that others may change, or one reached through a link, is left as
// it is: nothing in it is read, and a fresh store of another name is made.
TEST(RollbackStore, StoreOthersCouldChangeIsLeftAlone) {
    Sandbox box("rollback_untrusted");
    Fill(box);
    box.WriteFile("victim.txt", "mine");
    std::string script = UpdateScript(true, "K", "");
    script.insert(script.find("PROC="), "LOG=<Src>\\run.log\n");
    box.WriteScript(script);
    const std::string base = SpecialFolder(CSIDL_COMMON_APPDATA);
    const std::string planted = RemovingJournal(box, "victim.txt");
    auto expect_refused = [&](const std::string& folder, const std::string& reason) {
        ExpectNoBoxes(box.Run());
        const std::vector<std::string> told = StoreLines(box);
        ASSERT_EQ(told.size(), 2u) << box.ReadFile("run.log");
        EXPECT_EQ(told[0], "left undo store " + folder + " as it is: " + reason);
        EXPECT_EQ(told[1].find("undo store: " + base + "\\Updater-"), 0u) << told[1];
        EXPECT_EQ(planted, ReadWholeFile(Store() + "\\0000ABCD.jnl"));
        EXPECT_EQ("mine", box.ReadFile("victim.txt"));
        DeleteFileA(box.Path("run.log").c_str());
    };
    // Everyone may write: Wine shows it as an entry for Everyone.
    Plant(Store(), planted);
    ASSERT_TRUE(RunOnHost("/bin/chmod o+w " + UnixPathOf(Store())));
    expect_refused(Store(), "others may change what it holds, or who may");
    RemoveStores();
    // The store's folder is a link to a folder that holds a journal.
    box.MakeFolder("elsewhere\\Undo");
    const std::string link = UnixPathOf(base + "\\Updater");
    if (link.empty() || !RunOnHost("/bin/ln -s " + UnixPathOf(box.Path("elsewhere")) + " " + link))
        GTEST_SKIP() << "no link can be made here";
    Plant(Store(), planted);
    expect_refused(base + "\\Updater", "it, or a folder on its way, is a link");
    RunOnHost("/bin/rm " + link);
    RemoveStores();
}

// One update, downloaded to two folders: A's run is killed half-way, B's
// runs to its end (finishing A's journal first), then A is started again.
TEST(Rollback, AStoppedRunIsUndoneBeforeAnotherFolderUpdatesTheSamePlaces) {
    Sandbox installed("rollback_installed");
    Fill(installed);
    Sandbox a("rollback_a"), b("rollback_b");
    const std::string script =
        "[UPDATER]\nNAME=N\nROLLBACK=YES\nLOG=<Src>\\run.log\nPROC=C1,W,C2\n[DEFINE]\n<App>=" +
        installed.Path("app") +
        "\n[C1]\nMODE=COPY\nFROM=<Src>\\data\nTO=<App>\\data\n"
        "[W]\nMODE=LAUNCH\nFILE=<Src>\\sleeper.exe\nPARAM=2500\nISWAIT=1\n"
        "[C2]\nMODE=COPY\nFROM=<Src>\\main.exe\nTO=<App>\\main.exe\n";
    for (const Sandbox* download : {&a, &b}) {
        download->MakeFolder("data\\deep");
        download->WriteFile("data\\one.txt", "one 2.0");
        download->WriteFile("data\\deep\\two.txt", "two 2.0");
        download->WriteFile("main.exe", "main 2.0");
        helpers::Install(*download, "helper_sleeper", "sleeper.exe");
        download->WriteScript(script);
    }
    auto expect_updated = [&installed] {
        EXPECT_EQ("one 2.0", installed.ReadFile("app\\data\\one.txt"));
        EXPECT_EQ("two 2.0", installed.ReadFile("app\\data\\deep\\two.txt"));
        EXPECT_EQ("main 2.0", installed.ReadFile("app\\main.exe"));
    };
    const SpyResult killed = RunWithBoxSpy(a.Path("updater.exe"), "", a.Path(), {}, 1200);
    ASSERT_TRUE(killed.timed_out) << "A was to be killed while it waited";
    EXPECT_EQ("one 2.0", installed.ReadFile("app\\data\\one.txt"));
    ExpectNoBoxes(b.Run());
    expect_updated();
    EXPECT_NE(b.ReadFile("run.log").find("undo of the run of " + a.Path("updater.ini")),
              std::string::npos);
    ExpectNoBoxes(a.Run());
    expect_updated();
    ExpectNothingLeft();
}

// After a kill, the user goes on working in a folder the update wrote: the
// next start puts the update's changes back and leaves the user's own, also
// a file the update wrote that the user changed since (and says so).
TEST(Rollback, WhatTheUserMakesAfterAKillStays) {
    Sandbox box("rollback_users_work");
    Fill(box);
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    KillWhileWaiting(box, "C,D", before);
    TreeSnapshot before_without_edit = before;
    box.MakeFolder("app\\data\\mine");
    box.WriteFile("app\\data\\my-work-since-the-crash.doc", "work");
    box.WriteFile("app\\data\\mine\\notes.txt", "notes");
    box.WriteFile("app\\data\\deep\\two.txt", "two, edited");
    ExpectShownBoxes(box.Run("", {IDOK, IDNO}),
                     {{ExpectedMessage(19, {box.Path("app\\data\\deep\\two.txt")}), kErrorBoxFlags},
                      {"Update?", 0x10024}},
                     "N");
    TreeSnapshot after = SnapshotOf(box.Path("app"));
    EXPECT_EQ(after["DATA\\MY-WORK-SINCE-THE-CRASH.DOC"].bytes, "work");
    EXPECT_EQ(after["DATA\\MINE\\NOTES.TXT"].bytes, "notes");
    EXPECT_EQ(after["DATA\\DEEP\\TWO.TXT"].bytes, "two, edited");
    for (const char* mine : {"DATA\\MY-WORK-SINCE-THE-CRASH.DOC", "DATA\\MINE\\NOTES.TXT",
                             "DATA\\MINE", "DATA\\DEEP\\TWO.TXT", "DATA\\DEEP"}) {
        after.erase(mine);
        before_without_edit.erase(mine);
    }
    EXPECT_EQ("", TreeDifferences(before_without_edit, after));
    RemoveStores();  // the journal is kept, retired
    helpers::WaitForFile(box.Path("sleeper.exe.ended"));
}

// A program the update starts puts a file into a folder the update wrote;
// the update then fails: the file stays.
TEST(Rollback, WhatAnotherProgramMakesDuringTheRunStays) {
    Sandbox box("rollback_other_program");
    Fill(box);
    helpers::Install(box, "helper_marker", "app\\data\\marker.exe");
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    box.WriteScript(
        UpdateScript(true, "C,Mark,F",
                     "[Mark]\nMODE=LAUNCH\nFILE=<Src>\\app\\data\\marker.exe\nPARAM=\nISWAIT=1\n"
                     "[F]\nMODE=COPY\nFROM=<Src>\\new\\gone.txt\nTO=<Src>\\app\\g.txt\n"));
    ExpectBoxes(box.Run(),
                {ExpectedMessage(8, {box.Path("new\\gone.txt"), box.Path("app\\g.txt")})});
    TreeSnapshot after = SnapshotOf(box.Path("app"));
    EXPECT_EQ(1u, after.erase("DATA\\MARKER.EXE.TXT"));
    EXPECT_EQ("", TreeDifferences(before, after, false));
    ExpectNothingLeft();
}

// With the set-aside files gone after a kill, the next start says so once,
// naming a file, keeps the journal aside, and goes on; no file keeps its
// new content under its old times.
TEST(Rollback, LostSetAsideFilesAreToldAndTheJournalKept) {
    Sandbox box("rollback_lost_copies");
    Fill(box);
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    KillWhileWaiting(box, "C", before);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((Store() + "\\????????").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(Store() + "\\" + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    const SpyResult run = box.Run("", {IDOK, IDNO});
    ASSERT_EQ(BoxTexts(run).size(), 2u);
    bool named = false;
    for (const char* file : {"app\\main.exe", "app\\data\\one.txt", "app\\data\\deep\\two.txt"})
        named = named || run.boxes[0].text == ExpectedMessage(19, {box.Path(file)});
    EXPECT_TRUE(named) << Cp932ToUtf8(run.boxes[0].text);
    EXPECT_EQ(run.boxes[1].text, "Update?");
    const TreeSnapshot after = SnapshotOf(box.Path("app"));
    for (const char* file : {"MAIN.EXE", "DATA\\ONE.TXT", "DATA\\DEEP\\TWO.TXT"}) {
        EXPECT_NE(after.at(file).bytes, before.at(file).bytes) << file << " was not to come back";
        EXPECT_NE(after.at(file).written, before.at(file).written) << file;
    }
    EXPECT_EQ(after.count("DATA\\THREE.TXT"), 0u);
    EXPECT_FALSE(SnapshotOf(Store() + "\\Retired").empty());
    RemoveStores();
    helpers::WaitForFile(box.Path("sleeper.exe.ended"));
}

// A journal held open belongs to an update still going: a start of another
// update meanwhile leaves it, and the next start after the kill undoes it.
TEST(Rollback, AJournalHeldByARunningUpdateIsLeftToIt) {
    Sandbox running("rollback_running"), other("rollback_other");
    Fill(running);
    const TreeSnapshot before = SnapshotOf(running.Path("app"));
    helpers::Install(running, "helper_sleeper", "sleeper.exe");
    running.WriteScript(
        UpdateScript(true, "Ask,C,W",
                     "[Ask]\nMODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=Update?\nISABORT=0,1\n"
                     "[W]\nMODE=LAUNCH\nFILE=<Src>\\sleeper.exe\nPARAM=7000\nISWAIT=1\n"));
    other.WriteScript(
        "[UPDATER]\nNAME=N\nROLLBACK=YES\nPROC=K\n[K]\nMODE=MAKEDIR\nDIR=<Src>\\made\n");
    SpyResult killed;
    std::thread update([&] {
        killed = RunWithBoxSpy(running.Path("updater.exe"), "", running.Path(), {IDYES}, 6000);
    });
    ASSERT_TRUE(helpers::WaitForFile(running.Path("sleeper.exe.started")));
    ExpectNoBoxes(other.Run());
    EXPECT_TRUE(other.Exists("made"));
    EXPECT_EQ("one 2.0", running.ReadFile("app\\data\\one.txt"));
    update.join();
    ASSERT_TRUE(killed.timed_out);
    ExpectShownBoxes(running.Run("", {IDNO}), {{"Update?", 0x10024}}, "N");
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(running.Path("app"))));
    ExpectNothingLeft();
    helpers::WaitForFile(running.Path("sleeper.exe.ended"), 10000);
}

}  // namespace
