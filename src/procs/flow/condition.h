// Conditions in a running script: operands are the procedures of the running
// lists, newest first.
#pragma once

#include "script/condition.h"

class ProcedureLists;
bool EvaluateCondition(const ProcedureLists& lists, const TextBuffer& expression, bool* value);
