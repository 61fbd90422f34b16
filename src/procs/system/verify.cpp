// VERIFY: whether some pair of items at the same position of two lists is
// equal, ignoring the case of ASCII letters.
#include "procs/kinds.h"

namespace {

struct VerifyProcedure : Procedure {
    bool Run(RunContext&) override {
        const int count = Value("ARG1").ItemCount(",");
        if (count == 0) {
            // An empty first list equals only an empty second one.
            result = EqualsNoCase(Value("ARG1").c_str(), Value("ARG2").c_str());
            return true;
        }
        for (int i = 0; i < count && !result; ++i)
            result = EqualsNoCase(Item("ARG1", i).c_str(), Item("ARG2", i).c_str());
        return true;
    }
};

}  // namespace

Procedure* NewVerify() {
    return new (std::nothrow) VerifyProcedure;
}
