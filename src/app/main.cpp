// The program's entry: no window, one pass through the script, exit code 0.
#include <windows.h>
#include <objbase.h>

#include "app/engine.h"
#include "app/startup.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// The updater is often run elevated from a download folder: DLLs planted
// beside it or in the current folder must never be loaded. Both functions
// are missing on older systems, so they are looked up.
void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return;
    auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set_default != nullptr)
        set_default(kSearchSystem32);
    auto set_directory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (set_directory != nullptr)
        set_directory("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    RestrictDllSearch();
    CoInitialize(nullptr);
    if (InitializeRun(command_line))
        RunUpdater();
    DestroyRemainingLists();
    CoUninitialize();
    return 0;
}
