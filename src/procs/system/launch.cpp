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
Status LaunchAndWait(RunContext& run, const TextBuffer& file, const TextBuffer& parameters,
                     int32_t wait_mode) {
    // The program starts in its own folder; without a folder part the shell
    // gets an empty text, never a null pointer.
    TextBuffer folder;
    if (!FolderOfPath(file.c_str(), folder))
        folder = "";

    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    // Unattended: the shell shows no error or choice of program either.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | (run.unattended ? SEE_MASK_FLAG_NO_UI : 0);
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info))
        return LastErrorStatus();

    UniqueHandle process(info.hProcess);
    // The shell handed the file to a program that was already running.
    if (!process.IsValid()) {
        run.events.Waited(file.c_str(), 0, WaitEnd::kNotRunning);
        return Status::Done();
    }
    const DWORD start = GetTickCount();
    const DWORD limit = run.longest_wait_ms;
    const DWORD waited = wait_mode == 0 ? WaitForInputIdle(process.Get(), limit)
                                        : WaitForSingleObject(process.Get(), limit);
    // A program still running when an unattended run's time is up fails the item.
    const Status status = waited == 0              ? Status::Done()
                          : waited == WAIT_TIMEOUT ? Status::Failed(ERROR_TIMEOUT)
                                                   : LastErrorStatus();
    run.events.Waited(file.c_str(), GetTickCount() - start,
                      waited == WAIT_TIMEOUT ? WaitEnd::kTimedOut
                      : !status              ? WaitEnd::kFailed
                      : wait_mode == 0       ? WaitEnd::kReady
                                             : WaitEnd::kEnded);
    return status;
}

struct LaunchProcedure : Procedure {
    bool Run(RunContext& run) override {
        // 0 when ISWAIT is not a number.
        const int32_t wait_mode = Value("ISWAIT").ToInt();
        return ActOnEachItem(run, [&](int i) {
            return LaunchAndWait(run, Item("FILE", i), Item("PARAM", i), wait_mode);
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
