// The program's entry: no window, one pass through the script, exit code 0.
#include <windows.h>
#include <objbase.h>

#include "app/engine.h"
#include "app/startup.h"
#include "app/undo_journal.h"
#include "base/system.h"
#include "script/system_lookups.h"

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
    // A run of this script cut short is undone before this one starts.
    UndoJournal undo(run);
    if (!InitializeRun(run, script, command_line, log) || !undo.Begin()) {
        run.events.RunEnded(RunEnd::kFailed, "");
        return;
    }
    Engine engine(run);
    undo.End(engine.RunTopList(run.proc));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    RestrictDllSearch();
    CoInitialize(nullptr);
    RunUpdate(command_line);
    CoUninitialize();
    return 0;
}
