// The run log: what a run did and why it stopped, one entry a line, written
// as it happens. It listens to the run's events and to the reporter's boxes
// and hands finished lines to a LogSink. No Win32 in here, so the lines are
// tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "procs/procedure.h"
#include "text/text_builder.h"

// How each run's entries begin: a file that begins so (after a byte-order
// mark) is a log.
const char kRunMarker[] = "==== updater run ";

// Where the log's lines go, and what the log asks of the system.
class LogSink {
public:
    virtual ~LogSink() = default;
    // One line in the ANSI code page, without its line end.
    virtual void WriteLine(const char* text, size_t length) = 0;
    // The lines written so far are the run's header: a file that stands in
    // for the log's own begins with them too.
    virtual void HeaderWritten() = 0;
    // Puts what was written on the disk; a closed file is opened again first.
    virtual void Flush() = 0;
    // Lets go of the file until the next Flush; lines written meanwhile wait.
    virtual void Close() = 0;
    // Whether path names the log's own file, however it is spelled.
    virtual bool IsOwnFile(const char* path) = 0;
    // The update is about to read or write the log's own file: nothing more
    // is written into it, and what follows goes to a file that stands in for
    // it, which why (in the ANSI code page) explains.
    virtual void GiveUpFile(const TextBuffer& why) = 0;
    // Milliseconds since the run started.
    virtual uint32_t Milliseconds() = 0;
    // The system's text for a Windows error code; "" when it has none.
    virtual TextBuffer ErrorText(uint32_t error) = 0;
};

// The facts at the head of each run's entries.
struct LogHeader {
    TextBuffer local_time;  // "2025-01-14 10:32:07"
    TextBuffer version;
    TextBuffer program_path;
    TextBuffer script_path;
    TextBuffer command_line;
    TextBuffer windows;   // the version the system reports
    TextBuffer elevated;  // "yes", "no", or why it is not known
    TextBuffer caller;    // what the caller's UPDATER_ variables ask; "" for nothing
    bool undo = false;    // ROLLBACK=YES
};

class RunLog : public RunEvents, public ReportListener {
public:
    explicit RunLog(LogSink& sink) : sink_(sink) {}
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Writes the header. log_path is the log file's full path, so that a
    // change to it or to a folder holding it is seen coming.
    void Begin(const LogHeader& header, const TextBuffer& log_path);

    void ProcedureStarting(const Procedure& procedure, int depth) override;
    void ProcedureEnded(const Procedure& procedure, int depth, bool went_on) override;
    Status FileChanging(FileAction action, const char* path, const char* target) override;
    void FileActed(FileAction action, const char* path, const char* target,
                   uint32_t error) override;
    void FileHeld(FileAction action, const char* path, const char* target, uint32_t error,
                  uint32_t waited_ms, HeldWait wait) override;
    void Unavailable(const char* what, const char* why) override;
    void Waited(const char* program, uint32_t waited_ms, WaitEnd end) override;
    void CrcComputed(const char* file, bool read, uint32_t crc, bool checked,
                     uint32_t expected) override;
    void Undone(const UndoEvent& event) override;
    void RunEnded(RunEnd end, const char* procedure) override;

    void BoxComing(const ReportedBox& box) override;
    void BoxAnswered(const ReportedBox& box) override;

private:
    // An entry: the time since the start, then the text indented by indent.
    TextBuilder& Entry(int indent);
    // The current procedure's indentation, and that of what it does.
    int HeadIndent() const { return depth_ > 0 ? (depth_ - 1) * 4 : 0; }
    int ItemIndent() const { return depth_ > 0 ? HeadIndent() + 2 : 0; }
    // Writes the line that Entry began; a line break in it becomes a space.
    void WriteEntry();
    // Each line of text on a line of its own, marked "| ".
    void WriteText(const TextBuffer& text, int indent);
    void AppendError(uint32_t error);
    // The procedure that started last reads (or writes) the log's own file.
    void GiveUpFile(const char* use);
    // path, and " -> " target where there is one.
    void AppendPaths(const char* path, const char* target);

    LogSink& sink_;
    TextBuffer log_path_;
    TextBuilder line_;
    int depth_ = 0;                   // of the procedure running; 0 between procedures
    const KindSpec* kind_ = nullptr;  // of the procedure that started last
    TextBuffer procedure_;            // its name
    bool ok_only_box_ = false;        // the script's last box had only an OK button
};

// True when path may be the log a caller asks for: it ends in ".log" and
// names a file of the file system, not a device or a stream of another file.
bool IsLogFileName(const char* path);

// True when a change to changed reaches the file at log_path: it names that
// file, a folder above it, or a pattern in such a folder.
bool ChangeReaches(const char* changed, const char* log_path);
