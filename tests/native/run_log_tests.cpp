// The run log's lines from the run's events and boxes: indentation by list
// depth, values whole and as data, outcomes, flushes; and which changes
// reach the log file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_log.h"
#include "text/code_page.h"

namespace {

const unsigned char kCp932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
const unsigned char kSingleByte[] = {0, 0};
#define HYO "\x95\x5C"  // 表: its trail byte is a backslash

struct FakeSink : LogSink {
    void WriteLine(const char* text, size_t length) override { lines.emplace_back(text, length); }
    void Flush() override { lines.push_back("<flush>"); }
    void Close() override { lines.push_back("<close>"); }
    uint32_t Milliseconds() override { return 42; }
    TextBuffer ErrorText(uint32_t error) override { return error == 32 ? "In use." : ""; }
    std::vector<std::string> lines;
};

struct FakeProcedure : Procedure {
    FakeProcedure(const char* section, const char* mode_value, std::vector<std::string> keys) {
        name = section;
        mode = mode_value;
        kind = FindKind(mode_value);
        for (size_t i = 0; i < keys.size(); ++i) values[i] = keys[i].c_str();
    }
    bool Run(RunContext&) override { return true; }
};

class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(kCp932); }
    void TearDown() override { SetLeadByteRanges(kSingleByte); }
    FakeSink sink;
    RunLog log{sink};
};

TEST_F(RunLogTest, ProceduresAreIndentedByDepthWithTheirValuesWhole) {
    const std::string long_value = std::string(40000, 'x') + "%s%n%08X";
    FakeProcedure branch("Branch", "SWITCH", {"A", "", "Copy"});
    FakeProcedure copy("Copy", "copy", {long_value, "C:\\" HYO "\\t"});
    log.ProcedureStarting(branch, 1);
    log.ProcedureStarting(copy, 2);
    log.FileActed(FileAction::kCopied, "C:\\a", "C:\\b", 0);
    log.FileActed(FileAction::kCopied, "C:\\a", "C:\\" HYO, 32);
    log.FileActed(FileAction::kDeleted, "C:\\d", "", 5);
    log.ProcedureEnded(copy, 2, false);
    branch.result = true;
    log.ProcedureEnded(branch, 1, true);
    const std::vector<std::string> expected = {
        "     42 ms  [Branch] MODE=SWITCH",
        "     42 ms    PROC=A",
        "     42 ms    0=",
        "     42 ms    1=Copy",
        "     42 ms      [Copy] MODE=copy",
        "     42 ms        FROM=" + long_value,
        "     42 ms        TO=C:\\" HYO "\\t",
        "     42 ms        copied C:\\a -> C:\\b",
        "     42 ms        failed to copy C:\\a -> C:\\" HYO ": error 32: In use.",
        "     42 ms        failed to delete C:\\d: error 5",
        "     42 ms        => flag 0, the run stops here",
        "<flush>",
        "     42 ms    => flag 1",
        "<flush>",
    };
    EXPECT_EQ(sink.lines, expected);
}

TEST_F(RunLogTest, BoxesWaitsAndChecksOfAProcedure) {
    FakeProcedure launch("Start", "LAUNCH", {"a.exe", "", "0"});
    log.ProcedureStarting(launch, 1);
    sink.lines.clear();
    log.Waited("a.exe", 1500, WaitEnd::kReady);
    log.Waited("b.exe", 0, WaitEnd::kNotRunning);
    const TextBuffer failure("line 1\n\nline 3 %s");
    log.BoxComing({BoxPurpose::kFailure, 8, failure, 0x10, 32, 0});
    log.BoxAnswered({BoxPurpose::kFailure, 8, failure, 0x10, 32, kAnswerOk});
    const TextBuffer question("Go on?");
    log.BoxAnswered({BoxPurpose::kQuestion, 0, question, 0x24, 0, kAnswerNo});
    log.BoxAnswered({BoxPurpose::kQuestion, 0, question, 0x24, 0, -1});
    FakeProcedure wait("Wait", "WAITAPP", {"app.exe", "100"});
    log.ProcedureStarting(wait, 1);
    log.Waited("app.exe", 100, WaitEnd::kTimedOut);
    log.Waited("b.exe", 0, WaitEnd::kNotRunning);
    log.CrcComputed("C:\\" HYO, true, 0xCBF43926);
    log.CrcComputed("C:\\x", false, 0);
    const std::vector<std::string> expected = {
        "     42 ms    launched a.exe, waited 1500 ms, ready for input",
        "     42 ms    launched b.exe: no process of its own to wait for",
        "     42 ms    error box:",
        "                | line 1",
        "                |",
        "                | line 3 %s",
        "     42 ms    error 32: In use.",
        "<flush>",
        "     42 ms    answer: OK",
        "     42 ms    answer: No",
        "     42 ms    answer: none (-1)",
        "     42 ms  [Wait] MODE=WAITAPP",
        "     42 ms    APP=app.exe",
        "     42 ms    TICK=100",
        "     42 ms    waited for app.exe: 100 ms, time limit reached",
        "     42 ms    did not wait for b.exe: not running",
        "     42 ms    CRC-32 of C:\\" HYO ": 0xCBF43926",
        "     42 ms    CRC-32 of C:\\x: cannot be read",
    };
    EXPECT_EQ(sink.lines, expected);
}

TEST_F(RunLogTest, LastLineTellsHowTheRunEnded) {
    log.RunEnded(RunEnd::kCompleted, "");
    log.RunEnded(RunEnd::kFailed, "Copy");
    log.RunEnded(RunEnd::kFailed, "");
    log.RunEnded(RunEnd::kAnswered, "Ask");
    const std::vector<std::string> expected = {
        "     42 ms  run completed",
        "<flush>",
        "     42 ms  run stopped at procedure Copy",
        "<flush>",
        "     42 ms  run stopped before any procedure ran",
        "<flush>",
        "     42 ms  run stopped by the user's answer in procedure Ask",
        "<flush>",
    };
    EXPECT_EQ(sink.lines, expected);
}

TEST_F(RunLogTest, TheFileIsLetGoOfBeforeAChangeReachesIt) {
    // In the folder ア (0x83 0x41) below 表.
    const char* const log_path = "C:\\Logs\\" HYO "\\\x83\x41\\run.log";
    log.Begin({"2025-01-14 10:32:07", "1.0.0", "C:\\u.exe", "C:\\u.ini", "/x", "10.0", "no"},
              log_path);
    EXPECT_EQ(sink.lines[0], "==== updater run 2025-01-14 10:32:07");
    EXPECT_EQ(sink.lines[1], "program: C:\\u.exe, version 1.0.0");
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

}  // namespace
