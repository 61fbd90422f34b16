// SWITCH: runs the list for false or the list for true as a nested list,
// which sees the procedures of the enclosing lists.
#include "procs/flow/condition.h"
#include "procs/kinds.h"

namespace {

struct SwitchProcedure : Procedure {
    // The result flag is never set: a condition naming a SWITCH reads false.
    bool Run(RunContext& run) override {
        bool value = false;
        if (!EvaluateCondition(*run.lists, Value("PROC"), &value)) {
            run.reporter.Fail(kMsgBadSymbol, {Value("PROC")});
            return false;
        }
        // The engine refuses lists beyond its depth limit, which ends a
        // SWITCH that selects itself.
        return run.lists->RunNestedList(Value(value ? "1" : "0"));
    }
};

}  // namespace

Procedure* NewSwitch() {
    return new (std::nothrow) SwitchProcedure;
}
