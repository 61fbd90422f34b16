// Condition expressions: the left-to-right state machine over procedure
// flags, with lookups recorded to show that every operand is read.
#include <gtest/gtest.h>

#include "code_page_cases.h"

#include <string>
#include <utility>
#include <vector>

#include "script/condition.h"
#include "text/code_page.h"

namespace {

// Procedures in list order; the first of two equal names wins, as on the stack.
struct Procedures : ConditionFlags {
    bool Find(const char* name, bool* flag) const override {
        looked_up.push_back(name);
        for (const auto& entry : flags) {
            if (EqualsNoCase(entry.first.c_str(), name)) {
                *flag = entry.second;
                return true;
            }
        }
        return false;
    }
    std::vector<std::pair<std::string, bool>> flags;
    mutable std::vector<std::string> looked_up;
};

class Condition : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(kSingleByte); }

    void Define(const std::string& name, bool flag) { procedures_.flags.push_back({name, flag}); }

    // The value of a well-formed expression; fails the test when it does not evaluate.
    bool ValueOf(const char* expression) {
        bool value = false;
        EXPECT_TRUE(EvaluateCondition(expression, procedures_, &value))
            << "expression: \"" << expression << "\"";
        return value;
    }

    // True when the expression fails; the value must then stay untouched.
    bool Fails(const char* expression) {
        bool value = true;
        const bool ok = EvaluateCondition(expression, procedures_, &value);
        EXPECT_TRUE(value) << "value written by a failing evaluation of \"" << expression << "\"";
        bool other = false;
        EvaluateCondition(expression, procedures_, &other);
        EXPECT_FALSE(other) << "value written by a failing evaluation of \"" << expression << "\"";
        return !ok;
    }

    std::vector<std::string> LookupsOf(const char* expression) {
        procedures_.looked_up.clear();
        bool value = false;
        EvaluateCondition(expression, procedures_, &value);
        return procedures_.looked_up;
    }

    Procedures procedures_;
};

TEST_F(Condition, EmptyIsTrueButOnlySpacesIsFalse) {
    bool value = false;
    EXPECT_TRUE(EvaluateCondition("", procedures_, &value));
    EXPECT_TRUE(value);
    value = true;
    EXPECT_TRUE(EvaluateCondition("   ", procedures_, &value));
    EXPECT_FALSE(value);
    value = true;
    EXPECT_TRUE(EvaluateCondition(" ", procedures_, &value));
    EXPECT_FALSE(value);
    EXPECT_TRUE(procedures_.looked_up.empty());
}

TEST_F(Condition, SingleOperandAndNegation) {
    Define("T", true);
    Define("F", false);
    EXPECT_TRUE(ValueOf("T"));
    EXPECT_FALSE(ValueOf("F"));
    EXPECT_FALSE(ValueOf("NOT T"));
    EXPECT_TRUE(ValueOf("NOT F"));
    EXPECT_TRUE(ValueOf("  T  "));
}

TEST_F(Condition, AndOrTruthTables) {
    Define("T", true);
    Define("F", false);
    EXPECT_TRUE(ValueOf("T AND T"));
    EXPECT_FALSE(ValueOf("T AND F"));
    EXPECT_FALSE(ValueOf("F AND T"));
    EXPECT_FALSE(ValueOf("F AND F"));
    EXPECT_TRUE(ValueOf("T OR T"));
    EXPECT_TRUE(ValueOf("T OR F"));
    EXPECT_TRUE(ValueOf("F OR T"));
    EXPECT_FALSE(ValueOf("F OR F"));
    EXPECT_TRUE(ValueOf("F OR NOT F"));
    EXPECT_FALSE(ValueOf("T AND NOT T"));
}

TEST_F(Condition, NotBindsToOneOperandOverAllCombinations) {
    for (int bits = 0; bits < 8; ++bits) {
        const bool a = bits & 1, b = bits & 2, d = bits & 4;
        procedures_.flags = {{"A", a}, {"B", b}, {"D", d}};
        EXPECT_EQ(ValueOf("A AND NOT B OR D"), (a && !b) || d) << a << b << d;
        EXPECT_EQ(ValueOf("NOT A OR B"), !a || b) << a << b;
    }
}

TEST_F(Condition, StrictlyLeftToRightWithoutPrecedence) {
    Define("A", true);
    Define("B", true);
    Define("D", false);
    // (A OR B) AND D, where AND before OR would give A OR (B AND D), true.
    EXPECT_FALSE(ValueOf("A OR B AND D"));
    EXPECT_FALSE(ValueOf("NOT D OR A AND D"));
}

TEST_F(Condition, CaseOfKeywordsAndNamesIsIgnored) {
    Define("A", true);
    Define("B", false);
    EXPECT_FALSE(ValueOf("a and b"));
    EXPECT_TRUE(ValueOf("a Or b"));
    EXPECT_TRUE(ValueOf("not B"));
    EXPECT_TRUE(ValueOf("A aNd nOt b"));
}

TEST_F(Condition, RunsOfSpacesAreSkipped) {
    Define("A", true);
    Define("B", false);
    EXPECT_FALSE(ValueOf("A    AND     B"));
    EXPECT_TRUE(ValueOf("   A  OR B   "));
    EXPECT_TRUE(ValueOf("NOT    B"));
    EXPECT_EQ(LookupsOf("  A   AND  B  "), (std::vector<std::string>{"A", "B"}));
}

TEST_F(Condition, OnlySpacesSeparateTokens) {
    Define("A", true);
    Define("B", true);
    // A tab is part of the token, and quotes have no meaning.
    EXPECT_TRUE(Fails("A\tAND B"));
    EXPECT_EQ(LookupsOf("A\tAND B"), (std::vector<std::string>{"A\tAND"}));
    EXPECT_TRUE(Fails("\"A\""));
    Define("A\tX", false);
    EXPECT_TRUE(ValueOf("NOT A\tX"));
}

TEST_F(Condition, MalformedExpressionsFail) {
    Define("A", true);
    Define("B", true);
    EXPECT_TRUE(Fails("A B"));
    EXPECT_TRUE(Fails("A AND AND B"));
    EXPECT_TRUE(Fails("NOT NOT A"));
    EXPECT_TRUE(Fails("A NOT B"));
    EXPECT_TRUE(Fails("A AND NOT NOT B"));
    EXPECT_TRUE(Fails("A OR B NOT"));
    EXPECT_TRUE(Fails("A AND B B"));
}

TEST_F(Condition, FailsAtTheFirstBadTokenWithoutLookingFurther) {
    Define("A", true);
    Define("B", true);
    EXPECT_EQ(LookupsOf("A B AND B"), (std::vector<std::string>{"A"}));
    EXPECT_EQ(LookupsOf("NOT NOT A"), (std::vector<std::string>{}));
    EXPECT_EQ(LookupsOf("X OR A"), (std::vector<std::string>{"X"}));
}

TEST_F(Condition, UnknownOperandFailsEvenWhenTheValueIsDecided) {
    Define("A", true);
    Define("F", false);
    EXPECT_TRUE(Fails("A OR X"));
    EXPECT_TRUE(Fails("F AND X"));
    EXPECT_TRUE(Fails("A OR NOT X"));
    EXPECT_TRUE(Fails("X"));
    EXPECT_TRUE(Fails("NOT X"));
    // No short-circuit: every operand is looked up, in order.
    EXPECT_EQ(LookupsOf("A OR F OR A"), (std::vector<std::string>{"A", "F", "A"}));
    EXPECT_EQ(LookupsOf("F AND A AND F"), (std::vector<std::string>{"F", "A", "F"}));
}

TEST_F(Condition, EndingEarlyKeepsTheValueReached) {
    Define("T", true);
    Define("F", false);
    EXPECT_TRUE(ValueOf("T AND"));
    EXPECT_FALSE(ValueOf("F OR"));
    EXPECT_TRUE(ValueOf("T AND NOT"));
    EXPECT_FALSE(ValueOf("NOT"));
    EXPECT_FALSE(ValueOf("  NOT  "));
}

TEST_F(Condition, OperatorWordsWhereAnOperandIsExpectedAreProcedureNames) {
    Define("A", true);
    // Without procedures so named, they are unknown operands.
    EXPECT_TRUE(Fails("AND"));
    EXPECT_TRUE(Fails("OR A"));
    EXPECT_TRUE(Fails("A AND OR"));
    Define("and", false);
    Define("Or", true);
    EXPECT_FALSE(ValueOf("AND"));
    EXPECT_TRUE(ValueOf("NOT AND"));
    EXPECT_FALSE(ValueOf("A AND AND"));
    EXPECT_TRUE(ValueOf("AND OR OR"));
    EXPECT_TRUE(ValueOf("A AND NOT AND"));
    EXPECT_EQ(LookupsOf("A AND AND OR OR"), (std::vector<std::string>{"A", "AND", "OR"}));
    // NOT is never a name.
    Define("NOT", true);
    EXPECT_TRUE(Fails("A AND NOT NOT"));
}

TEST_F(Condition, FirstOfTwoEqualNamesWins) {
    Define("dup", true);
    Define("DUP", false);
    EXPECT_TRUE(ValueOf("Dup"));
}

TEST_F(Condition, DoubleByteNames) {
    SetLeadByteRanges(kCp932);
    // 表示 (trail byte "\") and an ideographic space, which is no separator.
    Define("\x95\x5C\x8E\xA6", true);
    Define(
        "A\x81\x40"
        "B",
        false);
    EXPECT_FALSE(ValueOf("NOT \x95\x5C\x8E\xA6"));
    EXPECT_TRUE(
        ValueOf("A\x81\x40"
                "B OR \x95\x5C\x8E\xA6"));
    EXPECT_EQ(LookupsOf("A\x81\x40"
                        "B AND \x95\x5C\x8E\xA6"),
              (std::vector<std::string>{"A\x81\x40"
                                        "B",
                                        "\x95\x5C\x8E\xA6"}));
}

}  // namespace
