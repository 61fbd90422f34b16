// The run log's file, which UPDATER/LOG names: each run appends its lines as
// UTF-8 with CR LF, and a new file begins with a byte-order mark. Nothing
// here can fail or change the run: a file that cannot be opened or written
// is passed over.
#pragma once

#include <windows.h>

#include "app/caller.h"
#include "app/run_log.h"
#include "base/win_handles.h"

class LogFile : public LogSink {
public:
    LogFile() : start_(GetTickCount()) {}

    // Opens path to append to, creating it when missing. When it cannot be
    // opened, lines wait for a later Flush that can.
    void Open(const TextBuffer& path);
    // The full path of the file.
    const TextBuffer& Path() const { return path_; }

    void WriteLine(const char* text, size_t length) override;
    void Flush() override;
    void Close() override;
    uint32_t Milliseconds() override { return GetTickCount() - start_; }
    TextBuffer ErrorText(uint32_t error) override;

private:
    bool OpenFile();
    void Put(const char* bytes, size_t count);

    const DWORD start_;
    TextBuffer path_;
    UniqueHandle file_;
    TextBuilder wide_;     // the line in UTF-16
    TextBuilder utf8_;     // the line in UTF-8, with its line end
    TextBuilder waiting_;  // lines written while the file was not open
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
    // the default file; without any of them nothing happens. Opens the file,
    // writes the header and listens to the run from here on.
    void Start(RunContext& run, const CallerRequest& caller, bool script_readable);

private:
    LogFile file_;
    RunLog log_{file_};
};
