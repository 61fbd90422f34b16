// LAUNCH: opens each FILE item through the shell with the PARAM item at the
// same position, and waits until it is ready for input or has ended before
// the next item is opened.
#include <windows.h>
#include <shellapi.h>

#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
#include "procs/kinds.h"

namespace {

// Wait mode 0 waits until the started program is ready for input; any other
// value waits until it has ended.
Status LaunchAndWait(RunEvents& events, const TextBuffer& file, const TextBuffer& parameters,
                     int32_t wait_mode) {
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
        return LastErrorStatus();

    UniqueHandle process(info.hProcess);
    // The shell handed the file to a program that was already running.
    if (!process.IsValid()) {
        events.Waited(file.c_str(), 0, WaitEnd::kNotRunning);
        return Status::Done();
    }
    const DWORD start = GetTickCount();
    const DWORD waited = wait_mode == 0 ? WaitForInputIdle(process.Get(), INFINITE)
                                        : WaitForSingleObject(process.Get(), INFINITE);
    const Status status = waited == 0 ? Status::Done() : LastErrorStatus();
    events.Waited(file.c_str(), GetTickCount() - start,
                  !status          ? WaitEnd::kFailed
                  : wait_mode == 0 ? WaitEnd::kReady
                                   : WaitEnd::kEnded);
    return status;
}

struct LaunchProcedure : Procedure {
    bool Run(RunContext& run) override {
        // 0 when ISWAIT is not a number.
        const int32_t wait_mode = Value("ISWAIT").ToInt();
        return ActOnEachItem(run, [&](int i) {
            return LaunchAndWait(run.events, Item("FILE", i), Item("PARAM", i), wait_mode);
        });
    }
    void ReportItemFailure(RunContext& run, int i, uint32_t error) const override {
        run.reporter.Fail(kMsgLaunchFailed, {Item("FILE", i), Item("PARAM", i)}, error);
    }
};

}  // namespace

Procedure* NewLaunch() {
    return new (std::nothrow) LaunchProcedure;
}
