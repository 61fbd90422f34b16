#include "procs/kinds.h"

Procedure* NewProcedure(KindId kind) {
    typedef Procedure* (*NewFunction)();
    // In the order of KindId.
    const NewFunction kNew[] = {NewExist,  NewDate,    NewSwitch,   NewMsgBox,  NewCopy, NewLaunch,
                                NewDelete, NewLink,    NewOsVer,    NewMakeDir, NewAttr, NewCrc,
                                NewMove,   NewWaitApp, NewAppExist, NewVerify,  NewRsrc, NewShell};
    static_assert(sizeof kNew / sizeof kNew[0] == static_cast<int>(KindId::kShell) + 1,
                  "one function for every kind");
    return kNew[static_cast<int>(kind)]();
}
