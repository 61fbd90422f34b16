// PROGRESS=YES: what the progress window shows, taken from the run's events
// and boxes: line 1 the procedure, line 2 the file, and a bar of the bytes
// done against a total counted before COPY, MOVE, DELETE and CRC begin (a
// marquee for the other kinds). The file is shown at most four times a
// second, the bar moved at most once.
// With Cancel (ROLLBACK=YES), the run stops at the next file. No Win32 in
// here: the window is a ProgressOutput.
#pragma once

#include <cstdint>

#include "procs/procedure.h"

// What a change refused because the user stops the run fails with
// (ERROR_CANCELLED).
const uint32_t kStoppedByUser = 1223;

// The window, and what the meter asks of the system.
class ProgressOutput {
public:
    virtual ~ProgressOutput() = default;
    // Whether the window can be shown; false, and why, when it cannot.
    virtual bool Ready(TextBuffer* why) = 0;
    // Shows the window titled title, procedure on its first line, with a
    // Cancel button or without, its bar counting bytes or in marquee mode.
    virtual bool Show(const TextBuffer& title, const char* procedure, bool cancel,
                      bool marquee) = 0;
    virtual void Close() = 0;
    // Line 1 (the procedure) or 2 (the file).
    virtual void SetText(int line, const char* text) = 0;
    // The bar at done of total bytes, when it counts them.
    virtual void SetBytes(uint64_t done, uint64_t total) = 0;
    // The user pressed Cancel while the window was shown.
    virtual bool Cancelled() = 0;
    virtual uint32_t Milliseconds() = 0;
    // Bytes in one file; 0 when they cannot be asked.
    virtual uint64_t FileBytes(const char* path) = 0;
    // Bytes in what an item names: a file, a folder tree, a pattern's matches.
    virtual uint64_t ItemBytes(const TextBuffer& path) = 0;
};

class ProgressMeter : public RunEvents, public ReportListener {
public:
    explicit ProgressMeter(ProgressOutput& output) : output_(output) {}
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    // The window, titled title, shows from the first procedure on; with
    // cancel it offers Cancel, and a press stops the run. False, and why,
    // when it cannot be shown.
    bool Start(const TextBuffer& title, bool cancel, TextBuffer* why);

    void ProcedureStarting(const Procedure& procedure, int depth) override;
    // Refused once the user has pressed Cancel.
    Status FileChanging(FileAction action, const char* path, const char* target) override;
    void FileActed(FileAction action, const char* path, const char* target,
                   uint32_t error) override;
    void FileHeld(FileAction action, const char* path, const char* target, uint32_t error,
                  uint32_t waited_ms, HeldWait wait) override;
    void CrcComputed(const char* file, bool read, uint32_t crc, bool checked,
                     uint32_t expected) override;
    bool StopRequested() override;
    // The window closes at the end, and before a failure box: a failure ends
    // the run, and the box is its last word.
    void RunEnded(RunEnd end, const char* procedure) override;
    void BoxComing(const ReportedBox& box) override;
    void BoxAnswered(const ReportedBox&) override {}

private:
    void Show(bool marquee);
    // Shows what is under way: now, or when the last update is long enough ago.
    void Refresh(bool now);
    void Finish();

    ProgressOutput& output_;
    TextBuffer title_;
    bool cancel_ = false;
    bool open_ = false;
    bool finished_ = true;  // not to be shown (again)
    bool cancelled_ = false;
    bool marquee_ = false;
    TextBuffer procedure_;
    TextBuffer file_;
    uint64_t done_ = 0;
    uint64_t total_ = 0;
    uint64_t pending_ = 0;  // the bytes of the file being acted on
    uint32_t updated_ = 0;  // when the file was last shown
    uint32_t moved_ = 0;    // when the bar was last moved
};
