// Reading back what RSRC and LINK wrote: a module's resources, loaded as
// data, and a saved shortcut, through the shell-link object.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace readback {

// A module loaded as data for the time of one look.
class DataModule {
public:
    explicit DataModule(const std::string& path)
        : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

// The bytes of one resource in one language; nothing when it is not there.
inline std::optional<std::string> ResourceBytes(const std::string& path, const char* type,
                                                const char* name, WORD language) {
    DataModule module(path);
    if (module.Get() == nullptr)
        return std::nullopt;
    HRSRC resource = FindResourceExA(module.Get(), type, name, language);
    if (resource == nullptr)
        return std::nullopt;
    const char* bytes =
        static_cast<const char*>(LockResource(LoadResource(module.Get(), resource)));
    return std::string(bytes, SizeofResource(module.Get(), resource));
}

inline BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

// Every language a resource is held in, in the order the system lists them.
inline std::vector<WORD> LanguagesOf(const std::string& path, const char* type, const char* name) {
    std::vector<WORD> languages;
    DataModule module(path);
    EnumResourceLanguagesA(module.Get(), type, name, CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

struct Shortcut {
    bool loaded = false;
    std::string path;
    std::string arguments;
    std::string folder;
    int show = -1;
};

inline Shortcut ReadShortcut(const std::string& file) {
    Shortcut shortcut;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* persist = nullptr;
        WCHAR wide[1024] = {};
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, 1024);
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
            SUCCEEDED(persist->Load(wide, STGM_READ))) {
            char text[1024] = {};
            shortcut.loaded = true;
            link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
            shortcut.path = text;
            text[0] = '\0';
            link->GetArguments(text, sizeof text);
            shortcut.arguments = text;
            text[0] = '\0';
            link->GetWorkingDirectory(text, sizeof text);
            shortcut.folder = text;
        }
        if (persist != nullptr)
            persist->Release();
        link->Release();
    }
    CoUninitialize();
    // Wine's loader does not restore the show command, so it is read from
    // the file's header (ShowCommand, at offset 60).
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD read = 0;
        SetFilePointer(handle, 60, nullptr, FILE_BEGIN);
        ReadFile(handle, &shortcut.show, sizeof shortcut.show, &read, nullptr);
        CloseHandle(handle);
    }
    return shortcut;
}

inline std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace readback
