// OSVER: whether the system is of the NT platform family, or with MIN,
// whether the running Windows is at least that version.
#include "base/system.h"
#include "procs/kinds.h"

namespace {

struct OsVerProcedure : Procedure {
    bool Run(RunContext&) override {
        VersionNumber wanted;
        if (!ParseVersion(Value("MIN").c_str(), &wanted)) {  // no MIN: checked when built
            result = IsNtPlatform();
            return true;
        }
        OSVERSIONINFOA info;
        const VersionNumber running = RunningWindows(&info) ? NumberOf(info) : VersionNumber();
        result = IsAtLeast(running, wanted);
        return true;
    }
};

}  // namespace

Procedure* NewOsVer() {
    return new (std::nothrow) OsVerProcedure;
}
