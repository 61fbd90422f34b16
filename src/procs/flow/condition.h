// Condition expressions over the result flags of procedures: procedure names
// joined by NOT, AND and OR, read strictly from left to right.
#pragma once

#include "text/text_buffer.h"

// Finds the result flag of the procedure called name; false when there is none.
typedef bool (*FlagLookup)(const char* name, bool* flag, void* context);

// Evaluates expression with the flags that lookup gives. False when the
// expression is malformed or names an unknown procedure; value is then unchanged.
bool EvaluateConditionWith(const TextBuffer& expression, FlagLookup lookup, void* context,
                           bool* value);

class ProcedureLists;
// The same over the procedures of the running lists, newest first.
bool EvaluateCondition(const ProcedureLists& lists, const TextBuffer& expression, bool* value);
