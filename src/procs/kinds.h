// A new, empty record of each procedure kind; null when memory runs out.
#pragma once

#include "procs/procedure.h"

Procedure* NewProcedure(KindId kind);

Procedure* NewExist();
Procedure* NewDate();
Procedure* NewSwitch();
Procedure* NewMsgBox();
Procedure* NewCopy();
Procedure* NewLaunch();
Procedure* NewDelete();
Procedure* NewLink();
Procedure* NewOsVer();
Procedure* NewMakeDir();
Procedure* NewAttr();
Procedure* NewCrc();
Procedure* NewMove();
Procedure* NewWaitApp();
Procedure* NewAppExist();
Procedure* NewVerify();
Procedure* NewRsrc();
Procedure* NewShell();
