// The run log's lines from the run's events and boxes: values whole and as
// data, waits, answers, errors without a name and the steps of an undo; and
// which changes reach the log file.
#include <gtest/gtest.h>

#include "code_page_cases.h"
#include "fake_procedure.h"

#include <string>
#include <vector>

#include "app/run_log.h"
#include "text/code_page.h"

namespace {

// The log's own file is "own" however spelled, here in any letter case.
struct FakeSink : LogSink {
    void WriteLine(const char* text, size_t length) override { lines.emplace_back(text, length); }
    void HeaderWritten() override { lines.push_back("<header>"); }
    void Flush() override { lines.push_back("<flush>"); }
    void Close() override { lines.push_back("<close>"); }
    bool IsOwnFile(const char* path) override { return EqualsNoCase(path, "own"); }
    void GiveUpFile(const TextBuffer& why) override {
        lines.push_back("<give up: " + std::string(why.c_str()) + ">");
    }
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
    log.BoxComing({BoxPurpose::kScript, 0, question, 0x24, 0, 0});
    log.BoxAnswered({BoxPurpose::kScript, 0, question, 0x24, 0, -1});
    FakeProcedure wait("Wait", "WAITAPP", {"app.exe", "100"});
    log.ProcedureStarting(wait, 1);
    log.Waited("app.exe", 100, WaitEnd::kTimedOut);
    log.Waited("b.exe", 0, WaitEnd::kNotRunning);
    log.CrcComputed("C:\\x", false, 0, false, 0);
    log.CrcComputed("C:\\y", true, 0xCBF43926, true, 0xCBF43926);
    log.CrcComputed("C:\\y", true, 0xCBF43926, true, 0x1A2B3C4D);
    log.CrcComputed("C:\\z", false, 0, true, 0xAB);
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
        "     42 ms    CRC-32 of C:\\y: 0xCBF43926, expected 0xCBF43926: matches",
        "     42 ms    CRC-32 of C:\\y: 0xCBF43926, expected 0x1A2B3C4D: does not match",
        "     42 ms    CRC-32 of C:\\z: cannot be read, expected 0x000000AB",
    };
    EXPECT_EQ(sink.lines, expected);
}

// The update reads or writes the log's own file: the log gives it up before
// that, and before the procedure's own lines when a key names the file. A
// file it deletes or moves away, or a folder above it, is only let go of.
TEST_F(RunLogTest, TheOwnFileIsGivenUpBeforeTheUpdateReadsOrWritesIt) {
    log.Begin(LogHeader(), "C:\\Logs\\own");
    FakeProcedure crc("Sum", "CRC", {" OWN ", "AND", "1"});
    sink.lines.clear();
    log.ProcedureStarting(crc, 1);
    EXPECT_EQ(sink.lines.front(), "<give up: procedure Sum reads it>");
    FakeProcedure copy("Files", "COPY", {"own", "own"});
    log.ProcedureStarting(copy, 1);  // what it writes is seen as the change comes
    const struct {
        FileAction action;
        const char* path;
        const char* target;
        const char* outcome;
    } cases[] = {
        {FileAction::kCopied, "C:\\new.txt", "Own", "<give up: procedure Files writes it>"},
        {FileAction::kCopied, "own", "C:\\x", "<give up: procedure Files reads it>"},
        {FileAction::kResourcesUpdated, "own", "C:\\x", "<give up: procedure Files reads it>"},
        {FileAction::kAttributesSet, "own", "", "<give up: procedure Files writes it>"},
        {FileAction::kShortcutSaved, "own", "C:\\x", "<give up: procedure Files writes it>"},
        {FileAction::kMoved, "own", "C:\\x", "<close>"},
        {FileAction::kDeleted, "own", "", "<close>"},
        {FileAction::kFolderRemoved, "C:\\Logs", "", "<close>"},
        {FileAction::kDeleted, "C:\\Logs\\other", "", "<none>"},
    };
    for (const auto& c : cases) {
        sink.lines = {"<none>"};
        log.FileChanging(c.action, c.path, c.target);
        EXPECT_EQ(sink.lines.back(), c.outcome) << c.path << " " << c.target;
    }
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
    ReportedBox box{BoxPurpose::kScript, 0, text, 0x24, 0, kAnswerYes};
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

// Each step of an undo on a line of its own, under the line that begins it.
TEST_F(RunLogTest, UndoStepsAndWhy) {
    const struct {
        UndoEvent event;
        const char* line;
    } cases[] = {
        {{UndoStep::kStore, UndoReason::kNone, "C:\\S", "", 0}, "undo store: C:\\S"},
        {{UndoStep::kStoreRefused, UndoReason::kOwner, "C:\\S", "", 0},
         "left undo store C:\\S as it is: another account owns it"},
        {{UndoStep::kBegun, UndoReason::kNone, "C:\\" HYO "\\u.ini", "C:\\S\\1.jnl", 0},
         "undo of the run of C:\\" HYO "\\u.ini, journal C:\\S\\1.jnl"},
        {{UndoStep::kInUse, UndoReason::kNone, "C:\\S\\2.jnl", "", 32},
         "left journal C:\\S\\2.jnl to the update that holds it"},
        {{UndoStep::kPutBack, UndoReason::kNone, "C:\\a", "", 0}, "  put back C:\\a"},
        {{UndoStep::kRemoved, UndoReason::kNone, "C:\\b", "", 0}, "  removed C:\\b"},
        {{UndoStep::kLeft, UndoReason::kChanged, "C:\\c", "", 0},
         "  left C:\\c as it is: it changed since its run"},
        {{UndoStep::kLeft, UndoReason::kHoldsOthers, "C:\\d", "", 0},
         "  left C:\\d as it is: it holds what its run did not make"},
        {{UndoStep::kFailed, UndoReason::kNone, "C:\\e", "", 32},
         "  failed to put back C:\\e: error 32; the next start tries again"},
        {{UndoStep::kFinished, UndoReason::kNone, "C:\\S\\1.jnl", "", 0},
         "  undo finished: everything is put back"},
        {{UndoStep::kRetired, UndoReason::kNoVersion, "C:\\S\\Retired\\3.jnl", "C:\\S\\3.jnl", 0},
         "  kept journal C:\\S\\3.jnl as C:\\S\\Retired\\3.jnl, never to be obeyed: it is of "
         "another version, or of none"},
    };
    for (const auto& c : cases) {
        sink.lines.clear();
        log.Undone(c.event);
        ASSERT_EQ(sink.lines.size(), 1u);
        EXPECT_EQ(sink.lines[0], std::string("     42 ms  ") + c.line);
    }
}

}  // namespace
