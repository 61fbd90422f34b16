// A new, empty record of each procedure kind; null when memory runs out.
#pragma once

#include "procs/procedure.h"

Procedure* NewProcedure(KindId kind);

// Each kind's own file makes its records.
#define KIND(name, ...) Procedure* New##name();
#include "script/kinds.def"
#undef KIND
