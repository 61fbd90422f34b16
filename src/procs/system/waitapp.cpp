// WAITAPP: waits for each running APP item to end, up to the TICK item at the
// same position (milliseconds, -1 without limit). A program still running
// when its time is up is passed over without a message.
#include "app/win_handles.h"
#include "procs/kinds.h"
#include "procs/system/process.h"

namespace {

struct WaitAppProcedure : Procedure {
    TextBuffer programs;
    TextBuffer limits;

    bool ReadKeys() { return ReadTextKeys(name, {{"APP", &programs}, {"TICK", &limits}}); }

    bool Run() override {
        const int count = MainItemCount(programs, "APP");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            const TextBuffer program = ListItem(programs, i);
            const TextBuffer limit = ListItem(limits, i);  // missing or no number: 0
            // Each program is looked up when its turn comes.
            const DWORD id = FindRunningProcess(program.c_str());
            if (id == 0)
                continue;
            UniqueHandle process(OpenProcess(STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE, FALSE, id));
            if (!process.IsValid())
                continue;
            // -1 becomes INFINITE. Ended or timed out, the next item follows.
            WaitForSingleObject(process.Get(), static_cast<DWORD>(limit.ToInt()));
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructWaitApp(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<WaitAppProcedure>(name, mode, "WAITAPP_INFO");
}
