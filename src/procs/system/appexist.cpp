// APPEXIST: the result flag tells whether every APP item is running.
#include "procs/kinds.h"
#include "procs/system/process.h"

namespace {

struct AppExistProcedure : Procedure {
    // A test: a program that is not running only leaves the flag false.
    bool Run(RunContext& run) override {
        return TestItems(run, true,
                         [&](int i) { return FindRunningProcess(Item("APP", i).c_str()) != 0; });
    }
};

}  // namespace

Procedure* NewAppExist() {
    return new (std::nothrow) AppExistProcedure;
}
