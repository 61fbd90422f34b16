// EXIST: whether every listed file (or folder, or pattern) is present.
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct ExistProcedure : Procedure {
    TextBuffer files;

    bool ReadKeys() { return ReadTextKeys(name, {{"FILE", &files}}); }

    bool Run() override {
        const int count = MainItemCount(files, "FILE");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            if (!FileExists(ListItem(files, i).c_str()))
                return true;
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructExist(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<ExistProcedure>(name, mode, "EXIST_INFO");
}
