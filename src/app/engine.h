// The procedure engine: builds a procedure list from a list text, runs it,
// destroys it. Every live list is on the list stack, where conditions find
// procedures by name and where lists left by a failure wait for the end.
#pragma once

#include "procs/flow/procedure.h"

// count + 1 slots; the last one is null and ends the list. Owns its records.
typedef Procedure** ProcList;

// Lists deeper than this are refused, so that a SWITCH that selects itself
// cannot recurse without end.
const int kMaxListDepth = 64;

bool RunUpdater();
ProcList BuildList(const TextBuffer& text, int count);
bool RunList(ProcList list);
int DestroyList(ProcList list);
void DestroyRemainingLists();

bool PushList(ProcList list);
ProcList TopList();
int PopList(ProcList list);
int ListDepth();
void ResetListStack();

// Searches list, or every list on the stack from the newest when list is null.
Procedure* FindProcedure(const char* name, ProcList list);

// The kind whose name equals mode without regard to ASCII case; null for none.
ConstructFunction FindKind(const char* mode);
