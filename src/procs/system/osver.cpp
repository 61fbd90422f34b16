// OSVER: whether the system is of the NT platform family.
#include "base/system.h"
#include "procs/kinds.h"

namespace {

struct OsVerProcedure : Procedure {
    bool Run(RunContext&) override {
        result = IsNtPlatform();
        return true;
    }
};

}  // namespace

Procedure* NewOsVer() {
    return new (std::nothrow) OsVerProcedure;
}
