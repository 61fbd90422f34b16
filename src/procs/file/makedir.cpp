// MAKEDIR: every missing level of each DIR item is created.
#include "procs/file/paths.h"
#include "procs/kinds.h"

namespace {

struct MakeDirProcedure : Procedure {
    bool Run(RunContext& run) override {
        return ActOnEachItem(run,
                             [&](int i) { return MakeFolderPath(run.events, Item("DIR", i)); });
    }
    void ReportItemFailure(RunContext& run, int i, uint32_t error) const override {
        run.reporter.Fail(kMsgMakeDirFailed, {Item("DIR", i)}, error);
    }
};

}  // namespace

Procedure* NewMakeDir() {
    return new (std::nothrow) MakeDirProcedure;
}
