// Test side of the helper programs (helper_marker, helper_idle,
// helper_sleeper), which are built beside the test programs.
#pragma once

#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>

#include "base/win_handles.h"
#include "sandbox.h"

namespace helpers {

// Copies helper "name" (without ".exe") from the test program's folder into
// the sandbox as "relative"; its Windows path.
inline std::string Install(const Sandbox& box, const std::string& name,
                           const std::string& relative) {
    const std::string target = box.Path(relative);
    CopyFileA((TestProgramFolder() + name + ".exe").c_str(), target.c_str(), FALSE);
    return target;
}

// Polls until the file exists; false after limit_ms.
inline bool WaitForFile(const std::string& path, DWORD limit_ms = kHangCeilingMs) {
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > limit_ms)
            return false;
        Sleep(10);
    }
    return true;
}

// Ends every process of the program of that file name, such as one the
// program under test started and left running: under Wine it holds the test
// runner's output open for as long as it lives.
inline void EndProcessesNamed(const char* file_name) {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot.IsValid() && Process32First(snapshot.Get(), &entry); more;
         more = Process32Next(snapshot.Get(), &entry)) {
        const char* name = strrchr(entry.szExeFile, '\\');
        if (lstrcmpiA(name != nullptr ? name + 1 : entry.szExeFile, file_name) != 0)
            continue;
        const UniqueHandle process(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process.IsValid() && TerminateProcess(process.Get(), 1))
            WaitForSingleObject(process.Get(), 5000);
    }
}

// A started helper's record: the arguments it got and its working folder.
struct StartRecord {
    bool exists = false;
    std::string arguments;
    std::string folder;
};

inline StartRecord ReadStartRecord(const Sandbox& box, const std::string& relative_exe) {
    StartRecord record;
    record.exists = box.Exists(relative_exe + ".txt");
    const std::string text = box.ReadFile(relative_exe + ".txt");
    const size_t first = text.find('\n');
    if (first == std::string::npos)
        return record;
    record.arguments = text.substr(0, first);
    const size_t second = text.find('\n', first + 1);
    record.folder = text.substr(first + 1, second - first - 1);
    return record;
}

// A sleeper helper started by the test itself; killed when the owner goes.
class RunningHelper {
public:
    // Starts the sleeper at path with the argument text and waits until it
    // runs. rights: the process's access list in SDDL ("" for the default).
    RunningHelper(const std::string& path, const std::string& arguments = "",
                  const std::string& rights = "")
        : path_(path) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        std::string command = "\"" + path + "\" " + arguments;
        SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
        if (!rights.empty() &&
            !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                rights.c_str(), SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
            return;
        }
        const BOOL created =
            CreateProcessA(path.c_str(), &command[0], rights.empty() ? nullptr : &security, nullptr,
                           FALSE, 0, nullptr, nullptr, &startup, &info);
        LocalFree(security.lpSecurityDescriptor);
        if (created) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
            started_ = WaitForFile(path + ".started");
        }
    }
    ~RunningHelper() {
        if (process_ == nullptr)
            return;
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    RunningHelper(const RunningHelper&) = delete;
    RunningHelper& operator=(const RunningHelper&) = delete;

    bool Started() const { return started_; }
    bool StillRunning() const {
        return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
    }

private:
    std::string path_;
    HANDLE process_ = nullptr;
    bool started_ = false;
};

}  // namespace helpers
