// The evaluator keeps no state between calls, and no Win32: it is also built
// and tested natively.
#include "script/condition.h"

#include <cstring>

#include "text/code_page.h"

namespace {

enum class State {
    kStart,           // expects the first operand
    kStartNegated,    // NOT read before the first operand
    kValue,           // a value is held; expects an operator
    kOperand,         // expects the right operand
    kOperandNegated,  // NOT read after an operator
};

}  // namespace

ConditionOutcome ReadCondition(const TextBuffer& expression, const ConditionFlags& flags) {
    ConditionOutcome outcome;
    const char* text = expression.c_str();
    if (*text == '\0') {
        outcome.value = true;
        return outcome;
    }
    State state = State::kStart;
    bool is_and = false;
    // The items at " " one after the other; runs of spaces and spaces at
    // either end give empty items, which are passed over.
    for (ptrdiff_t begin = 0;;) {
        const ptrdiff_t space = FindText(text, begin, " ");
        const ptrdiff_t end = space < 0 ? static_cast<ptrdiff_t>(strlen(text)) : space;
        if (end > begin) {
            const TextBuffer token(text + begin, static_cast<size_t>(end - begin));
            if (state == State::kValue) {
                if (EqualsNoCase(token.c_str(), "AND")) {
                    is_and = true;
                } else if (EqualsNoCase(token.c_str(), "OR")) {
                    is_and = false;
                } else {
                    outcome.fault = EqualsNoCase(token.c_str(), "NOT")
                                        ? ConditionFault::kNotAsOperator
                                        : ConditionFault::kMissingOperator;
                    outcome.token = token;
                    return outcome;
                }
                state = State::kOperand;
            } else if (EqualsNoCase(token.c_str(), "NOT")) {
                if (state == State::kStartNegated || state == State::kOperandNegated) {
                    outcome.fault = ConditionFault::kNotAfterNot;
                    outcome.token = token;
                    return outcome;
                }
                state = state == State::kStart ? State::kStartNegated : State::kOperandNegated;
            } else {
                // Here AND and OR are procedure names like any other token.
                bool flag = false;
                if (!flags.Find(token.c_str(), &flag)) {
                    outcome.fault = ConditionFault::kUnknownName;
                    outcome.token = token;
                    return outcome;
                }
                if (state == State::kStartNegated || state == State::kOperandNegated)
                    flag = !flag;
                if (state == State::kStart || state == State::kStartNegated)
                    outcome.value = flag;
                else
                    outcome.value = is_and ? (outcome.value && flag) : (outcome.value || flag);
                state = State::kValue;
            }
        }
        if (space < 0)
            break;
        begin = space + 1;
    }
    // An expression that ends early keeps the value reached so far.
    return outcome;
}

bool EvaluateCondition(const TextBuffer& expression, const ConditionFlags& flags, bool* value) {
    const ConditionOutcome outcome = ReadCondition(expression, flags);
    if (outcome.fault != ConditionFault::kNone)
        return false;
    *value = outcome.value;
    return true;
}
