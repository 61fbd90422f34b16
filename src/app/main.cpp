// The program's entry: no window, one pass through the script, exit code 0
// unless the caller asks for the outcome (UPDATER_EXIT_STATUS=1).
#include <windows.h>
#include <objbase.h>

#include "app/caller.h"
#include "app/engine.h"
#include "app/outcome.h"
#include "app/progress_window.h"
#include "app/startup.h"
#include "base/system.h"
#include "script/system_lookups.h"
#include "undo/run_undo.h"

namespace {

// The updater is often run elevated from a download folder: DLLs planted
// beside it or in the current folder must never be loaded. Both functions
// are missing on older systems, so they are looked up.
void RestrictDllSearch() {
    if (auto set_default =
            KernelFunction<decltype(&::SetDefaultDllDirectories)>("SetDefaultDllDirectories"))
        set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (auto set_directory = KernelFunction<decltype(&::SetDllDirectoryA)>("SetDllDirectoryA"))
        set_directory("");
}

// A crash ends the run with this status, without the system's own box.
template <UINT status>
LONG WINAPI EndCrashedRun(EXCEPTION_POINTERS*) {
    TerminateProcess(GetCurrentProcess(), status);
    return EXCEPTION_EXECUTE_HANDLER;
}

Outcome RunUpdate(const char* command_line, const CallerRequest& caller) {
    SystemBoxes boxes;
    SystemFolders folders;
    RunContext run(boxes, folders);
    BoxAnswers answers(caller.answers, caller.unattended);
    run.reporter.SetAnswers(&answers);
    if (caller.unattended) {
        run.unattended = true;
        run.longest_wait_ms = kUnattendedLongestWaitMs;
    }
    OutcomeWatch outcome;
    run.events.AddListener(&outcome);
    ProfileFile script;
    RunLogger log;
    ProgressWindow progress;
    // Runs cut short are undone before this one starts.
    RunUndo undo(run);
    if (!InitializeRun(run, script, command_line, caller, log)) {
        run.events.RunEnded(RunEnd::kFailed, "");
        return outcome.Result(false);
    }
    // Before the undo listens, so that a Cancel refuses a change before it is recorded.
    progress.Start(run);
    const UndoOutcome begun = undo.Begin();
    if (begun == UndoOutcome::kNotFinished || begun == UndoOutcome::kNoStore) {
        run.events.RunEnded(RunEnd::kFailed, "");
        return outcome.Result(begun == UndoOutcome::kNotFinished);
    }
    Engine engine(run);
    const bool completed = engine.RunTopList(run.proc);
    const UndoOutcome ended = undo.End(completed);
    // Last, after the failure boxes and the undo.
    run.events.RunEnded(engine.End(), engine.StoppedAt().c_str());
    return outcome.Result(LeftUndone(begun) || LeftUndone(ended));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    RestrictDllSearch();
    const CallerRequest caller = ReadCallerRequest();
    if (caller.unattended)
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (caller.exit_status || caller.unattended) {
        SetUnhandledExceptionFilter(caller.exit_status
                                        ? EndCrashedRun<static_cast<UINT>(Outcome::kCrashed)>
                                        : EndCrashedRun<0>);
    }
    CoInitialize(nullptr);
    const Outcome outcome = RunUpdate(command_line, caller);
    CoUninitialize();
    return caller.exit_status ? static_cast<int>(outcome) : 0;
}
