// What a run holds, from start-up to the end: the paths and words of the
// command line, the script, the symbol table, the reporter, the event sink
// and the engine's lists. Passed to every procedure; tests build one without
// a process.
#pragma once

#include <cstdint>

#include "base/reporter.h"
#include "procs/run_events.h"
#include "script/script_keys.h"
#include "script/script_source.h"
#include "script/symbols.h"

struct Procedure;

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
    // Where procedures tell what they do; listeners are added to it.
    EventFanOut events;
    ProcedureLists* lists = nullptr;
    // UPDATER_UNATTENDED: the shell shows no window, and no wait for a
    // program lasts longer than longest_wait_ms.
    bool unattended = false;
    uint32_t longest_wait_ms = 0xFFFFFFFF;  // INFINITE
};
