#include "procs/system/process.h"

#include <tlhelp32.h>

#include "base/system.h"
#include "base/win_handles.h"
#include "text/text_buffer.h"

namespace {

typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, DWORD*);
typedef DWORD(WINAPI* GetModuleFileNameExFn)(HANDLE, HMODULE, LPSTR, DWORD);

}  // namespace

DWORD FindRunningProcess(const char* target) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return 0;

    const bool nt = IsNtPlatform();
    LoadedModule psapi(nt ? LoadSystemLibrary("PSAPI.DLL") : nullptr);
    EnumProcessModulesFn enum_modules = nullptr;
    GetModuleFileNameExFn module_file_name = nullptr;
    if (nt) {
        if (psapi.Get() == nullptr)
            return 0;
        enum_modules = SystemFunction<EnumProcessModulesFn>(psapi.Get(), "EnumProcessModules");
        module_file_name =
            SystemFunction<GetModuleFileNameExFn>(psapi.Get(), "GetModuleFileNameExA");
        if (enum_modules == nullptr || module_file_name == nullptr)
            return 0;
    }

    const DWORD own_id = GetCurrentProcessId();
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more;
         more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == own_id)
            continue;
        if (nt) {
            UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                             entry.th32ProcessID));
            // Zeroed: a listing that reports no module leaves a null first
            // module, which names the executable, not stack garbage.
            HMODULE modules[1024] = {};
            DWORD needed = 0;
            if (process.IsValid() &&
                enum_modules(process.Get(), modules, sizeof modules, &needed)) {
                // The first module is the executable; keep the snapshot's name
                // when its path cannot be read.
                char path[MAX_PATH] = {};
                if (module_file_name(process.Get(), modules[0], path, MAX_PATH) != 0) {
                    lstrcpynA(entry.szExeFile, path, MAX_PATH);
                }
            }
        }
        if (lstrcmpiA(entry.szExeFile, target) == 0)
            return entry.th32ProcessID;
    }
    return 0;
}
