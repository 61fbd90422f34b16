// The system's own services that every layer uses: platform facts, system
// DLLs and functions looked up at run time, errors, and the program's boxes.
#pragma once

#include <windows.h>

#include "base/reporter.h"
#include "base/retry.h"
#include "base/status.h"
#include "text/version_number.h"

// True on the NT platform family; asked anew on every call.
bool IsNtPlatform();

// The version of the running Windows as it really is: from RtlGetVersion,
// which no compatibility setting of the program changes, and from
// GetVersionExA where the system lacks it (the 9x family). False when
// neither answers.
bool RunningWindows(OSVERSIONINFOA* info);
// Its version number; the 9x family keeps the build number in the low word only.
VersionNumber NumberOf(const OSVERSIONINFOA& info);

// Whether the process runs with an administrator's full rights: its token is
// elevated; on systems without elevation (XP), it is a member of
// Administrators.
bool IsElevated();

// Wine, which Windows never is: its ntdll exports wine_get_version.
bool RunsUnderWine();

// Loads a DLL of the system folder by its full path, never from the program's
// folder or the current folder.
HMODULE LoadSystemLibrary(const char* file_name);

// A function that not every supported system has, looked up by name in a
// module that is already loaded; null when this system lacks it.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
template <typename Function>
Function KernelFunction(const char* name) {
    return SystemFunction<Function>(GetModuleHandleA("kernel32.dll"), name);
}

// The outcome of a system call that returned ok, with its error code when it failed.
inline Status CallStatus(BOOL ok) {
    return ok ? Status::Done() : Status::Failed(GetLastError());
}
inline Status LastErrorStatus() {
    return Status::Failed(GetLastError());
}

// The system's clock: milliseconds since the system started, and Sleep.
class SystemClock : public WaitClock {
public:
    uint32_t Milliseconds() override { return GetTickCount(); }
    void Pause(uint32_t ms) override { Sleep(ms); }
};

// The program's boxes: the catalogue from its own string table, shown by
// MessageBoxA without owner window.
class SystemBoxes : public BoxOutput {
public:
    TextBuffer CatalogueEntry(int id) override;
    int Show(const char* text, const char* caption, unsigned style) override;
};
