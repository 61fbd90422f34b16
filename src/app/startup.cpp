#include "app/startup.h"

#include <windows.h>

#include "base/paths.h"
#include "script/system_lookups.h"

const char* const kDefaultCaption = "フォルネア アップデータ";

bool InitializeRun(RunContext& run, ProfileFile& script, const char* command_line,
                   const CallerRequest& caller, RunLogger& log) {
    run.command_line = command_line;
    TextBuffer option;
    run.reporter.SetCaption(
        FindOption(run.command_line, 't', option) ? option : TextBuffer(kDefaultCaption));

    // One byte more than the system is told: XP does not terminate a path
    // that fills the buffer.
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    run.program_path = path;
    const TextBuffer program_folder = run.program_path.Items(0, -2, "\\");

    if (FindOption(run.command_line, 'i', option)) {
        // Always relative to the program's folder, even when absolute.
        run.script_path = program_folder + "\\" + option;
    } else {
        run.script_path = run.program_path;
        run.script_path.ReplaceItems(-1, -1, ".", "ini");
    }
    if (!FileExists(run.script_path.c_str())) {
        log.Start(run, caller, false);
        run.reporter.Fail(kMsgFileNotFound, {run.script_path});
        return false;
    }
    script = ProfileFile(run.script_path);
    run.script = &script;

    ReadDefinitions(script, run.symbols);
    DefineBuiltInSymbols(run.symbols, run.symbols.Lookups(), program_folder);
    TextBuffer too_long;
    if (!run.symbols.ExpandDefinitions(too_long)) {
        log.Start(run, caller, false);
        run.reporter.Fail(kMsgBadFormat, {"DEFINE", too_long});
        return false;
    }

    // As soon as LOG can be expanded, so that what follows is in the log.
    log.Start(run, caller, true);

    TextBuffer name;
    const ScriptKeys keys = run.Keys();
    if (!keys.ReadUpdater("NAME", name) || !keys.ReadUpdater("PROC", run.proc))
        return false;
    if (!name.IsEmpty())
        run.reporter.SetCaption(name);
    TextBuffer retry;
    uint32_t seconds = 0;
    if (keys.ReadUpdater("RETRY", retry) && !ParseRetrySeconds(retry, &seconds)) {
        run.reporter.Fail(kMsgBadFormat, {"UPDATER", "RETRY"});
        return false;
    }
    run.events.SetHeldFilePatience(seconds * 1000);
    return true;
}
