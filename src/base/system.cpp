#include "base/system.h"

bool IsNtPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    // TOKEN_ELEVATION holds this one field; systems before Vista refuse the class.
    DWORD elevated = 0;
    DWORD size = 0;
    const bool known = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(20),
                                           &elevated, sizeof elevated, &size) != FALSE;
    CloseHandle(token);
    if (known)
        return elevated != 0;
    unsigned char administrators[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof administrators;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sid_size) &&
           CheckTokenMembership(nullptr, administrators, &member) && member;
}

bool RunsUnderWine() {
    return SystemFunction<void (*)()>(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
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
