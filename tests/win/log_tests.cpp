// The run log end to end: the log files of real runs of updater.exe.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <shlobj.h>

#include "base/win_handles.h"
#include "sandbox.h"
#include "tree_snapshot.h"
#include "version.h"

namespace {

// Checks the byte-order mark and the CR LF line ends, then gives the lines
// with what changes from run to run taken out: the header's time, system and
// rights, and the time column of the entries (which must not go back).
std::vector<std::string> LogEntries(const std::string& bytes) {
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    const std::regex header(
        "(====) updater run \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d|"
        "(windows): \\d+\\.\\d+\\.\\d+.*|(elevated): (yes|no)");
    const std::regex entry(" *(\\d+) ms  .*|            .*");
    std::vector<std::string> lines;
    unsigned long last_time = 0;
    for (size_t start = 3, end; start < bytes.size(); start = end + 2) {
        end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "no CR LF at the end";
            break;
        }
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        std::smatch match;
        if (std::regex_match(line, match, header)) {
            lines.push_back(match[1].matched ? match[1] : match[2].matched ? match[2] : match[3]);
            last_time = 0;
        } else if (std::regex_match(line, match, entry)) {
            if (match[1].matched) {
                EXPECT_GE(std::stoul(match[1]), last_time) << line;
                last_time = std::stoul(match[1]);
            }
            lines.push_back(line.substr(12));
        } else {
            lines.push_back(line);  // program, script and command line are compared whole
        }
    }
    return lines;
}

// Expected lines written in code page 932, "$" standing for the sandbox
// folder, a box's text given whole: as the log holds them, in UTF-8.
std::vector<std::string> Expected(const Sandbox& box, const std::vector<std::string>& lines) {
    std::vector<std::string> converted;
    for (std::string line : lines) {
        for (size_t at; (at = line.find('$')) != std::string::npos;)
            line.replace(at, 1, box.Path());
        // A box's text, given whole after "| ": its further lines are marked alike.
        const std::string indent = line.substr(0, line.find("| "));
        size_t start = 0, end;
        do {
            end = line.find('\n', start);
            const std::string part = line.substr(start, end - start);
            converted.push_back(Cp932ToUtf8(start == 0     ? part
                                            : part.empty() ? indent + "|"
                                                           : indent + "| " + part));
            start = end + 1;
        } while (end != std::string::npos);
    }
    return converted;
}

std::string SystemText(DWORD error) {
    char text[1024] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, sizeof text, nullptr);
    std::string trimmed = text;
    trimmed.erase(trimmed.find_last_not_of("\r\n ") + 1);
    return trimmed;
}

std::vector<std::string> LogEntries(const Sandbox& box, const std::string& name) {
    return LogEntries(box.ReadFile(name));
}

// Where the log puts what it cannot write into its own file.
std::string StandInFolder() {
    char local[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    return std::string(local) + "\\Updater\\Logs\\";
}

std::set<std::string> StandIns() {
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((StandInFolder() + "run-*.log").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.insert(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

// The entries of each stand-in made since before, which are then deleted.
std::vector<std::vector<std::string>> TakeStandIns(const std::set<std::string>& before) {
    std::vector<std::vector<std::string>> made;
    for (const std::string& name : StandIns()) {
        if (before.count(name) != 0)
            continue;
        made.push_back(LogEntries(ReadWholeFile(StandInFolder() + name)));
        DeleteFileA((StandInFolder() + name).c_str());
    }
    return made;
}

std::vector<std::string> Header(const std::string& command_line = "",
                                const std::string& script = "updater.ini",
                                const std::string& undo = "off") {
    return {"====",
            "program: $\\updater.exe, version " UPDATER_VERSION_TEXT,
            "script: $\\" + script,
            "command line: " + command_line,
            "windows",
            "elevated",
            "undo (ROLLBACK): " + undo};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const int kYes = 6, kNo = 7;

TEST(RunLog, CompletedAndAbortedRunsOfANestedListAppendToOneFile) {
    Sandbox box("log_runs");
    box.MakeFolder("new\\sub");
    box.WriteFile("new\\a.txt", "123456789");
    box.WriteFile("new\\sub\\b.txt", "b");
    box.WriteScript("[UPDATER]\nNAME=Log\nPROC=表示,Branch,Tidy\nLOG=<Src>\\run.log\n" +
                    Section("表示",
                            "MODE=COPY\nFROM=<Src>\\new\\a.txt, <Src>\\new\\sub\n"
                            "TO=<Src>\\表\\a.txt, <Src>\\表\\sub\n") +
                    Section("Branch", "MODE=SWITCH\nPROC=表示\n0=\n1=Ask,Sum\n") +
                    Section("Ask",
                            "MODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=続けますか？%n表\n"
                            "ISABORT=0,1\n") +
                    Section("Sum", "MODE=CRC\nFILE=<Src>\\表\\a.txt\nTYPE=AND\nCRC=CBF43926\n") +
                    Section("Tidy", "MODE=DELETE\nFILE=<Src>\\表\\sub\\b.txt\n"));
    ExpectCleanEnd(box.Run("", {kYes}));
    ExpectCleanEnd(box.Run("/iupdater.ini", {kNo}));

    const std::vector<std::string> copy = {
        "[表示] MODE=COPY",
        "  FROM=$\\new\\a.txt, $\\new\\sub",
        "  TO=$\\表\\a.txt, $\\表\\sub",
    };
    const std::vector<std::string> ask = {
        "[Branch] MODE=SWITCH",
        "  PROC=表示",
        "  0=",
        "  1=Ask,Sum",
        "    [Ask] MODE=MSGBOX",
        "      FLAG=",
        "      TYPE=QUESTION",
        "      TEXT=続けますか？%n表",
        "      ISABORT=0,1",
        "      question box:",
        "        | 続けますか？\n表",
    };
    const std::vector<std::string> expected =
        Header() + copy +
        std::vector<std::string>{
            "  made folder $\\表",
            "  copied $\\new\\a.txt -> $\\表\\a.txt",
            "  made folder $\\表\\sub",
            "  copied $\\new\\sub\\b.txt -> $\\表\\sub\\b.txt",
            "  => flag 1",
        } +
        ask +
        std::vector<std::string>{
            "      answer: Yes",
            "      => flag 1",
            "    [Sum] MODE=CRC",
            "      FILE=$\\表\\a.txt",
            "      TYPE=AND",
            "      CRC=CBF43926",
            "      CRC-32 of $\\表\\a.txt: 0xCBF43926, expected 0xCBF43926: matches",
            "      => flag 1",
            "  => flag 0",
            "[Tidy] MODE=DELETE",
            "  FILE=$\\表\\sub\\b.txt",
            "  deleted $\\表\\sub\\b.txt",
            "  => flag 1",
            "run completed",
        } +
        // The second run finds the folders made and stops at the answer No.
        Header("/iupdater.ini") + copy +
        std::vector<std::string>{
            "  copied $\\new\\a.txt -> $\\表\\a.txt",
            "  copied $\\new\\sub\\b.txt -> $\\表\\sub\\b.txt",
            "  => flag 1",
        } +
        ask +
        std::vector<std::string>{
            "      answer: No",
            "      => flag 0, the run stops here",
            "  => flag 0, the run stops here",
            "run stopped by the user's answer in procedure Ask",
        };
    EXPECT_EQ(LogEntries(box, "run.log"), Expected(box, expected));
    // 表示 in UTF-8, byte for byte.
    EXPECT_NE(box.ReadFile("run.log").find("  [\xE8\xA1\xA8\xE7\xA4\xBA] MODE=COPY\r\n"),
              std::string::npos);
}

TEST(RunLog, FailuresGiveTheBoxTextAndTheSystemsReason) {
    Sandbox box("log_failures");
    box.WriteFile("a.txt", "new");
    box.WriteFile("held.txt", "old");
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=C,Never\nLOG=<Src>\\run.log\n" +
                    Section("C", "MODE=COPY\nFROM=<Src>\\a.txt\nTO=<Src>\\held.txt\n") +
                    Section("Never", "MODE=MAKEDIR\nDIR=<Src>\\never\n"));
    const std::string copy_failed = ExpectedMessage(8, {box.Path("a.txt"), box.Path("held.txt")});
    {
        UniqueHandle held(CreateFileA(box.Path("held.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ExpectShownBoxes(box.Run(), {{copy_failed, kErrorBoxFlags}}, "N");
    }
    // A script without NAME stops at start-up, after the log has begun.
    box.WriteScript("[UPDATER]\nPROC=C\nLOG=<Src>\\run.log\n", "start.ini");
    const std::string no_name = ExpectedMessage(2, {"UPDATER", "NAME"});
    ExpectShownBoxes(box.Run("/istart.ini"), {{no_name, kErrorBoxFlags}}, kExpectedDefaultCaption);

    const std::string in_use = "error 32: " + SystemText(ERROR_SHARING_VIOLATION);
    const std::vector<std::string> expected =
        Header() +
        std::vector<std::string>{
            "[C] MODE=COPY",
            "  FROM=$\\a.txt",
            "  TO=$\\held.txt",
            "  failed to copy $\\a.txt -> $\\held.txt: " + in_use,
            "  error box:",
            "    | " + copy_failed,
            "  " + in_use,
            "  answer: OK",
            "  => flag 0, the run stops here",
            "run stopped at procedure C",
        } +
        Header("/istart.ini", "start.ini") +
        std::vector<std::string>{
            "error box:",
            "  | " + no_name,
            "answer: OK",
            "run stopped before any procedure ran",
        };
    EXPECT_EQ(LogEntries(box, "run.log"), Expected(box, expected));
    EXPECT_FALSE(box.Exists("never"));
}

TEST(RunLog, ALogThatCannotBeWrittenNeverChangesTheUpdate) {
    Sandbox box("log_unwritable");
    box.WriteFile("a.txt", "a");
    const std::string steps =
        "PROC=Copy,Tidy,Ask,Fail\n" +
        Section("Copy", "MODE=COPY\nFROM=<Src>\\a.txt\nTO=<Src>\\b.txt\n") +
        Section("Tidy", "MODE=DELETE\nFILE=<Src>\\data\n") +
        Section("Ask", "MODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=Done\nISABORT=0,0\n") +
        Section("Fail", "MODE=COPY\nFROM=<Src>\\nothere\nTO=<Src>\\c.txt\n");
    const std::vector<ExpectedBox> boxes = {
        {"Done", kInformationBoxFlags},
        {ExpectedMessage(8, {box.Path("nothere"), box.Path("c.txt")}), kErrorBoxFlags}};
    // Without a log, then with one in a missing folder, one that is a
    // folder, and one in the folder that the update removes: all that the
    // log could not write, the last line of the run too, is in a stand-in.
    const struct {
        const char* log;
        const char* file;
    } cases[] = {{"", ""},
                 {"LOG=<Src>\\missing\\run.log\n", "missing\\run.log"},
                 {"LOG=<Src>\n", ""},
                 {"LOG=<Src>\\data\\run.log\n", "data\\run.log"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        box.WriteFile("b.txt", "old");
        box.MakeFolder("data");
        box.WriteScript("[UPDATER]\nNAME=N\n" + std::string(c.log) + steps);
        const std::set<std::string> before = StandIns();
        ExpectShownBoxes(box.Run(), boxes, "N");
        EXPECT_EQ(box.ReadFile("b.txt"), "a");
        EXPECT_FALSE(box.Exists("data"));
        EXPECT_FALSE(box.Exists("missing"));
        const auto stand_ins = TakeStandIns(before);
        ASSERT_EQ(stand_ins.size(), *c.log != '\0' ? 1u : 0u);
        if (stand_ins.empty())
            continue;
        const std::vector<std::string>& entries = stand_ins[0];
        const size_t header = Header().size();
        ASSERT_GE(entries.size(), header + 2);
        EXPECT_EQ(std::vector<std::string>(entries.begin(), entries.begin() + header),
                  Expected(box, Header()));
        EXPECT_EQ(
            entries[header].rfind("instead of: " + box.Path(c.file) +
                                      " (it could not be written at the end of the run: error ",
                                  0),
            0u)
            << entries[header];
        EXPECT_EQ(entries.back(), "run stopped at procedure Fail");
    }
    // The folder of the log is removed and made again: the log lets go of
    // the file first, and what follows waits until it can be written again.
    box.MakeFolder("data");
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=Tidy,Make\nLOG=<Src>\\data\\run.log\n" +
                    Section("Tidy", "MODE=DELETE\nFILE=<Src>\\data\n") +
                    Section("Make", "MODE=MAKEDIR\nDIR=<Src>\\data\n"));
    const std::set<std::string> before = StandIns();
    ExpectShownBoxes(box.Run(), {}, "N");
    const std::vector<std::string> entries = LogEntries(box, "data\\run.log");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), "  deleted " + box.Path("data\\run.log"));
    EXPECT_EQ(entries.back(), "run completed");
    EXPECT_TRUE(TakeStandIns(before).empty());
}

// The log never writes into a file that is not its own: the script and the
// program however spelled, a file that is no log, a file the update copies
// from or onto, one that the copy makes. Each is as after the same run
// without a log, and so are the other files and the boxes; the log's lines
// are in a stand-in that says why.
TEST(RunLog, NeverWritesIntoAFileThatIsNotItsOwn) {
    const auto run = [](const std::string& log, SpyResult* result) {
        Sandbox box("log_not_its_own");
        box.MakeFolder("new");
        box.MakeFolder("app");
        box.WriteFile("new\\a.txt", "new a");
        box.WriteFile("new\\b.txt", "new b");
        box.WriteFile("app\\a.txt", "old a");
        box.WriteFile("readme.txt", "read me");
        box.WriteScript(
            "[UPDATER]\nNAME=N\nPROC=Files,Say\n" + log +
            Section("Files",
                    "MODE=COPY\nFROM=<Src>\\new\\a.txt, <Src>\\new\\b.txt\n"
                    "TO=<Src>\\app\\a.txt, <Src>\\app\\b.txt\n") +
            Section("Say", "MODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=done\nISABORT=\n"));
        const std::string script = box.ReadFile("updater.ini");
        *result = box.Run();
        EXPECT_EQ(box.ReadFile("updater.ini"), script);
        TreeSnapshot after = SnapshotOf(box.Path());
        after.erase("UPDATER.INI");
        return std::make_pair(after, box.Path());
    };
    SpyResult without;
    const TreeSnapshot expected = run("", &without).first;
    const struct {
        const char* log;
        const char* file;
        const char* why;
    } cases[] = {
        {"<Src>\\updater.ini", "updater.ini", "it is the script"},
        {"<Src>/UPDATER.INI.", "UPDATER.INI", "it is the script"},
        {"..\\log_not_its_own\\Updater.ini ", "Updater.ini", "it is the script"},
        {"<Src>\\.\\updater.exe", "updater.exe", "it is the program"},
        {"<Src>\\readme.txt", "readme.txt", "it is not a log file"},
        {"<Src>\\new\\a.txt", "new\\a.txt", "it is not a log file"},
        {"<Src>\\app\\a.txt", "app\\a.txt", "it is not a log file"},
        {"<Src>\\app\\B.txt", "app\\B.txt", "procedure Files writes it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        const std::set<std::string> before = StandIns();
        SpyResult with;
        const auto after = run("LOG=" + std::string(c.log) + "\n", &with);
        EXPECT_EQ(TreeDifferences(expected, after.first, false), "");
        EXPECT_EQ(BoxTexts(with), BoxTexts(without));
        const auto stand_ins = TakeStandIns(before);
        ASSERT_EQ(stand_ins.size(), 1u);
        const std::vector<std::string>& entries = stand_ins[0];
        ASSERT_GE(entries.size(), Header().size() + 2);
        EXPECT_EQ(entries[Header().size()],
                  "instead of: " + after.second + "\\" + c.file + " (" + c.why + ")");
        EXPECT_EQ(entries.back(), "run completed");
    }
}

// What each box was, the stop that ISABORT made at a box with only OK, and
// both values of a CRC that does not match.
TEST(RunLog, BoxKindsTheStopAtAnOkBoxAndCrcValues) {
    Sandbox box("log_boxes");
    box.WriteFile("a.txt", "123456789");
    const auto msgbox = [](const std::string& type, const std::string& abort) {
        return "MODE=MSGBOX\nFLAG=\nTYPE=" + type + "\nTEXT=" + type + "\nISABORT=" + abort + "\n";
    };
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=Sum,Info,Warn,Stop\nLOG=<Src>\\run.log\n" +
                    Section("Sum", "MODE=CRC\nFILE=<Src>\\a.txt\nTYPE=AND\nCRC=1A2B3C4D\n") +
                    Section("Info", msgbox("INFORMATION", "0")) +
                    Section("Warn", msgbox("WARNING", "0,1")) +
                    Section("Stop", msgbox("ERROR", "1")));
    ExpectCleanEnd(box.Run("", {1, kYes, 1}));
    std::vector<std::string> lines;
    for (const std::string& entry : LogEntries(box, "run.log")) {
        if (entry.find("box:") != std::string::npos || entry.find("CRC-32") != std::string::npos ||
            entry.find("run ") == 0)
            lines.push_back(entry);
    }
    EXPECT_EQ(lines,
              Expected(box, {"  CRC-32 of $\\a.txt: 0xCBF43926, expected 0x1A2B3C4D: does not "
                             "match",
                             "  information box:", "  warning box:", "  error box:",
                             "run stopped by ISABORT in procedure Stop: its box has only an "
                             "OK button"}));
}

// With ROLLBACK the header says so, the undo tells each step, and the line
// that tells how the run ended comes last: after the undo and the failure
// box it held back, also when the run stops while its list is built.
TEST(RunLog, TheUndoIsToldStepByStepBeforeTheLastLine) {
    Sandbox box("log_undo");
    box.MakeFolder("app");
    box.WriteFile("app\\a.txt", "old");
    box.WriteFile("a.txt", "new");
    box.WriteFile("b.txt", "new");
    box.WriteScript("[UPDATER]\nNAME=N\nROLLBACK=YES\nPROC=C,F\nLOG=<Src>\\run.log\n" +
                    Section("C",
                            "MODE=COPY\nFROM=<Src>\\a.txt,<Src>\\b.txt\n"
                            "TO=<Src>\\app\\a.txt,<Src>\\app\\b.txt\n") +
                    Section("F", "MODE=COPY\nFROM=<Src>\\gone\nTO=<Src>\\app\\c.txt\n"));
    const std::string failed = ExpectedMessage(8, {box.Path("gone"), box.Path("app\\c.txt")});
    ExpectShownBoxes(box.Run(), {{failed, kErrorBoxFlags}}, "N");
    box.WriteScript("[UPDATER]\nNAME=N\nROLLBACK=YES\nPROC=C,Broken\nLOG=<Src>\\run.log\n" +
                        Section("C", "MODE=MAKEDIR\nDIR=<Src>\\made\n") +
                        Section("Broken", "MODE=COPY\nFROM=<Src>\\a.txt\n"),
                    "broken.ini");
    const std::string broken = ExpectedMessage(2, {"Broken", "TO"});
    ExpectShownBoxes(box.Run("/ibroken.ini"), {{broken, kErrorBoxFlags}}, "N");

    char common[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
    const std::string store = std::string(common) + "\\Updater\\Undo";
    const std::string missing = "error 2: " + SystemText(ERROR_FILE_NOT_FOUND);
    const std::vector<std::string> expected =
        Header("", "updater.ini", "on") +
        std::vector<std::string>{
            "undo store: " + store,
            "[C] MODE=COPY",
            "  FROM=$\\a.txt,$\\b.txt",
            "  TO=$\\app\\a.txt,$\\app\\b.txt",
            "  copied $\\a.txt -> $\\app\\a.txt",
            "  copied $\\b.txt -> $\\app\\b.txt",
            "  => flag 1",
            "[F] MODE=COPY",
            "  FROM=$\\gone",
            "  TO=$\\app\\c.txt",
            "  failed to copy $\\gone -> $\\app\\c.txt: " + missing,
            "  => flag 0, the run stops here",
            "undo of the run of $\\updater.ini, journal " + store + "\\*.jnl",
            "  removed $\\app\\b.txt",
            "  put back $\\app\\a.txt",
            "  undo finished: everything is put back",
            "error box:",
            "  | " + failed,
            missing,
            "answer: OK",
            "run stopped at procedure F",
        } +
        Header("/ibroken.ini", "broken.ini", "on") +
        std::vector<std::string>{
            "undo store: " + store,
            "error box:",
            "  | " + broken,
            "answer: OK",
            "run stopped at procedure Broken",
        };
    std::vector<std::string> entries = LogEntries(box, "run.log");
    // The journal's name differs from run to run.
    for (std::string& line : entries)
        line = std::regex_replace(line, std::regex("\\\\[0-9A-F]{8}\\.jnl$"), "\\*.jnl");
    EXPECT_EQ(entries, Expected(box, expected));
    EXPECT_EQ("old", box.ReadFile("app\\a.txt"));
    EXPECT_FALSE(box.Exists("app\\b.txt"));
}

// Other programs may rename or delete the log while the run waits at a
// question: the log shares deletion. A renamed log goes on under its new name
// to the run's last line, and neither change brings a file back under the old
// name or changes the update.
TEST(RunLog, OtherProgramsMayRenameOrDeleteTheLogWhileABoxIsUp) {
    Sandbox box("log_shared");
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=Ask,Make\nLOG=<Src>\\run.log\n" +
                    Section("Ask", "MODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=Go?\nISABORT=0,1\n") +
                    Section("Make", "MODE=MAKEDIR\nDIR=<Src>\\made\n"));
    const std::string log = box.Path("run.log");
    const std::string moved = box.Path("moved.log");
    const struct {
        const char* what;
        std::function<BOOL()> act;
        bool renamed;
    } cases[] = {
        {"rename", [&] { return MoveFileA(log.c_str(), moved.c_str()); }, true},
        {"delete", [&] { return DeleteFileA(log.c_str()); }, false},
    };
    const std::vector<std::string> whole =
        Header() +
        std::vector<std::string>{"[Ask] MODE=MSGBOX",   "  FLAG=",       "  TYPE=QUESTION",
                                 "  TEXT=Go?",          "  ISABORT=0,1", "  question box:",
                                 "    | Go?",           "  answer: Yes", "  => flag 1",
                                 "[Make] MODE=MAKEDIR", "  DIR=$\\made", "  made folder $\\made",
                                 "  => flag 1",         "run completed"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveDirectoryA(box.Path("made").c_str());
        DeleteFileA(moved.c_str());
        std::string acted = "not while the box was up";
        const SpyResult run =
            RunWithBoxSpy(box.Path("updater.exe"), "", box.Path(), {kYes}, kHangCeilingMs, {},
                          [&](const ShownBox&) {
                              acted = c.act() ? "done" : "error " + std::to_string(GetLastError());
                          });
        ExpectShownBoxes(run, {{"Go?", kQuestionBoxFlags}}, "N");
        EXPECT_EQ(acted, "done");
        EXPECT_FALSE(box.Exists("run.log"));
        EXPECT_TRUE(box.Exists("made"));
        EXPECT_EQ(box.Exists("moved.log"), c.renamed);
        if (c.renamed)
            EXPECT_EQ(LogEntries(box, "moved.log"), Expected(box, whole));
    }
}

}  // namespace
