#include "base/system.h"

bool IsNtPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

HMODULE LoadSystemLibrary(const char* file_name) {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    TextBuffer path(folder);
    path.Append("\\");
    path.Append(file_name);
    return LoadLibraryA(path.c_str());
}

TextBuffer SystemBoxes::CatalogueEntry(int id) {
    char format[256] = {};
    LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), format, sizeof format);
    return TextBuffer(format);
}

int SystemBoxes::Show(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(nullptr, text, caption, style);
}
