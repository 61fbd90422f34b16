// Conditions in a running script: operands are the procedures of the running lists.
#include "procs/flow/condition.h"
#include "procs/procedure.h"

namespace {

bool FindFlag(const char* name, bool* flag, void* context) {
    const Procedure* procedure = static_cast<const ProcedureLists*>(context)->FindProcedure(name);
    if (procedure == nullptr)
        return false;
    *flag = procedure->result;
    return true;
}

}  // namespace

bool EvaluateCondition(const ProcedureLists& lists, const TextBuffer& expression, bool* value) {
    return EvaluateConditionWith(expression, FindFlag, const_cast<ProcedureLists*>(&lists), value);
}
