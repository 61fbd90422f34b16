// DELETE: each FILE item, a file, a folder tree or a pattern; absent items pass.
#include "procs/file/tree.h"
#include "procs/kinds.h"

namespace {

struct DeleteProcedure : Procedure {
    bool Run(RunContext& run) override {
        return ActOnEachItem(run, [&](int i) { return DeleteItem(run.events, Item("FILE", i)); });
    }
    void ReportItemFailure(RunContext& run, int i, uint32_t error) const override {
        run.reporter.Fail(kMsgDeleteFailed, {Item("FILE", i)}, error);
    }
};

}  // namespace

Procedure* NewDelete() {
    return new (std::nothrow) DeleteProcedure;
}
