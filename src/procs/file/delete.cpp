// DELETE: each FILE item, a file, a folder tree or a pattern; absent items pass.
#include "app/messages.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct DeleteProcedure : Procedure {
    TextBuffer files;

    bool ReadKeys() { return ReadTextKeys(name, {{"FILE", &files}}); }

    bool Run() override {
        const int count = MainItemCount(files, "FILE");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            const TextBuffer path = ListItem(files, i);
            if (!DeleteItem(path)) {
                ShowMessage(kMsgDeleteFailed, path.c_str());
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructDelete(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<DeleteProcedure>(name, mode, "DELETE_INFO");
}
