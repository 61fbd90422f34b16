// The program's entry: no window, one pass through the script, exit code 0.
#include <windows.h>
#include <objbase.h>

#include "app/engine.h"
#include "app/startup.h"
#include "base/system.h"
#include "script/system_lookups.h"
#include "undo/run_undo.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// The updater is often run elevated from a download folder: DLLs planted
// beside it or in the current folder must never be loaded. Both functions
// are missing on older systems, so they are looked up.
void RestrictDllSearch() {
    if (auto set_default = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories"))
        set_default(kSearchSystem32);
    if (auto set_directory = KernelFunction<SetDllDirectoryFn>("SetDllDirectoryA"))
        set_directory("");
}

void RunUpdate(const char* command_line) {
    SystemBoxes boxes;
    SystemFolders folders;
    RunContext run(boxes, folders);
    ProfileFile script;
    RunLogger log;
    // Runs cut short are undone before this one starts.
    RunUndo undo(run);
    if (!InitializeRun(run, script, command_line, log)) {
        run.events.RunEnded(RunEnd::kFailed, "");
        return;
    }
    const UndoOutcome begun = undo.Begin();
    if (begun == UndoOutcome::kNotFinished || begun == UndoOutcome::kNoStore) {
        run.events.RunEnded(RunEnd::kFailed, "");
        return;
    }
    Engine engine(run);
    const bool completed = engine.RunTopList(run.proc);
    undo.End(completed);
    // Last, after the failure boxes and the undo.
    run.events.RunEnded(engine.End(), engine.StoppedAt().c_str());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    RestrictDllSearch();
    CoInitialize(nullptr);
    RunUpdate(command_line);
    CoUninitialize();
    return 0;
}
