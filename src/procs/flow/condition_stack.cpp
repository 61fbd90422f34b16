// Conditions in a running script: operands are the procedures of the running lists.
#include "procs/flow/condition.h"
#include "procs/procedure.h"

namespace {

class RunningFlags : public ConditionFlags {
public:
    explicit RunningFlags(const ProcedureLists& lists) : lists_(lists) {}
    bool Find(const char* name, bool* flag) const override {
        const Procedure* procedure = lists_.FindProcedure(name);
        if (procedure == nullptr)
            return false;
        *flag = procedure->result;
        return true;
    }

private:
    const ProcedureLists& lists_;
};

}  // namespace

bool EvaluateCondition(const ProcedureLists& lists, const TextBuffer& expression, bool* value) {
    return EvaluateCondition(expression, RunningFlags(lists), value);
}
