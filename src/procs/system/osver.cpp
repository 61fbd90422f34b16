// OSVER: whether the system is of the NT platform family.
#include "procs/kinds.h"
#include "procs/system/process.h"

namespace {

struct OsVerProcedure : Procedure {
    bool ReadKeys() { return true; }

    bool Run() override {
        result = IsNtPlatform();
        return true;
    }
};

}  // namespace

Procedure* ConstructOsVer(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<OsVerProcedure>(name, mode, "OSVER_INFO");
}
