// Construction of every procedure kind, for the engine's kind table.
#pragma once

#include "procs/flow/procedure.h"

Procedure* ConstructExist(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructDate(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructSwitch(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructMsgBox(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructCopy(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructLaunch(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructDelete(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructLink(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructOsVer(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructMakeDir(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructAttr(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructCrc(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructMove(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructWaitApp(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructAppExist(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructVerify(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructRsrc(const TextBuffer& name, const TextBuffer& mode);
Procedure* ConstructShell(const TextBuffer& name, const TextBuffer& mode);
