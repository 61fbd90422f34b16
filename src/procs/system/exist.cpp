// EXIST: whether every listed file (or folder, or pattern) is present.
#include "procs/file/paths.h"
#include "procs/kinds.h"

namespace {

struct ExistProcedure : Procedure {
    bool Run(RunContext& run) override {
        return TestItems(run, true, [&](int i) { return FileExists(Item("FILE", i).c_str()); });
    }
};

}  // namespace

Procedure* NewExist() {
    return new (std::nothrow) ExistProcedure;
}
