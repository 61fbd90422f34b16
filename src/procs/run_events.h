// What the run tells as it goes: the events of procedures, files, waits,
// boxes' answers and undos, the listener interface they reach (a log, an
// undo journal, the progress window, the outcome), and the fan-out that
// passes them on.
#pragma once

#include <cstdint>

#include "base/listeners.h"
#include "base/status.h"
#include "text/text_buffer.h"

struct Procedure;

// What a file operation does to its path (and target).
enum class FileAction {
    kCopied,            // the file path is copied to target, which is made or replaced
    kMoved,             // the file path is moved to target, which is made or replaced
    kDeleted,           // the file path is deleted
    kFolderMade,        // the folder path is made
    kFolderRemoved,     // the empty folder path is removed
    kAttributesSet,     // the file path gets new attributes
    kShellCopied,       // the shell copies path (a file, folder or pattern) to target
    kShellMoved,        // the shell moves (or renames) path to target
    kShellDeleted,      // the shell deletes path (a file, folder or pattern)
    kResourcesUpdated,  // resources of path are written into the module target
    kShortcutSaved,     // the shortcut file path, to target, is made or replaced
};

// What a file action does to its path and target.
enum class FileEffect : uint8_t {
    kWritesTarget,  // path is read; target is made or changed
    kWritesPath,    // path is made or replaced whole; a target is only named
    kSetsPath,      // path keeps its content and gets new attributes
    kMoves,         // path becomes target, which is made or replaced
    kDeletes,       // path goes
    kMakes,         // path, a folder, is made
};

// What the log, the undo, the progress meter and the change itself need to
// know of a file action: one row an action, in the order of FileAction.
struct FileActionTraits {
    FileAction action;
    const char* done;    // the log's words for it, done
    const char* failed;  // and failed
    FileEffect effect;
    bool in_place;  // what is written is changed, not replaced whole
    bool shell;     // the shell makes it, of a file, a folder or a pattern, in its own way
    bool folder;    // of a folder itself
    bool bytes;     // it carries a file's bytes, which take the time
};
const FileActionTraits& TraitsOf(FileAction action);

// Why a wait ended.
enum class WaitEnd { kEnded, kReady, kTimedOut, kFailed, kNotRunning };

// One step of an undo, as a log tells it.
enum class UndoStep {
    kStore,         // path: the store this run's journal goes to
    kStoreRefused,  // path: a store folder left as it is, for reason
    kBegun,         // the run of script path is undone, from journal other
    kInUse,         // journal path is held by an update still going: left to it
    kPutBack,       // path is as before its run again
    kRemoved,       // path, which the run made, is gone again
    kLeft,          // path is left as it is, for reason
    kFailed,        // path could not be put back: error; the next start tries again
    kFinished,      // the undo of the journal is over; everything is put back
    kRetired,       // journal other is kept as path, never obeyed, for reason
};
enum class UndoReason {
    kNone,
    kChanged,      // it changed since its run
    kNotMade,      // the run did not make it
    kHoldsOthers,  // it holds what the run did not make
    kNoCopy,       // its set-aside copy is gone
    kOutside,      // it lies outside the places its journal listed
    kOwner,        // another account owns it
    kOthersWrite,  // others may write in it, or change its access list
    kInherits,     // its access list takes entries from the folder above
    kUnreadable,   // its owner and access list cannot be read
    kLink,         // it, or a folder on its path, is a link
    kNoVersion,    // a journal of another version, or of none
    kIncomplete,   // something could not be put back and never will be
};
struct UndoEvent {
    UndoStep step;
    UndoReason reason;
    const char* path;
    const char* other;
    uint32_t error;
};

// How a run ended.
enum class RunEnd {
    kCompleted,  // every procedure of PROC ran
    kFailed,     // a failure was reported and stopped it
    kAnswered,   // the user's answer to a question ended it
    kCancelled,  // the user pressed Cancel in the progress window
};

// Where a wait for a file that another program holds stands.
enum class HeldWait {
    kBegins,     // a change failed because the file is held: waiting begins
    kLetGo,      // the waiting is over: the file was let go
    kStillHeld,  // the waiting is over, the file still held
};

// Told what the run does as it does it; a log or an undo journal listens
// here. Every call does nothing unless overridden.
class RunEvents {
public:
    virtual ~RunEvents() = default;
    // A procedure is about to run, in a list depth deep (1 for PROC).
    virtual void ProcedureStarting(const Procedure&, int /*depth*/) {}
    // It ran: went_on is false when the run stops here.
    virtual void ProcedureEnded(const Procedure&, int /*depth*/, bool /*went_on*/) {}
    // A file or folder is about to be acted on; target is "" where there is
    // none. A listener that must record the change first (an undo journal)
    // may refuse it: it is then not made and fails with that status.
    virtual Status FileChanging(FileAction, const char* /*path*/, const char* /*target*/) {
        return Status::Done();
    }
    // Asked next, for a deletion (kDeleted, kFolderRemoved, kShellDeleted)
    // that no listener refused: a listener may take it and make it itself (an
    // undo journal moves the file aside instead). True when it did; *status
    // is then the outcome, and the change itself is not made.
    virtual bool TakeChange(FileAction, const char* /*path*/, const char* /*target*/,
                            Status* /*status*/) {
        return false;
    }
    // It was acted on; error is the Windows error code when that failed, else 0.
    virtual void FileActed(FileAction, const char* /*path*/, const char* /*target*/,
                           uint32_t /*error*/) {}
    // A change to path waits for another program to let the file go
    // (RETRY): error is the last call's, waited_ms how long it has waited.
    virtual void FileHeld(FileAction, const char* /*path*/, const char* /*target*/,
                          uint32_t /*error*/, uint32_t /*waited_ms*/, HeldWait) {}
    // How long a file change that another program's hold refuses is made
    // again, in milliseconds; 0 for not at all.
    virtual uint32_t HeldFilePatience() { return 0; }
    // True once the user has asked the run to stop (Cancel in the progress
    // window): no further file is changed and no further procedure runs.
    virtual bool StopRequested() { return false; }
    // Something the script asked for cannot be had; the run goes on without it.
    virtual void Unavailable(const char* /*what*/, const char* /*why*/) {}
    // A MSGBOX question and its answer.
    virtual void Answered(const TextBuffer& /*text*/, int /*answer*/) {}
    // A wait for a program (WAITAPP) or a started one (LAUNCH).
    virtual void Waited(const char* /*program*/, uint32_t /*waited_ms*/, WaitEnd) {}
    // The CRC-32 of a file; read is false when it could not be read. checked
    // tells whether it is compared with expected, or only reported.
    virtual void CrcComputed(const char* /*file*/, bool /*read*/, uint32_t /*crc*/,
                             bool /*checked*/, uint32_t /*expected*/) {}
    // What an undo did; also the undo of an earlier run at a start.
    virtual void Undone(const UndoEvent&) {}
    // The run is over. procedure names where it stopped: the innermost
    // procedure that stopped it, or one that could not be built; "" when it
    // completed or stopped before any procedure.
    virtual void RunEnded(RunEnd, const char* /*procedure*/) {}
};

// Passes every event on to each listener in turn; a change is refused as
// soon as one listener refuses it.
class EventFanOut : public RunEvents {
public:
    bool AddListener(RunEvents* listener) { return listeners_.Add(listener); }

    void ProcedureStarting(const Procedure& procedure, int depth) override {
        listeners_.Tell([&](RunEvents& l) { l.ProcedureStarting(procedure, depth); });
    }
    void ProcedureEnded(const Procedure& procedure, int depth, bool went_on) override {
        listeners_.Tell([&](RunEvents& l) { l.ProcedureEnded(procedure, depth, went_on); });
    }
    Status FileChanging(FileAction action, const char* path, const char* target) override {
        Status status = Status::Done();
        listeners_.Any([&](RunEvents& l) {
            status = l.FileChanging(action, path, target);
            return !status;
        });
        return status;
    }
    // The first listener that takes a change makes it.
    bool TakeChange(FileAction action, const char* path, const char* target,
                    Status* status) override {
        return listeners_.Any(
            [&](RunEvents& l) { return l.TakeChange(action, path, target, status); });
    }
    void FileActed(FileAction action, const char* path, const char* target,
                   uint32_t error) override {
        listeners_.Tell([&](RunEvents& l) { l.FileActed(action, path, target, error); });
    }
    void FileHeld(FileAction action, const char* path, const char* target, uint32_t error,
                  uint32_t waited_ms, HeldWait wait) override {
        listeners_.Tell(
            [&](RunEvents& l) { l.FileHeld(action, path, target, error, waited_ms, wait); });
    }
    // RETRY, from start-up.
    void SetHeldFilePatience(uint32_t ms) { patience_ms_ = ms; }
    uint32_t HeldFilePatience() override { return patience_ms_; }
    bool StopRequested() override {
        return listeners_.Any([](RunEvents& l) { return l.StopRequested(); });
    }
    void Unavailable(const char* what, const char* why) override {
        listeners_.Tell([&](RunEvents& l) { l.Unavailable(what, why); });
    }
    void Answered(const TextBuffer& text, int answer) override {
        listeners_.Tell([&](RunEvents& l) { l.Answered(text, answer); });
    }
    void Waited(const char* program, uint32_t waited_ms, WaitEnd end) override {
        listeners_.Tell([&](RunEvents& l) { l.Waited(program, waited_ms, end); });
    }
    void CrcComputed(const char* file, bool read, uint32_t crc, bool checked,
                     uint32_t expected) override {
        listeners_.Tell([&](RunEvents& l) { l.CrcComputed(file, read, crc, checked, expected); });
    }
    void Undone(const UndoEvent& event) override {
        listeners_.Tell([&](RunEvents& l) { l.Undone(event); });
    }
    void RunEnded(RunEnd end, const char* procedure) override {
        listeners_.Tell([&](RunEvents& l) { l.RunEnded(end, procedure); });
    }

private:
    Listeners<RunEvents> listeners_;
    uint32_t patience_ms_ = 0;
};
