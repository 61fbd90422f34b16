// A stand-in for the application the example updates. It opens no window:
// it writes "started.txt" beside itself, holding the command line it got,
// and ends, so that the launch at the end of the update can be seen.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    char path[MAX_PATH + 16] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD folder_end = 0;  // just behind the last backslash
    for (DWORD i = 0; i < length; i += IsDBCSLeadByte(static_cast<BYTE>(path[i])) ? 2 : 1) {
        if (path[i] == '\\')
            folder_end = i + 1;
    }
    lstrcpyA(path + folder_end, "started.txt");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, "SampleApp started: ", 19, &written, nullptr);
    WriteFile(file, command_line, lstrlenA(command_line), &written, nullptr);
    CloseHandle(file);
    return 0;
}
