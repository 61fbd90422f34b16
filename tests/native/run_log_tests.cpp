// The run log's lines from the run's events and boxes: values whole and as
// data, waits, answers and errors without a name; and which changes reach the
// log file.
#include <gtest/gtest.h>

#include "code_page_cases.h"
#include "fake_procedure.h"

#include <string>
#include <vector>

#include "app/run_log.h"
#include "text/code_page.h"

namespace {

struct FakeSink : LogSink {
    void WriteLine(const char* text, size_t length) override { lines.emplace_back(text, length); }
    void Flush() override { lines.push_back("<flush>"); }
    void Close() override { lines.push_back("<close>"); }
    uint32_t Milliseconds() override { return 42; }
    TextBuffer ErrorText(uint32_t) override { return ""; }
    std::vector<std::string> lines;
};

class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(kCp932); }
    void TearDown() override { SetLeadByteRanges(kSingleByte); }
    FakeSink sink;
    RunLog log{sink};
};

TEST_F(RunLogTest, ValuesWholeAndAsDataWaitsAndAnswers) {
    const std::string long_value = std::string(40000, 'x') + "%s%n%08X";
    FakeProcedure launch("Start", "launch", {long_value, "", "0"});
    log.ProcedureStarting(launch, 2);
    log.Waited("a.exe", 1500, WaitEnd::kReady);
    log.Waited("b.exe", 0, WaitEnd::kNotRunning);
    log.FileActed(FileAction::kDeleted, "C:\\" HYO, "", 5);
    const TextBuffer question("Go on?\r\n\n%s");
    log.BoxComing({BoxPurpose::kQuestion, 0, question, 0x24, 0, 0});
    log.BoxAnswered({BoxPurpose::kQuestion, 0, question, 0x24, 0, -1});
    FakeProcedure wait("Wait", "WAITAPP", {"app.exe", "100"});
    log.ProcedureStarting(wait, 1);
    log.Waited("app.exe", 100, WaitEnd::kTimedOut);
    log.Waited("b.exe", 0, WaitEnd::kNotRunning);
    log.CrcComputed("C:\\x", false, 0);
    const std::vector<std::string> expected = {
        "     42 ms      [Start] MODE=launch",
        "     42 ms        FILE=" + long_value,
        "     42 ms        PARAM=",
        "     42 ms        ISWAIT=0",
        "     42 ms        launched a.exe, waited 1500 ms, ready for input",
        "     42 ms        launched b.exe: no process of its own to wait for",
        "     42 ms        failed to delete C:\\" HYO ": error 5",
        "     42 ms        question box:",
        "                    | Go on?",
        "                    |",
        "                    | %s",
        "<flush>",
        "     42 ms        answer: none (-1)",
        "     42 ms  [Wait] MODE=WAITAPP",
        "     42 ms    APP=app.exe",
        "     42 ms    TICK=100",
        "     42 ms    waited for app.exe: 100 ms, time limit reached",
        "     42 ms    did not wait for b.exe: not running",
        "     42 ms    CRC-32 of C:\\x: cannot be read",
    };
    EXPECT_EQ(sink.lines, expected);
}

TEST_F(RunLogTest, TheFileIsLetGoOfBeforeAChangeReachesIt) {
    // In the folder ア (0x83 0x41) below 表.
    const char* const log_path = "C:\\Logs\\" HYO "\\\x83\x41\\run.log";
    log.Begin(LogHeader(), log_path);
    sink.lines.clear();
    log.FileChanging(FileAction::kCopied, "C:\\Logs\\new.txt", "C:\\Logs\\old.txt");
    EXPECT_TRUE(sink.lines.empty());
    log.FileChanging(FileAction::kFolderRemoved, "c:\\LOGS", "");
    log.FileChanging(FileAction::kCopied, "C:\\x", log_path);
    EXPECT_EQ(sink.lines, std::vector<std::string>(2, "<close>"));

    struct Case {
        const char* changed;
        bool reaches;
    };
    const Case cases[] = {
        {"C:\\Logs\\" HYO "\\\x83\x41\\RUN.LOG", true},
        {"C:\\Logs\\" HYO, true},
        {"C:\\Logs\\", true},
        {"C:\\Logs\\*.txt", true},
        {"C:\\Logs\\" HYO "\\\x83\x41\\r?n.log", true},
        {"C:\\Log", false},
        {"C:\\Logs\\" HYO "\\\x83\x41\\run.log2", false},
        {"C:\\Logs\\x\\*", false},
        // A trail byte is compared exactly, not as an ASCII letter (テ is 0x83 0x61).
        {"C:\\Logs\\" HYO "\\\x83\x61", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChangeReaches(c.changed, log_path), c.reaches) << c.changed;
}

TEST_F(RunLogTest, TheCallersRequestAnswersTakenWithoutABoxAndOptionalKeys) {
    LogHeader header;
    header.caller = "UPDATER_UNATTENDED=1";
    log.Begin(header, "C:\\run.log");
    EXPECT_EQ(sink.lines[6], "caller: UPDATER_UNATTENDED=1");
    sink.lines.clear();
    FakeProcedure plain("Nt", "OSVER", {});
    FakeProcedure gate("Win10", "OSVER", {"10.0"});
    log.ProcedureStarting(plain, 1);
    log.ProcedureStarting(gate, 1);
    const TextBuffer text("Go on?");
    ReportedBox box{BoxPurpose::kQuestion, 0, text, 0x24, 0, kAnswerYes};
    box.answered_how = "from UPDATER_ANSWERS answer 1";
    log.BoxAnswered(box);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{
                              "     42 ms  [Nt] MODE=OSVER",
                              "     42 ms  [Win10] MODE=OSVER",
                              "     42 ms    MIN=10.0",
                              "     42 ms    answer: Yes (from UPDATER_ANSWERS answer 1)",
                          }));
}

// A wait for a held file, from its beginning to how it ended; a feature the
// run goes without; a run the user cancelled.
TEST_F(RunLogTest, HeldFilesWhatIsNotAvailableAndCancel) {
    log.Unavailable("progress window", "no display");
    FakeProcedure copy("Files", "COPY", {"C:\\a", "D:\\" HYO});
    log.ProcedureStarting(copy, 1);
    log.FileHeld(FileAction::kCopied, "C:\\a", "D:\\" HYO, 32, 0, HeldWait::kBegins);
    log.FileHeld(FileAction::kCopied, "C:\\a", "D:\\" HYO, 0, 1016, HeldWait::kLetGo);
    log.FileHeld(FileAction::kDeleted, "C:\\b", "", 33, 1000, HeldWait::kStillHeld);
    log.RunEnded(RunEnd::kCancelled, "Files");
    EXPECT_EQ(sink.lines, (std::vector<std::string>{
                              "     42 ms  progress window not available: no display",
                              "     42 ms  [Files] MODE=COPY",
                              "     42 ms    FROM=C:\\a",
                              "     42 ms    TO=D:\\" HYO,
                              "     42 ms    waiting for C:\\a -> D:\\" HYO
                              ", held by another program: error 32",
                              "     42 ms    waited 1016 ms for C:\\a -> D:\\" HYO ": let go",
                              "     42 ms    waited 1000 ms for C:\\b: still held",
                              "     42 ms  run stopped by the user in procedure Files",
                              "<flush>",
                          }));
}

// A caller's log may be any .log file of the file system, but neither a
// device nor a stream of another file.
TEST_F(RunLogTest, ACallersLogMustBeALogFile) {
    struct Case {
        const char* path;
        bool accepted;
    };
    const Case cases[] = {
        {"C:\\Logs\\run.log", true},
        {"run.LOG", true},
        {"\\\\server\\share\\u.log", true},
        {"C:/Logs/run.log", true},
        {"C:\\" HYO "\\a.log", true},
        {"C:\\combo.log", true},
        {"C:\\Logs\\run.txt", false},
        {"C:\\Logs\\run.log.", false},
        {".log", false},
        {"", false},
        {"C:\\app.exe:x.log", false},
        {"app.exe:x.log", false},
        {"\\\\.\\PhysicalDrive0\\x.log", false},
        {"\\\\?\\C:\\x.log", false},
        {"//./C:/x.log", false},
        {"C:\\Logs\\nul.log", false},
        {"C:\\Logs\\Com1.log", false},
        {"lpt9.log", false},
        {"CON .log", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsLogFileName(c.path), c.accepted) << c.path;
}

}  // namespace
