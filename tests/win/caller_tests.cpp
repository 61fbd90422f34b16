// Running the updater from another program: the exit status, unattended
// runs, answers given in advance, a log on request and the version gate, all
// asked for through the environment of the real updater.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "helper_programs.h"
#include "sandbox.h"

namespace {

const std::string kStatus = "UPDATER_EXIT_STATUS=1";
const std::string kUnattended = "UPDATER_UNATTENDED=1";
const int kYes = 6, kNo = 7;

std::string Answers(const std::string& list) {
    return "UPDATER_ANSWERS=" + list;
}
std::string LogTo(const Sandbox& box, const std::string& name) {
    return "UPDATER_LOG=" + box.Path(name);
}

std::string Box(const std::string& name, const std::string& type, const std::string& text,
                const std::string& abort) {
    return Section(
        name, "MODE=MSGBOX\nFLAG=\nTYPE=" + type + "\nTEXT=" + text + "\nISABORT=" + abort + "\n");
}
std::string Copy(const std::string& name, const std::string& from, const std::string& to) {
    return Section(name, "MODE=COPY\nFROM=<Src>\\" + from + "\nTO=<Src>\\" + to + "\n");
}
// Writes the UPDATER_ variables that the programs LAUNCH starts inherit into
// env.txt (written out: a symbol right behind ">" is not expanded).
std::string SaveEnvironment(const std::string& name, const Sandbox& box) {
    return Section(name, "MODE=LAUNCH\nFILE=cmd.exe\nPARAM=/c set UPDATER_>" + box.Path("env.txt") +
                             "\nISWAIT=1\n");
}

// The UPDATER_ variables that the program LAUNCH started saw, but the test's own.
std::string Inherited(const Sandbox& box) {
    const std::string text = box.ReadFile("env.txt");
    std::string seen = text.empty() ? "no env.txt" : "";
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        if (line.compare(0, 12, "UPDATER_EXE=") != 0)
            seen += line + ";";
        if (end == std::string::npos)
            break;
    }
    return seen;
}

// The result flag of each procedure, by name, as the log tells it.
std::map<std::string, int> Flags(const std::vector<std::string>& lines) {
    std::map<std::string, int> flags;
    std::string procedure;
    for (const std::string& line : lines) {
        const size_t open = line.find("  ["), close = line.find("] MODE=");
        if (open != std::string::npos && close != std::string::npos)
            procedure = line.substr(open + 3, close - open - 3);
        const size_t flag = line.find("=> flag ");
        if (flag != std::string::npos)
            flags[procedure] = line[flag + 8] - '0';
    }
    return flags;
}

struct StatusCase {
    const char* what;
    std::string script;  // "" for none
    std::vector<int> answers;
    unsigned long status;
    std::vector<std::string> boxes;
};

// Each status comes from what happened; without the variable the same run
// shows the same boxes and ends with 0.
TEST(ExitStatus, TellsHowTheRunEnded) {
    Sandbox box("caller_status");
    const std::string copy_missing =
        ExpectedMessage(8, {box.Path("missing.txt"), box.Path("x.txt")});
    const std::string verify = Section("V", "MODE=VERIFY\nARG1=a\nARG2=a\n");
    const StatusCase cases[] = {
        {"completed", Script("V", verify), {}, 0, {}},
        {"a failed procedure",
         Script("C", Copy("C", "missing.txt", "x.txt")),
         {},
         1,
         {copy_missing}},
        {"No at a question",
         Script("Ask", Box("Ask", "QUESTION", "Go?", "0,1")),
         {kNo},
         2,
         {"Go?"}},
        {"OK at a box that ends the run",
         Script("I", Box("I", "INFORMATION", "Stop.", "1")),
         {},
         2,
         {"Stop."}},
        {"no script", "", {}, 4, {ExpectedMessage(1, {box.Path("updater.ini")})}},
        {"an empty PROC", Script("", ""), {}, 4, {ExpectedMessage(4, {"UPDATER", "PROC"})}},
        {"a procedure that cannot be built",
         Script("V,C", verify + Section("C", "MODE=COPY\nFROM=a\n")),
         {},
         4,
         {ExpectedMessage(2, {"C", "TO"})}},
        {"a MIN that is no version",
         Script("O", Section("O", "MODE=OSVER\nMIN=10\n")),
         {},
         4,
         {ExpectedMessage(2, {"O", "MIN"})}},
        {"a SWITCH list that cannot be built after a procedure ran",
         Script("V,S", verify + Section("S", "MODE=SWITCH\nPROC=V\n0=\n1=Nowhere\n")),
         {},
         1,
         {ExpectedMessage(2, {"Nowhere", "MODE"})}},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(box.Path("updater.ini").c_str());
        if (!c.script.empty())
            box.WriteScript(c.script);
        EXPECT_EQ(BoxTexts(box.Run("", c.answers)), c.boxes);
        EXPECT_EQ(BoxTexts(box.RunWith({kStatus}, c.status, c.answers)), c.boxes);
    }
}

// An undo that cannot put back a file the run made, held by another program:
// message 18 after the failure, and again at the next start, are status 3.
// Once the file is free, the next start finishes the undo and runs.
TEST(ExitStatus, AnUndoThatCannotFinishIs3) {
    Sandbox box("caller_undo");
    box.MakeFolder("new");
    box.MakeFolder("app");
    box.WriteFile("new\\a.txt", "new");
    helpers::Install(box, "helper_holder", "holder.exe");
    box.WriteScript("[UPDATER]\nNAME=N\nROLLBACK=YES\nPROC=C,Hold,F\n" +
                    Copy("C", "new\\a.txt", "app\\a.txt") +
                    Section("Hold",
                            "MODE=LAUNCH\nFILE=<Src>\\holder.exe\n"
                            "PARAM=<Src>\\app\\a.txt\nISWAIT=0\n") +
                    Copy("F", "missing.txt", "app\\b.txt"));
    const std::string not_restored = ExpectedMessage(18, {box.Path("app\\a.txt")});
    EXPECT_EQ(
        BoxTexts(box.RunWith({kStatus}, 3)),
        (std::vector<std::string>{
            ExpectedMessage(8, {box.Path("missing.txt"), box.Path("app\\b.txt")}), not_restored}));
    EXPECT_EQ(BoxTexts(box.RunWith({kStatus}, 3)), std::vector<std::string>{not_restored});
    box.WriteFile("holder.exe.stop", "");
    ASSERT_TRUE(helpers::WaitForFile(box.Path("holder.exe.ended")));
    // Only a run that asks for an undo finishes an earlier one.
    box.WriteScript("[UPDATER]\nNAME=N\nROLLBACK=YES\nPROC=V\n" +
                    Section("V", "MODE=VERIFY\nARG1=\nARG2=\n"));
    EXPECT_TRUE(BoxTexts(box.RunWith({kStatus}, 0)).empty());
    EXPECT_FALSE(box.Exists("app\\a.txt"));
}

// A crash ends the run through the exception filter: status 5 when asked
// for, 0 when only an unattended run was, and never a box of the system's.
// The fault is a thread started in the updater, while it waits for a
// program, at an address that holds no code.
TEST(ExitStatus, ACrashIs5) {
    Sandbox box("caller_crash");
    box.WriteFile("a.txt", "a");
    const std::string sleeper = helpers::Install(box, "helper_sleeper", "sleeper.exe");
    box.WriteScript(
        Script("Mark,Wait", Copy("Mark", "a.txt", "waiting.txt") +
                                Section("Wait", "MODE=WAITAPP\nAPP=" + sleeper + "\nTICK=-1\n")));
    const struct {
        const char* variable;
        DWORD status;
    } cases[] = {{"UPDATER_EXIT_STATUS", 5}, {"UPDATER_UNATTENDED", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable);
        DeleteFileA(box.Path("waiting.txt").c_str());
        helpers::RunningHelper waited_for(sleeper);
        SetEnvironmentVariableA(c.variable, "1");
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        std::string command = "\"" + box.Path("updater.exe") + "\"";
        const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                                            nullptr, box.Path().c_str(), &startup, &info);
        SetEnvironmentVariableA(c.variable, nullptr);
        ASSERT_TRUE(started);
        CloseHandle(info.hThread);
        ASSERT_TRUE(helpers::WaitForFile(box.Path("waiting.txt")));
        HANDLE fault =
            CreateRemoteThread(info.hProcess, nullptr, 0,
                               reinterpret_cast<LPTHREAD_START_ROUTINE>(16), nullptr, 0, nullptr);
        ASSERT_NE(fault, nullptr);
        CloseHandle(fault);
        EXPECT_EQ(WaitForSingleObject(info.hProcess, kHangCeilingMs), WAIT_OBJECT_0);
        DWORD status = 99;
        GetExitCodeProcess(info.hProcess, &status);
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(waited_for.StillRunning()) << "the run was to end by the fault, not the wait";
        CloseHandle(info.hProcess);
    }
}

// No box is shown, the program's or the shell's: each takes its default
// button, and the default log holds it with its text and answer. A SHELL
// that fails shows no error of the shell's own. Programs started by LAUNCH
// inherit UPDATER_UNATTENDED.
TEST(Unattended, NoBoxAtAllAndEachInTheDefaultLog) {
    Sandbox box("caller_unattended");
    box.WriteFile("a.txt", "123456789");
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string default_log = std::string(temp) + "updater.log";
    DeleteFileA(default_log.c_str());
    box.WriteScript(
        Script("Warn,Ask,Info,Sum,Env,Sh",
               Box("Warn", "WARNING", "Replace?", "0,0") + Box("Ask", "QUESTION", "Go on?", "0,1") +
                   Box("Info", "INFORMATION", "Done.", "") +
                   Section("Sum", "MODE=CRC\nFILE=<Src>\\a.txt\nTYPE=AND\nCRC=\n") +
                   SaveEnvironment("Env", box) +
                   Section("Sh", "MODE=SHELL\nFUNC=COPY\nFROM=<Src>\\missing\nTO=<Src>\\copy\n")));
    const SpyResult run = box.RunWith({kUnattended, kStatus}, 1);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_TRUE(run.other_boxes.empty());
    EXPECT_EQ(Inherited(box), "UPDATER_EXIT_STATUS=1;UPDATER_UNATTENDED=1;");

    const std::vector<std::string> log = LogLines(default_log);
    EXPECT_EQ(Matching(log, "caller: "),
              std::vector<std::string>{"caller: UPDATER_EXIT_STATUS=1, UPDATER_UNATTENDED=1"});
    for (const char* text : {"| Replace?", "| Go on?", "| Done.", "| PROC\t: Sum",
                             "| ファイル操作を完了できませんでした。"})
        EXPECT_EQ(Matching(log, text).size(), 1u) << text;
    EXPECT_EQ(Matching(log, "answer: "),
              (std::vector<std::string>{"answer: No (the default button: unattended)",
                                        "answer: Yes (the default button: unattended)",
                                        "answer: OK (the default button: unattended)",
                                        "answer: OK (the default button: unattended)",
                                        "answer: OK (the default button: unattended)"}));
    EXPECT_EQ(Flags(log),
              (std::map<std::string, int>{
                  {"Warn", 0}, {"Ask", 1}, {"Info", 1}, {"Sum", 1}, {"Env", 1}, {"Sh", 0}}));

    // What comes before the script is read is in the default log too.
    DeleteFileA(default_log.c_str());
    DeleteFileA(box.Path("updater.ini").c_str());
    EXPECT_TRUE(box.RunWith({kUnattended, kStatus}, 4).boxes.empty());
    EXPECT_EQ(Matching(LogLines(default_log), "| ファイルが見つかりません。").size(), 1u);
    DeleteFileA(default_log.c_str());
}

// The answers take a SWITCH to its list 1, then in a second run to its list
// 0. A box beyond the answers is shown; one without a button for its answer
// takes its default, and the log says why. LAUNCH passes the answers on to
// no program.
TEST(Answers, DriveASwitchToEitherList) {
    Sandbox box("caller_answers");
    box.WriteFile("yes.txt", "yes");
    box.WriteFile("no.txt", "no");
    box.WriteScript(Script("Ask,S,Env,Done",
                           Box("Ask", "QUESTION", "Install the extras?", "0,0") +
                               Section("S", "MODE=SWITCH\nPROC=Ask\n0=No\n1=Yes\n") +
                               Copy("Yes", "yes.txt", "chosen.txt") +
                               Copy("No", "no.txt", "chosen.txt") + SaveEnvironment("Env", box) +
                               Box("Done", "INFORMATION", "Updated.", "")));
    const SpyResult yes = box.RunWith({Answers("Yes")}, 0);
    EXPECT_EQ(BoxTexts(yes), std::vector<std::string>{"Updated."});
    EXPECT_EQ(box.ReadFile("chosen.txt"), "yes");
    EXPECT_EQ(Inherited(box), "");

    const SpyResult no = box.RunWith({Answers("no,Yes"), LogTo(box, "run.log"), kStatus}, 0);
    EXPECT_TRUE(no.boxes.empty());
    EXPECT_EQ(box.ReadFile("chosen.txt"), "no");
    EXPECT_EQ(Matching(LogLines(box.Path("run.log")), "answer: "),
              (std::vector<std::string>{
                  "answer: No (from UPDATER_ANSWERS answer 1)",
                  "answer: OK (the default button: UPDATER_ANSWERS answer 2 is Yes, which this "
                  "box has no button for)"}));
}

// UPDATER_LOG is the run's log, before the script's own; a name that does not
// end in .log is ignored, and the script's log says so.
TEST(CallersLog, TakesThePlaceOfTheScriptsOwn) {
    Sandbox box("caller_log");
    const std::string verify = Section("V", "MODE=VERIFY\nARG1=\nARG2=\n");
    const struct {
        const char* what;
        std::string log_key;  // the script's LOG line
        std::string variable;
        const char* written;
        const char* not_written;
        std::string caller_line;
    } cases[] = {
        {"a script without LOG", "", LogTo(box, "caller.log"), "caller.log", "script.log",
         "caller: " + LogTo(box, "caller.log")},
        {"before the script's LOG", "LOG=<Src>\\script.log\n", LogTo(box, "caller.log"),
         "caller.log", "script.log", "caller: " + LogTo(box, "caller.log")},
        {"a name without .log", "LOG=<Src>\\script.log\n", LogTo(box, "caller.txt"), "script.log",
         "caller.txt",
         "caller: " + LogTo(box, "caller.txt") +
             " (UPDATER_LOG is ignored: not the path of a .log file)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        box.WriteScript("[UPDATER]\nNAME=N\nPROC=V\n" + c.log_key + verify);
        DeleteFileA(box.Path(c.written).c_str());
        EXPECT_TRUE(box.RunWith({c.variable}, 0).boxes.empty());
        const std::vector<std::string> log = LogLines(box.Path(c.written));
        EXPECT_EQ(Matching(log, "caller: "), std::vector<std::string>{c.caller_line});
        EXPECT_EQ(Matching(log, "run completed").size(), 1u);
        EXPECT_FALSE(box.Exists(c.not_written));
    }
}

// The version in the log's header against MIN just below, at and just above
// it; then, for an older Windows, Wine's version setting for this one program.
TEST(OsVerMin, IsTrueFromThatVersionOn) {
    Sandbox box("caller_osver");
    const std::string log_variable = LogTo(box, "run.log");
    const auto run_and_read_flags = [&](const std::string& program, const std::string& sections) {
        box.WriteScript(Script("N,Low,Same,Short,Build,Minor,Major", sections), program + ".ini");
        DeleteFileA(box.Path("run.log").c_str());
        box.RunProgram(program + ".exe", box.Path(), "", {}, kHangCeilingMs, {log_variable});
        return Flags(LogLines(box.Path("run.log")));
    };
    const auto gate = [](const std::string& name, const std::string& min) {
        return Section(name, "MODE=OSVER\nMIN=" + min + "\n");
    };
    const auto versions_around = [&](const std::string& program) {
        box.WriteScript(Script("V", Section("V", "MODE=VERIFY\nARG1=\nARG2=\n")), program + ".ini");
        DeleteFileA(box.Path("run.log").c_str());
        box.RunProgram(program + ".exe", box.Path(), "", {}, kHangCeilingMs, {log_variable});
        const std::vector<std::string> header =
            Matching(LogLines(box.Path("run.log")), "windows: ");
        unsigned major = 0, minor = 0, build = 0;
        EXPECT_EQ(header.size(), 1u);
        EXPECT_EQ(sscanf(header.empty() ? "" : header[0].c_str(), "windows: %u.%u.%u", &major,
                         &minor, &build),
                  3);
        const auto text = [](unsigned a, unsigned b) {
            return std::to_string(a) + "." + std::to_string(b);
        };
        const std::string sections =
            Section("N", "MODE=OSVER\n") +
            gate("Low", text(major, minor) + "." + std::to_string(build - 1)) +
            gate("Same", text(major, minor) + "." + std::to_string(build)) +
            gate("Short", text(major, minor)) +
            gate("Build", text(major, minor) + "." + std::to_string(build + 1)) +
            gate("Minor", text(major, minor + 1)) + gate("Major", text(major + 1, 0));
        return std::make_pair(text(major, minor) + "." + std::to_string(build), sections);
    };
    const std::map<std::string, int> expected = {
        {"N", 1}, {"Low", 1}, {"Same", 1}, {"Short", 1}, {"Build", 0}, {"Minor", 0}, {"Major", 0}};
    const auto current = versions_around("updater");
    EXPECT_EQ(run_and_read_flags("updater", current.second), expected);

    // Windows XP, for this program's name only.
    const char kKey[] = "Software\\Wine\\AppDefaults\\oldwin.exe";
    CopyFileA(box.Path("updater.exe").c_str(), box.Path("oldwin.exe").c_str(), FALSE);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("winxp"), 6);
    RegCloseKey(key);
    const auto old = versions_around("oldwin");
    EXPECT_EQ(old.first, "5.1.2600");
    EXPECT_EQ(run_and_read_flags("oldwin", old.second), expected);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    EXPECT_NE(current.first, old.first);
}

}  // namespace
