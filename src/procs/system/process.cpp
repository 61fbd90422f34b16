#include "procs/system/process.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "base/system.h"
#include "base/win_handles.h"
#include "text/text_buffer.h"

namespace {

// Declared by the headers only for Vista and later.
typedef BOOL(WINAPI* QueryFullProcessImageNameFn)(HANDLE, DWORD, LPSTR, PDWORD);
const DWORD kQueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION

// The full path of a process's executable. From Vista on the system gives it
// for the limited query right, which is granted even for processes of other
// users; before, the first module of the process is read, which needs more.
class ImageNames {
public:
    ImageNames()
        : query_(KernelFunction<QueryFullProcessImageNameFn>("QueryFullProcessImageNameA")),
          psapi_(query_ == nullptr ? LoadSystemLibrary("PSAPI.DLL") : nullptr),
          enum_modules_(
              SystemFunction<decltype(&::EnumProcessModules)>(psapi_.Get(), "EnumProcessModules")),
          module_file_name_(SystemFunction<decltype(&::GetModuleFileNameExA)>(
              psapi_.Get(), "GetModuleFileNameExA")) {}

    bool Usable() const {
        return query_ != nullptr || (enum_modules_ != nullptr && module_file_name_ != nullptr);
    }

    bool Of(DWORD id, char (&path)[MAX_PATH]) const {
        if (query_ != nullptr) {
            UniqueHandle process(OpenProcess(kQueryLimitedInformation, FALSE, id));
            DWORD size = MAX_PATH;
            return process.IsValid() && query_(process.Get(), 0, path, &size);
        }
        UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        // Zeroed: a listing that reports no module leaves a null first
        // module, which names the executable, not stack garbage.
        HMODULE modules[1024] = {};
        DWORD needed = 0;
        return process.IsValid() &&
               enum_modules_(process.Get(), modules, sizeof modules, &needed) &&
               module_file_name_(process.Get(), modules[0], path, MAX_PATH) != 0;
    }

private:
    QueryFullProcessImageNameFn query_;
    LoadedModule psapi_;
    decltype(&::EnumProcessModules) enum_modules_;
    decltype(&::GetModuleFileNameExA) module_file_name_;
};

}  // namespace

bool ProcessImagePath(DWORD id, TextBuffer& path) {
    const ImageNames names;
    char found[MAX_PATH] = {};
    if (!names.Usable() || !names.Of(id, found))
        return false;
    path = found;
    return true;
}

DWORD FindRunningProcess(const char* target) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return 0;
    const bool nt = IsNtPlatform();
    const ImageNames names;
    if (nt && !names.Usable())
        return 0;
    const DWORD own_id = GetCurrentProcessId();
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more;
         more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == own_id)
            continue;
        // On NT the full path; the snapshot's name where it cannot be read.
        char path[MAX_PATH] = {};
        if (nt && names.Of(entry.th32ProcessID, path))
            lstrcpynA(entry.szExeFile, path, MAX_PATH);
        if (lstrcmpiA(entry.szExeFile, target) == 0)
            return entry.th32ProcessID;
    }
    return 0;
}
