// WAITAPP: waits for each running APP item to end, up to the TICK item at the
// same position (milliseconds, -1 without limit). A program still running
// when its time is up is passed over without a message.
#include "base/win_handles.h"
#include "procs/kinds.h"
#include "procs/system/process.h"

namespace {

WaitEnd WaitForProgram(const TextBuffer& program, DWORD limit) {
    // Each program is looked up when its turn comes.
    const DWORD id = FindRunningProcess(program.c_str());
    if (id == 0)
        return WaitEnd::kNotRunning;
    // Waiting needs nothing more, and is granted where more would be refused.
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process.IsValid())
        return WaitEnd::kFailed;
    switch (WaitForSingleObject(process.Get(), limit)) {
        case WAIT_OBJECT_0:
            return WaitEnd::kEnded;
        case WAIT_TIMEOUT:
            return WaitEnd::kTimedOut;
    }
    return WaitEnd::kFailed;
}

struct WaitAppProcedure : Procedure {
    bool Run(RunContext& run) override {
        // Ended or timed out, the next item follows; nothing fails.
        return ActOnEachItem(run, [&](int i) {
            const TextBuffer program = Item("APP", i);
            const DWORD start = GetTickCount();
            // A missing or non-numeric item is 0; -1 becomes INFINITE.
            const DWORD limit = static_cast<DWORD>(Item("TICK", i).ToInt());
            const WaitEnd end =
                WaitForProgram(program, limit < run.longest_wait_ms ? limit : run.longest_wait_ms);
            run.events.Waited(program.c_str(), GetTickCount() - start, end);
            return Status::Done();
        });
    }
};

}  // namespace

Procedure* NewWaitApp() {
    return new (std::nothrow) WaitAppProcedure;
}
