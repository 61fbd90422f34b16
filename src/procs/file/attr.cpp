// ATTR: the files each FILE item names get the whole attribute set of the
// ARG item at the same position, written in hexadecimal.
#include <cstdint>

#include "app/messages.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct AttrProcedure : Procedure {
    TextBuffer files;
    TextBuffer values;

    bool ReadKeys() { return ReadTextKeys(name, {{"FILE", &files}, {"ARG", &values}}); }

    bool Run() override {
        const int count = MainItemCount(files, "FILE");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            const TextBuffer path = ListItem(files, i);
            const uint32_t value = ListItem(values, i).ToHex();  // a missing item gives 0
            if (!SetItemAttributes(path, value)) {
                ShowMessage(kMsgAttributesFailed, path.c_str(), static_cast<unsigned>(value));
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructAttr(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<AttrProcedure>(name, mode, "ATTR_INFO");
}
