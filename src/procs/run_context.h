// What a run holds, from start-up to the end: the paths and words of the
// command line, the script, the symbol table, the reporter, the event sink
// and the engine's lists. Passed to every procedure; tests build one without
// a process.
#pragma once

#include <cstdint>

#include "base/reporter.h"
#include "script/script_keys.h"
#include "script/script_source.h"
#include "script/symbols.h"

struct Procedure;

// What a file operation did.
enum class FileAction {
    kCopied,
    kMoved,
    kDeleted,
    kFolderMade,
    kFolderRemoved,
    kAttributesSet,
    kShellDone,
    kResourcesUpdated,
    kShortcutSaved,
};

// Why a wait ended.
enum class WaitEnd { kEnded, kReady, kTimedOut, kFailed, kNotRunning };

// Told what the run does as it does it; a log or an undo journal listens
// here. Every call does nothing unless overridden.
class RunEvents {
public:
    virtual ~RunEvents() = default;
    // A procedure is about to run, in a list depth deep (1 for PROC).
    virtual void ProcedureStarting(const Procedure&, int /*depth*/) {}
    // It ran: went_on is false when the run stops here.
    virtual void ProcedureEnded(const Procedure&, int /*depth*/, bool /*went_on*/) {}
    // A file or folder acted on; target is "" where there is none; error is
    // the Windows error code when the action failed, else 0.
    virtual void FileActed(FileAction, const char* /*path*/, const char* /*target*/,
                           uint32_t /*error*/) {}
    // A MSGBOX question and its answer.
    virtual void Answered(const TextBuffer& /*text*/, int /*answer*/) {}
    // A wait for a program (WAITAPP) or a started one (LAUNCH).
    virtual void Waited(const char* /*program*/, uint32_t /*waited_ms*/, WaitEnd) {}
    // The CRC-32 of a file; read is false when it could not be read.
    virtual void CrcComputed(const char* /*file*/, bool /*read*/, uint32_t /*crc*/) {}
};

// The engine, as procedures see it.
class ProcedureLists {
public:
    virtual ~ProcedureLists() = default;
    // Builds, runs and destroys the list of procedure names (SWITCH); an
    // empty text has nothing to run.
    virtual bool RunNestedList(const TextBuffer& names) = 0;
    // The procedure of that name on the newest list that has one; null for none.
    virtual const Procedure* FindProcedure(const char* name) const = 0;
};

struct RunContext {
    RunContext(BoxOutput& boxes, const SystemLookups& lookups)
        : reporter(boxes), symbols(lookups, command_line) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    ScriptKeys Keys() { return ScriptKeys(*script, symbols, reporter); }

    TextBuffer command_line;  // what follows the program's own name
    TextBuffer program_path;  // full path of the running executable
    TextBuffer script_path;   // the script every read uses
    TextBuffer proc;          // UPDATER/PROC, expanded: the top-level list
    Reporter reporter;
    SymbolTable symbols;
    const ScriptSource* script = nullptr;
    RunEvents* events = &no_events;
    ProcedureLists* lists = nullptr;

private:
    RunEvents no_events;
};
