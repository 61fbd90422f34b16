// SWITCH: runs the list for false or the list for true as a nested list,
// which sees the procedures of the enclosing lists.
#include "app/engine.h"
#include "app/messages.h"
#include "procs/flow/condition.h"
#include "procs/kinds.h"

namespace {

struct SwitchProcedure : Procedure {
    TextBuffer condition;
    TextBuffer list_false;
    TextBuffer list_true;

    bool ReadKeys() {
        return ReadTextKeys(name, {{"PROC", &condition}, {"0", &list_false}, {"1", &list_true}});
    }

    // The result flag is never set: a condition naming a SWITCH reads false.
    bool Run() override {
        bool value = false;
        if (!EvaluateCondition(condition, &value)) {
            ShowMessage(kMsgBadSymbol, condition.c_str());
            return false;
        }
        const TextBuffer& selected = value ? list_true : list_false;
        const int count = selected.ItemCount(",");
        if (count == 0)
            return true;
        // The engine refuses lists beyond its depth limit, which ends a
        // SWITCH that selects itself.
        if (BuildList(selected, count) == nullptr)
            return false;
        // A failed list stays on the stack until the program ends.
        if (!RunList(TopList()))
            return false;
        DestroyList(TopList());
        return true;
    }
};

}  // namespace

Procedure* ConstructSwitch(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<SwitchProcedure>(name, mode, "SWITCH_INFO");
}
