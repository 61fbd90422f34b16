// MOVE: each FROM item to the TO item at the same position; the sources go.
#include "app/messages.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct MoveProcedure : Procedure {
    TextBuffer sources;
    TextBuffer targets;

    bool ReadKeys() { return ReadTextKeys(name, {{"FROM", &sources}, {"TO", &targets}}); }

    bool Run() override {
        const int count = sources.ItemCount(",");
        if (count == 0) {
            ShowMessage(kMsgBadItemCount, name.c_str(), "FROM");
            return false;
        }
        for (int i = 0; i < count; ++i) {
            const TextBuffer source = ListItem(sources, i);
            const TextBuffer target = ListItem(targets, i);
            if (!MoveItem(source, target)) {
                ShowMessage(kMsgMoveFailed, source.c_str(), target.c_str());
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructMove(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<MoveProcedure>(name, mode, "MOVE_INFO");
}
