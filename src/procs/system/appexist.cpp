// APPEXIST: the result flag tells whether every APP item is running.
#include "procs/kinds.h"
#include "procs/system/process.h"

namespace {

struct AppExistProcedure : Procedure {
    TextBuffer programs;

    bool ReadKeys() { return ReadTextKeys(name, {{"APP", &programs}}); }

    bool Run() override {
        const int count = MainItemCount(programs, "APP");
        if (count == 0)
            return false;
        // A test: a program that is not running only leaves the flag false.
        for (int i = 0; i < count; ++i) {
            if (FindRunningProcess(ListItem(programs, i).c_str()) == 0)
                return true;
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructAppExist(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<AppExistProcedure>(name, mode, "APPEXIST_INFO");
}
