// Shared by the helper programs that LAUNCH and WAITAPP tests start: each
// leaves small files beside its own executable so that a test can see what
// happened to it.
#pragma once

#include <windows.h>

#include <string>

namespace helper {

inline std::string OwnPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// The command-line text behind the program's name, as the program got it.
inline std::string ArgumentsText() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

inline void WriteText(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// "<exe>.txt": the arguments, then the working folder, one per line.
inline void WriteStartRecord() {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    WriteText(OwnPath() + ".txt", ArgumentsText() + "\n" + folder + "\n");
}

inline bool FileThere(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a message loop, so that the program counts as ready for input, until
// "<exe>.stop" appears or lifetime milliseconds have passed.
inline void RunUntilStopped(DWORD lifetime) {
    const std::string stop = OwnPath() + ".stop";
    const DWORD start = GetTickCount();
    SetTimer(nullptr, 0, 20, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER &&
            (FileThere(stop) || GetTickCount() - start >= lifetime)) {
            break;
        }
        DispatchMessageA(&message);
    }
}

}  // namespace helper
