// ATTR: the files each FILE item names get the whole attribute set of the
// ARG item at the same position, written in hexadecimal.
#include "procs/file/tree.h"
#include "procs/kinds.h"

namespace {

struct AttrProcedure : Procedure {
    // A missing ARG item gives 0.
    uint32_t AttributesOf(int i) const { return Item("ARG", i).ToHex(); }

    bool Run(RunContext& run) override {
        return ActOnEachItem(run, [&](int i) {
            return SetItemAttributes(run.events, Item("FILE", i), AttributesOf(i));
        });
    }
    void ReportItemFailure(RunContext& run, int i, uint32_t error) const override {
        run.reporter.Fail(kMsgAttributesFailed, {Item("FILE", i), AttributesOf(i)}, error);
    }
};

}  // namespace

Procedure* NewAttr() {
    return new (std::nothrow) AttrProcedure;
}
