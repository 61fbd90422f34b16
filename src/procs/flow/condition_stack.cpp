// Conditions in a running script: operands are the procedures on the list stack.
#include "app/engine.h"
#include "procs/flow/condition.h"

namespace {

bool FindFlagOnStack(const char* name, bool* flag, void*) {
    const Procedure* procedure = FindProcedure(name, nullptr);
    if (procedure == nullptr)
        return false;
    *flag = procedure->result;
    return true;
}

}  // namespace

bool EvaluateCondition(const TextBuffer& expression, bool* value) {
    return EvaluateConditionWith(expression, FindFlagOnStack, nullptr, value);
}
