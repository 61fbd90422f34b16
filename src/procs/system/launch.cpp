// LAUNCH: opens each FILE item through the shell with the PARAM item at the
// same position, and waits until it is ready for input or has ended before
// the next item is opened.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "app/messages.h"
#include "app/win_handles.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"
#include "script/reader.h"

namespace {

// Wait mode 0 waits until the started program is ready for input; any other
// value waits until it has ended.
bool LaunchAndWait(const TextBuffer& file, const TextBuffer& parameters, int32_t wait_mode) {
    // The program starts in its own folder; without a folder part the shell
    // gets an empty text, never a null pointer.
    TextBuffer folder;
    if (!FolderOfPath(file.c_str(), folder))
        folder = "";

    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info))
        return false;

    UniqueHandle process(info.hProcess);
    // The shell handed the file to a program that was already running.
    if (!process.IsValid())
        return true;
    if (wait_mode == 0)
        return WaitForInputIdle(process.Get(), INFINITE) == 0;
    return WaitForSingleObject(process.Get(), INFINITE) == WAIT_OBJECT_0;
}

struct LaunchProcedure : Procedure {
    TextBuffer files;
    TextBuffer parameters;
    int32_t wait_mode = 0;  // stays 0 when ISWAIT is not a number

    bool ReadKeys() {
        return ReadTextKeys(name, {{"FILE", &files}, {"PARAM", &parameters}}) &&
               ReadIntKey(name.c_str(), "ISWAIT", wait_mode);
    }

    bool Run() override {
        const int count = MainItemCount(files, "FILE");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            const TextBuffer file = ListItem(files, i);
            const TextBuffer arguments = ListItem(parameters, i);
            if (!LaunchAndWait(file, arguments, wait_mode)) {
                ShowMessage(kMsgLaunchFailed, file.c_str(), arguments.c_str());
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructLaunch(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<LaunchProcedure>(name, mode, "LAUNCH_INFO");
}
