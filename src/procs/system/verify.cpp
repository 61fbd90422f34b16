// VERIFY: whether some pair of items at the same position of two lists is
// equal, ignoring the case of ASCII letters.
#include "procs/kinds.h"

namespace {

struct VerifyProcedure : Procedure {
    TextBuffer first;
    TextBuffer second;

    bool ReadKeys() { return ReadTextKeys(name, {{"ARG1", &first}, {"ARG2", &second}}); }

    bool Run() override {
        const int count = first.ItemCount(",");
        if (count == 0) {
            // An empty first list equals only an empty second one.
            result = EqualsNoCase(first.c_str(), second.c_str());
            return true;
        }
        for (int i = 0; i < count; ++i) {
            if (EqualsNoCase(ListItem(first, i).c_str(), ListItem(second, i).c_str())) {
                result = true;
                return true;
            }
        }
        return true;
    }
};

}  // namespace

Procedure* ConstructVerify(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<VerifyProcedure>(name, mode, "VERIFY_INFO");
}
