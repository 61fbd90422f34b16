// MAKEDIR: every missing level of each DIR item is created.
#include "app/messages.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct MakeDirProcedure : Procedure {
    TextBuffer folders;

    bool ReadKeys() { return ReadTextKeys(name, {{"DIR", &folders}}); }

    bool Run() override {
        const int count = MainItemCount(folders, "DIR");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            const TextBuffer folder = ListItem(folders, i);
            if (!MakeFolderPath(folder)) {
                ShowMessage(kMsgMakeDirFailed, folder.c_str());
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructMakeDir(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<MakeDirProcedure>(name, mode, "MAKEDIR_INFO");
}
