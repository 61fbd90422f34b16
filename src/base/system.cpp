#include "base/system.h"

bool IsNtPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool RunningWindows(OSVERSIONINFOA* info) {
    ZeroMemory(info, sizeof *info);
    info->dwOSVersionInfoSize = sizeof *info;
    // Declared only in the driver kit's headers.
    typedef LONG(WINAPI * RtlGetVersionFn)(RTL_OSVERSIONINFOW*);
    const auto get_version =
        SystemFunction<RtlGetVersionFn>(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
    RTL_OSVERSIONINFOW real;
    ZeroMemory(&real, sizeof real);
    real.dwOSVersionInfoSize = sizeof real;
    if (get_version == nullptr || get_version(&real) != 0)
        return GetVersionExA(info) != FALSE;
    info->dwMajorVersion = real.dwMajorVersion;
    info->dwMinorVersion = real.dwMinorVersion;
    info->dwBuildNumber = real.dwBuildNumber;
    info->dwPlatformId = real.dwPlatformId;
    WideCharToMultiByte(CP_ACP, 0, real.szCSDVersion, -1, info->szCSDVersion,
                        sizeof info->szCSDVersion, nullptr, nullptr);
    return true;
}

VersionNumber NumberOf(const OSVERSIONINFOA& info) {
    VersionNumber number;
    number.major = info.dwMajorVersion;
    number.minor = info.dwMinorVersion;
    number.build = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? info.dwBuildNumber
                                                              : info.dwBuildNumber & 0xFFFF;
    return number;
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
