// The evaluator keeps no state between calls, and no Win32: it is also built
// and tested natively.
#include "procs/flow/condition.h"

namespace {

enum class State {
    kStart,           // expects the first operand
    kStartNegated,    // NOT read before the first operand
    kValue,           // a value is held; expects an operator
    kOperand,         // expects the right operand
    kOperandNegated,  // NOT read after an operator
};

}  // namespace

bool EvaluateConditionWith(const TextBuffer& expression, FlagLookup lookup, void* context,
                           bool* value) {
    const int count = expression.ItemCount(" ");
    if (count == 0) {
        *value = true;
        return true;
    }
    State state = State::kStart;
    bool current = false;
    bool is_and = false;
    for (int i = 0; i < count; ++i) {
        const TextBuffer token = expression.Item(i, " ");
        // Runs of spaces and spaces at either end give empty items.
        if (token.IsEmpty())
            continue;
        if (state == State::kValue) {
            if (EqualsNoCase(token.c_str(), "AND")) {
                is_and = true;
            } else if (EqualsNoCase(token.c_str(), "OR")) {
                is_and = false;
            } else {
                return false;  // NOT, or a second operand in a row
            }
            state = State::kOperand;
            continue;
        }
        if (EqualsNoCase(token.c_str(), "NOT")) {
            if (state == State::kStart) {
                state = State::kStartNegated;
            } else if (state == State::kOperand) {
                state = State::kOperandNegated;
            } else {
                return false;  // NOT NOT
            }
            continue;
        }
        // Here AND and OR are procedure names like any other token. Every
        // operand is looked up, even when the value is already decided.
        bool flag = false;
        if (!lookup(token.c_str(), &flag, context))
            return false;
        if (state == State::kStartNegated || state == State::kOperandNegated)
            flag = !flag;
        if (state == State::kStart || state == State::kStartNegated) {
            current = flag;
        } else {
            current = is_and ? (current && flag) : (current || flag);
        }
        state = State::kValue;
    }
    // An expression that ends early keeps the value reached so far.
    *value = current;
    return true;
}
