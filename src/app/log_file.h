// The run log's file, which UPDATER/LOG names: each run appends its lines as
// UTF-8 with CR LF, and a new file begins with a byte-order mark. The log
// writes only into a file of its own (new, empty, or a log), never into the
// script, the program or a file the update reads or writes; what it cannot
// write there goes to a file of its own making that stands in for it.
// Nothing here can fail or change the run.
#pragma once

#include <windows.h>

#include "app/caller.h"
#include "app/run_log.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"

class LogFile : public LogSink {
public:
    LogFile() : start_(GetTickCount()) {}
    // Lines that never reached the log's file go to a stand-in.
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Where the lines go: path (taken from the current folder when relative),
    // never script or program; a stand-in is made in stand_in_folder ("" for
    // none). The file is opened once the header has been written.
    void Open(const TextBuffer& path, const TextBuffer& script, const TextBuffer& program,
              const TextBuffer& stand_in_folder);
    // The full path of the file.
    const TextBuffer& Path() const { return path_; }

    void WriteLine(const char* text, size_t length) override;
    void HeaderWritten() override;
    void Flush() override;
    void Close() override;
    bool IsOwnFile(const char* path) override;
    void GiveUpFile(const TextBuffer& why) override;
    uint32_t Milliseconds() override { return GetTickCount() - start_; }
    TextBuffer ErrorText(uint32_t error) override;

private:
    // Opens the log's own file when the rules let the log write into it;
    // one they forbid is given up.
    bool OpenOwnFile();
    // Why the log may not write into the file just opened; "" when it may.
    TextBuffer Refusal(HANDLE file, bool made) const;
    // Makes the stand-in and puts the header, why and what waits into it.
    void OpenStandIn(const TextBuffer& why);
    // The line in UTF-8 with its line end, into utf8_.
    void Encode(const char* text, size_t length);
    // Into the open file; false, and the file let go of, when that fails.
    bool Put(const char* bytes, size_t count);

    const DWORD start_;
    TextBuffer path_;
    TextBuffer names_[2];  // the file's name and short name, for a quick test
    TextBuffer script_;
    TextBuffer program_;
    TextBuffer stand_in_folder_;
    UniqueHandle file_;
    bool given_up_ = false;  // the own file is never written into again
    DWORD write_error_ = 0;  // why the own file could not be opened or written last
    TextBuilder wide_;       // the line in UTF-16
    TextBuilder utf8_;       // the line in UTF-8, with its line end
    TextBuilder header_;     // the header's lines, for a stand-in
    bool header_done_ = false;
    TextBuilder waiting_;        // lines written while no file was open
    size_t waiting_header_ = 0;  // how much of waiting_ is the header
};

// The file an unattended run logs to when neither the caller nor the script
// names one: this name in the account's temporary folder.
const char* const kDefaultLogName = "updater.log";

// The log of a run whose caller or script asks for one. Made before the run
// starts, so that its times count from the start; lives as long as the run.
class RunLogger {
public:
    RunLogger() = default;
    RunLogger(const RunLogger&) = delete;
    RunLogger& operator=(const RunLogger&) = delete;

    // Starts the log: UPDATER_LOG, else UPDATER/LOG when the script
    // can be read (its symbols are defined), else under UPDATER_UNATTENDED
    // the default file; without any of them nothing happens. Opens the file
    // under every rule of the log, writes the header and listens to the run
    // from here on.
    void Start(RunContext& run, const CallerRequest& caller, bool script_readable);

private:
    LogFile file_;
    RunLog log_{file_};
};
