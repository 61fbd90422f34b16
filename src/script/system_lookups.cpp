#include "script/system_lookups.h"

#include <shlobj.h>

#include "base/system.h"

namespace {

const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// An open registry key, closed on every path.
class RegistryKey {
public:
    RegistryKey(HKEY root, const TextBuffer& sub_key) {
        if (RegOpenKeyExA(root, sub_key.c_str(), 0, KEY_READ, &handle_) != ERROR_SUCCESS)
            handle_ = nullptr;
    }
    ~RegistryKey() {
        if (handle_ != nullptr)
            RegCloseKey(handle_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The value's bytes as a text; its type is not examined.
    bool ReadString(const char* value_name, TextBuffer& target) const {
        DWORD size = 0;
        if (handle_ == nullptr ||
            RegQueryValueExA(handle_, value_name, nullptr, nullptr, nullptr, &size) !=
                ERROR_SUCCESS ||
            size == 0) {
            return false;
        }
        // One byte more than the value, so that a value stored without its
        // terminating zero still ends in one.
        if (!target.Reserve(size + 1))
            return false;
        return RegQueryValueExA(handle_, value_name, nullptr, nullptr,
                                reinterpret_cast<BYTE*>(target.data()), &size) == ERROR_SUCCESS;
    }

private:
    HKEY handle_ = nullptr;
};

// An item list from the shell, released through the shell's allocator.
class ItemIdList {
public:
    ItemIdList() = default;
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ~ItemIdList() {
        IMalloc* allocator = nullptr;
        if (list != nullptr && SUCCEEDED(SHGetMalloc(&allocator))) {
            allocator->Free(list);
            allocator->Release();
        }
    }
    LPITEMIDLIST list = nullptr;
};

// What the system writes into a zeroed buffer of MAX_PATH bytes, never
// through a null pointer when memory runs out.
template <typename Ask>
TextBuffer SystemText(Ask ask) {
    char text[MAX_PATH + 1] = {};
    ask(text, MAX_PATH);
    return TextBuffer(text);
}

}  // namespace

bool SystemFolders::AppPath(const char* name, AppPathValue which, TextBuffer& value) const {
    const RegistryKey key(HKEY_LOCAL_MACHINE, TextBuffer(kAppPathsKey) + name);
    return key.ReadString(which == kAppPathDefault ? "" : "PATH", value);
}

bool SystemFolders::SpecialFolder(int csidl, TextBuffer& path) const {
    ItemIdList location;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &location.list)))
        return false;
    if (!path.Reserve(MAX_PATH))
        return false;
    return SHGetPathFromIDListA(location.list, path.data()) != FALSE;
}

void DefineBuiltInSymbols(SymbolTable& symbols, const SystemLookups& lookups,
                          const TextBuffer& program_folder) {
    symbols.Define("<Win>", SystemText([](char* text, UINT size) {
                                GetWindowsDirectoryA(text, size);
                            }).c_str());
    TextBuffer work = SystemText([](char* text, UINT size) { GetSystemDirectoryA(text, size); });
    symbols.Define("<Sys>", work.c_str());
    symbols.Define("<Src>", program_folder.c_str());

    // A failed lookup leaves the work buffer as it was; the symbol gets that.
    const bool nt = IsNtPlatform();
    lookups.SpecialFolder(nt ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY, work);
    symbols.Define("<Desktop>", work.c_str());
    lookups.SpecialFolder(nt ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, work);
    symbols.Define("<Programs>", work.c_str());

    // Up to its last backslash: the folder without the one at its end.
    work = SystemText([](char* text, UINT) { GetTempPathA(256, text); });
    if (work.CountOf("\\") > 0)
        work = work.Items(0, -2, "\\");
    symbols.Define("<Temp>", work.c_str());
}
