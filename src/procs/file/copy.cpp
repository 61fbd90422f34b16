// COPY: each FROM item to the TO item at the same position.
#include "app/messages.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct CopyProcedure : Procedure {
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
            if (!CopyItem(source, target)) {
                ShowMessage(kMsgCopyFailed, source.c_str(), target.c_str());
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructCopy(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<CopyProcedure>(name, mode, "COPY_INFO");
}
