// Condition expressions over the result flags of procedures: procedure names
// joined by NOT, AND and OR, read strictly from left to right. The program
// evaluates them over its running lists, the checker over the lists a script
// can run.
#pragma once

#include "text/text_buffer.h"

// Where a condition finds the flag of the procedure a name means.
class ConditionFlags {
public:
    virtual ~ConditionFlags() = default;
    // False when no procedure has that name.
    virtual bool Find(const char* name, bool* flag) const = 0;
};

// Why an expression cannot be evaluated.
enum class ConditionFault {
    kNone,
    kNotAfterNot,      // NOT NOT
    kNotAsOperator,    // NOT where AND or OR belongs
    kMissingOperator,  // two operands in a row
    kUnknownName,      // no procedure has that name
};

struct ConditionOutcome {
    bool value = false;
    ConditionFault fault = ConditionFault::kNone;
    TextBuffer token;  // where it went wrong
};

// Reads the tokens once, from left to right; every operand is looked up,
// even when the value is already decided.
ConditionOutcome ReadCondition(const TextBuffer& expression, const ConditionFlags& flags);

// The value of expression; false when it cannot be evaluated (value is then
// unchanged).
bool EvaluateCondition(const TextBuffer& expression, const ConditionFlags& flags, bool* value);
