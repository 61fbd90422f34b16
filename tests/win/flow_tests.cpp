// MSGBOX and SWITCH end to end: the real updater.exe runs a script under the
// box spy, which answers every box. Information boxes mark what ran; COPY
// procedures leave files behind as side effects and give true flags.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "helper_programs.h"
#include "sandbox.h"

namespace {

const char kCaption[] = "フロー 試験";  // checks that the caption reaches every box
const unsigned kWarningStyle = 0x10134;

const int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

using Box = ExpectedBox;

Box Info(const std::string& text) {
    return {text, kInformationBoxFlags};
}
Box Error(int id, std::initializer_list<std::string> arguments = {}) {
    return {ExpectedMessage(id, arguments), kErrorBoxFlags};
}

// --- Script pieces -----------------------------------------------------------

std::string MsgBox(const std::string& name, const std::string& flag, const std::string& type,
                   const std::string& text, const std::string& abort = "") {
    return "[" + name + "]\nMODE=MSGBOX\nFLAG=" + flag + "\nTYPE=" + type + "\nTEXT=" + text +
           "\nISABORT=" + abort + "\n";
}

// An information box whose text is its own name: shows that it ran.
std::string Marker(const std::string& name, const std::string& flag = "") {
    return MsgBox(name, flag, "INFORMATION", name);
}

std::string Switch(const std::string& name, const std::string& proc, const std::string& list0,
                   const std::string& list1) {
    return "[" + name + "]\nMODE=SWITCH\nPROC=" + proc + "\n0=" + list0 + "\n1=" + list1 + "\n";
}

// Copies seed.txt to the named file: a side effect, and a true flag.
std::string Copy(const std::string& name, const std::string& target) {
    return "[" + name + "]\nMODE=COPY\nFROM=<Src>\\seed.txt\nTO=<Src>\\" + target + "\n";
}

// A procedure whose flag is false after its run: a SWITCH with nothing to run.
std::string FalseFlag(const std::string& name) {
    return Switch(name, "", "", "");
}

SpyResult RunScript(const Sandbox& box, const std::string& ini,
                    const std::vector<int>& answers = {}) {
    box.WriteFile("seed.txt", "seed");
    box.WriteScript(ini);
    return box.Run("", answers);
}

void ExpectBoxes(const SpyResult& result, const std::vector<Box>& expected,
                 const std::string& caption = kCaption) {
    ExpectShownBoxes(result, expected, caption);
}

// --- MSGBOX ------------------------------------------------------------------

TEST(MsgBox, KindsStylesTextsAndCaption) {
    Sandbox box("flow_msgbox_kinds");
    const std::string ini = Script(
        "E,I,W,Q,J",
        MsgBox("E", "", "error", "Line1%nLine2%tEnd") + MsgBox("I", "", "Information", "info") +
            MsgBox("W", "", "WARNING", "warn") + MsgBox("Q", "", "question", "%t%n%%n100%") +
            MsgBox("J", "", "INFORMATION", "表示を%n更新しました。"),
        kCaption);
    ExpectBoxes(RunScript(box, ini, {kIdOk, kIdOk, kIdYes, kIdYes, kIdOk}),
                {{"Line1\nLine2\tEnd", kErrorBoxFlags},
                 {"info", kInformationBoxFlags},
                 {"warn", kWarningStyle},
                 {"\t\n%\n100%", kQuestionBoxFlags},
                 {"表示を\n更新しました。", kInformationBoxFlags}});
}

TEST(MsgBox, FlagIsSetOnlyByOkOrYes) {
    Sandbox box("flow_msgbox_flag");
    // Six boxes answered OK, Yes, No, Cancel, 0 (not shown) and -1; then a
    // marker for each whose flag is set.
    std::string sections, proc = "A1,A2,A3,A4,A5,A6";
    for (int i = 1; i <= 6; ++i) {
        const std::string n = std::to_string(i);
        sections += MsgBox("A" + n, "", i == 1 ? "ERROR" : "QUESTION", "ask " + n);
        sections += Marker("SET" + n, "A" + n + ",1");
        proc += ",SET" + n;
    }
    ExpectBoxes(
        RunScript(box, Script(proc, sections, kCaption), {kIdOk, kIdYes, kIdNo, kIdCancel, 0, -1}),
        {{"ask 1", kErrorBoxFlags},
         {"ask 2", kQuestionBoxFlags},
         {"ask 3", kQuestionBoxFlags},
         {"ask 4", kQuestionBoxFlags},
         {"ask 5", kQuestionBoxFlags},
         {"ask 6", kQuestionBoxFlags},
         Info("SET1"),
         Info("SET2")});
}

struct AbortCase {
    const char* type;
    const char* abort;
    int answer;
    bool ends;
};

void PrintTo(const AbortCase& c, std::ostream* out) {
    *out << c.type << ", ISABORT=" << c.abort << ", answer " << c.answer;
}

class MsgBoxAbort : public ::testing::TestWithParam<AbortCase> {};

TEST_P(MsgBoxAbort, AnswerDecidesWhetherTheRunGoesOn) {
    const AbortCase& c = GetParam();
    Sandbox box("flow_msgbox_abort");
    const std::string ini = Script(
        "ASK,DOCOPY,AFTER",
        MsgBox("ASK", "", c.type, "ask", c.abort) + Copy("DOCOPY", "copied.txt") + Marker("AFTER"),
        kCaption);
    const SpyResult result = RunScript(box, ini, {c.answer});
    const std::string type = c.type;
    const unsigned style = type == "QUESTION"      ? kQuestionBoxFlags
                           : type == "WARNING"     ? kWarningStyle
                           : type == "INFORMATION" ? kInformationBoxFlags
                                                   : kErrorBoxFlags;
    if (c.ends) {
        // An abort shows nothing of its own, and nothing after it runs.
        ExpectBoxes(result, {{"ask", style}});
        EXPECT_FALSE(box.Exists("copied.txt"));
    } else {
        ExpectBoxes(result, {{"ask", style}, Info("AFTER")});
        EXPECT_TRUE(box.Exists("copied.txt"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MsgBoxAbort,
    ::testing::Values(
        AbortCase{"QUESTION", "0,1", kIdYes, false}, AbortCase{"QUESTION", "0,1", kIdNo, true},
        AbortCase{"WARNING", "0, 1", kIdCancel, true}, AbortCase{"QUESTION", "0,1", 0, false},
        AbortCase{"QUESTION", "1,1", -1, false}, AbortCase{"QUESTION", "1,0", kIdYes, true},
        AbortCase{"WARNING", "1,0", kIdNo, false}, AbortCase{"INFORMATION", "1", kIdOk, true},
        AbortCase{"ERROR", "0,1", kIdOk, false}, AbortCase{"QUESTION", "", kIdNo, false},
        AbortCase{"QUESTION", "-1,x", kIdYes, true}, AbortCase{"QUESTION", "x,x", kIdNo, false}));

TEST(MsgBox, ConditionDecidesWhetherTheBoxIsShown) {
    Sandbox box("flow_msgbox_condition");
    const std::string ini = Script(
        "T,F,EMPTY,ONE,T1,F1,F0,T0,T2,BLANK,THREE,TEXT,EXPR,NOTYET,BADTYPE,CHKF1,CHKT1,LATER",
        Copy("T", "t.txt") + FalseFlag("F") + Marker("EMPTY") + Marker("ONE", "NOSUCHPROC") +
            Marker("T1", "T,1") + Marker("F1", "F,1") + Marker("F0", "F,0") + Marker("T0", "T,0") +
            Marker("T2", "T,2") + Marker("BLANK", "t, 1") + Marker("THREE", "NOT F,1,0") +
            Marker("TEXT", "T,x") + Marker("EXPR", "T AND NOT F OR F,1") +
            Marker("NOTYET", "LATER,0") + MsgBox("BADTYPE", "F,1", "YESNO", "never") +
            // The flag of a box that was not shown stays false; OK sets it.
            Marker("CHKF1", "F1,0") + Marker("CHKT1", "T1,1") + Copy("LATER", "later.txt"),
        kCaption);
    ExpectBoxes(RunScript(box, ini),
                {Info("EMPTY"), Info("ONE"), Info("T1"), Info("F0"), Info("BLANK"), Info("THREE"),
                 Info("EXPR"), Info("NOTYET"), Info("CHKF1"), Info("CHKT1")});
    EXPECT_TRUE(box.Exists("later.txt"));
}

TEST(MsgBox, UnevaluableFlagEndsTheRunWithTheWholeValue) {
    // No short-circuit: the unknown X fails even though T decides the value.
    for (const std::string flag : {"NOSUCHPROC,1", "T T,1", "T OR X,0", "NOT NOT T,1"}) {
        Sandbox box("flow_msgbox_badflag");
        const std::string ini =
            Script("T,BAD,DOCOPY,AFTER",
                   Copy("T", "t.txt") + MsgBox("BAD", flag, "QUESTION", "never") +
                       Copy("DOCOPY", "copied.txt") + Marker("AFTER"),
                   kCaption);
        ExpectBoxes(RunScript(box, ini), {Error(kMsgBadSymbol, {flag})});
        EXPECT_FALSE(box.Exists("copied.txt")) << flag;
    }
}

TEST(MsgBox, UnknownTypeOfAShownBoxEndsTheRun) {
    Sandbox box("flow_msgbox_badtype");
    const std::string ini =
        Script("BAD,AFTER", MsgBox("BAD", "", "YesNo", "never") + Marker("AFTER"), kCaption);
    ExpectBoxes(RunScript(box, ini), {Error(kMsgBadSymbol, {"YesNo"})});
}

TEST(MsgBox, MissingKeyStopsTheBuildBeforeAnythingRuns) {
    Sandbox box("flow_msgbox_missing");
    const std::string ini = Script(
        "FIRST,BROKEN",
        Marker("FIRST") + "[BROKEN]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=x\n", kCaption);
    ExpectBoxes(RunScript(box, ini), {Error(kMsgBadFormat, {"BROKEN", "ISABORT"})});
}

// --- SWITCH ------------------------------------------------------------------

TEST(Switch, ConditionSelectsTheList) {
    Sandbox box("flow_switch_select");
    // The list not selected names sections that do not exist: it is never built.
    const std::string ini =
        Script("T,F,S1,S2,S3,S4,S5,S6,AFTER",
               Copy("T", "t.txt") + FalseFlag("F") + Switch("S1", "T", "NOSECTION", " M1a , M1b ") +
                   Switch("S2", "F", "M2", "NOSECTION") + Switch("S3", "", "NOSECTION", "M3") +
                   Switch("S4", "T", "NOSECTION", "") + Switch("S5", "S1", "M5", "NOSECTION") +
                   Switch("S6", "not F and T", "NOSECTION", "M6") + Marker("M1a") + Marker("M1b") +
                   Marker("M2") + Marker("M3") + Marker("M5") + Marker("M6") + Marker("AFTER"),
               kCaption);
    ExpectBoxes(RunScript(box, ini), {Info("M1a"), Info("M1b"), Info("M2"), Info("M3"), Info("M5"),
                                      Info("M6"), Info("AFTER")});
}

TEST(Switch, NestedListsSeeOuterProceduresAndHideEqualNames) {
    Sandbox box("flow_switch_scope");
    const std::string ini =
        Script("DUP,OUTER,SW,AFTER",
               Marker("DUP") + Copy("OUTER", "outer.txt") +
                   Switch("SW", "OUTER", "", "SEEOUTER,CHKDUP,DUP,CHKDUP2,SELF,INNER") +
                   Marker("SEEOUTER", "OUTER,1") +
                   // The nested DUP has not run yet and hides the outer one, whose flag is set.
                   Marker("CHKDUP", "DUP,0") + Marker("CHKDUP2", "DUP,1") +
                   // A running SWITCH reads false.
                   Marker("SELF", "SW,0") + Switch("INNER", "DUP AND OUTER", "", "DEEP") +
                   Marker("DEEP", "CHKDUP2 AND SEEOUTER AND OUTER,1") + Marker("AFTER", "NOT SW,1"),
               kCaption);
    ExpectBoxes(RunScript(box, ini), {Info("DUP"), Info("SEEOUTER"), Info("CHKDUP"), Info("DUP"),
                                      Info("CHKDUP2"), Info("SELF"), Info("DEEP"), Info("AFTER")});
}

TEST(Switch, NestedProceduresAreGoneAfterTheSwitch) {
    const std::string sections = Switch("SW", "", "", "MID") + Switch("MID", "", "", "INNER") +
                                 Marker("INNER") + Copy("DOCOPY", "copied.txt");
    {
        Sandbox box("flow_switch_gone_msgbox");
        const std::string ini =
            Script("SW,LATE,DOCOPY", sections + Marker("LATE", "INNER,1"), kCaption);
        ExpectBoxes(RunScript(box, ini), {Info("INNER"), Error(kMsgBadSymbol, {"INNER,1"})});
        EXPECT_FALSE(box.Exists("copied.txt"));
    }
    {
        Sandbox box("flow_switch_gone_switch");
        const std::string ini = Script(
            "SW,SW2,DOCOPY", sections + Switch("SW2", "NOT MID", "DOCOPY", "DOCOPY"), kCaption);
        ExpectBoxes(RunScript(box, ini), {Info("INNER"), Error(kMsgBadSymbol, {"NOT MID"})});
        EXPECT_FALSE(box.Exists("copied.txt"));
    }
}

TEST(Switch, FailingNestedProcedureEndsTheWholeRun) {
    Sandbox box("flow_switch_nested_fail");
    const std::string ini = Script(
        "SW,AFTER,DOCOPY",
        Switch("SW", "", "", "MID,OUTERNEXT") + Switch("MID", "", "", "M1,BAD,M2") + Marker("M1") +
            "[BAD]\nMODE=COPY\nFROM=<Src>\\missing.txt\nTO=<Src>\\x.txt\n" + Marker("M2") +
            Marker("OUTERNEXT") + Marker("AFTER") + Copy("DOCOPY", "copied.txt"),
        kCaption);
    ExpectBoxes(RunScript(box, ini),
                {Info("M1"), Error(kMsgCopyFailed, {box.Path("missing.txt"), box.Path("x.txt")})});
    EXPECT_FALSE(box.Exists("copied.txt"));
}

TEST(Switch, BadNestedListOrConditionEndsTheRun) {
    struct Case {
        std::string sw;
        Box message;
    };
    const Case cases[] = {
        // M1 is built but never runs: the whole nested list is built first.
        {Switch("SW", "", "", "M1,NOSECTION"), Error(kMsgBadFormat, {"NOSECTION", "MODE"})},
        {Switch("SW", "", "", "M1,KIND"), Error(kMsgBadSymbol, {"Switchy"})},
        {Switch("SW", "M1 M1", "", "M1"), Error(kMsgBadSymbol, {"M1 M1"})},
        {Switch("SW", "NOSUCHPROC", "M1", "M1"), Error(kMsgBadSymbol, {"NOSUCHPROC"})},
    };
    for (const Case& c : cases) {
        Sandbox box("flow_switch_bad");
        const std::string ini = Script(
            "SW,AFTER", c.sw + Marker("M1") + "[KIND]\nMODE=Switchy\n" + Marker("AFTER"), kCaption);
        ExpectBoxes(RunScript(box, ini), {c.message});
    }
    Sandbox box("flow_switch_missing");
    const std::string ini =
        Script("FIRST,SW", Marker("FIRST") + "[SW]\nMODE=SWITCH\nPROC=\n0=FIRST\n", kCaption);
    ExpectBoxes(RunScript(box, ini), {Error(kMsgBadFormat, {"SW", "1"})});
}

// --- Depth of nesting --------------------------------------------------------

TEST(SwitchDepth, SelfSelectingSwitchEndsWithOneMessage) {
    {
        Sandbox box("flow_depth_self");
        const std::string ini =
            Script("LOOP,AFTER", Switch("LOOP", "", "", "LOOP") + Marker("AFTER"), kCaption);
        ExpectBoxes(RunScript(box, ini), {Error(kMsgBadProcedureCount)});
    }
    {
        // Through a second SWITCH, selected by the condition in both.
        Sandbox box("flow_depth_pair");
        const std::string ini = Script(
            "A,AFTER", Switch("A", "NOT A", "", "B") + Switch("B", "A", "A", "") + Marker("AFTER"),
            kCaption);
        ExpectBoxes(RunScript(box, ini), {Error(kMsgBadProcedureCount)});
    }
    {
        // A marker in each nested list counts the levels: the top list and
        // 63 nested ones fill the 64 places of the list stack.
        Sandbox box("flow_depth_count");
        const std::string ini = Script(
            "LOOP,AFTER", Switch("LOOP", "", "", "MARK,LOOP") + Marker("MARK") + Marker("AFTER"),
            kCaption);
        std::vector<Box> expected(63, Info("MARK"));
        expected.push_back(Error(kMsgBadProcedureCount));
        ExpectBoxes(RunScript(box, ini), expected);
    }
}

// A chain of distinct SWITCH procedures, each selecting the next; the last
// selects DEEPEST.
std::string Chain(int levels) {
    std::string sections;
    for (int i = 1; i <= levels; ++i) {
        const std::string next = i == levels ? "DEEPEST" : "S" + std::to_string(i + 1);
        sections += Switch("S" + std::to_string(i), "", "", next);
    }
    return sections + Marker("DEEPEST") + Marker("AFTER");
}

TEST(SwitchDepth, SixtyThreeLevelsOfNestingWork) {
    {
        Sandbox box("flow_depth_63");
        ExpectBoxes(RunScript(box, Script("S1,AFTER", Chain(63), kCaption)),
                    {Info("DEEPEST"), Info("AFTER")});
    }
    {
        Sandbox box("flow_depth_64");
        ExpectBoxes(RunScript(box, Script("S1,AFTER", Chain(64), kCaption)),
                    {Error(kMsgBadProcedureCount)});
    }
}

// --- The ask-close example ---------------------------------------------------

class AskCloseExample : public ::testing::Test {
protected:
    AskCloseExample() : box_("flow_example_ask_close") {
        EXPECT_TRUE(CopyTree(WindowsPathOf(EXAMPLES_DIR "/ask-close"), box_.Path()));
    }

    // Puts a program in place of the installed app\tool.exe and starts it.
    helpers::RunningHelper* StartTool(const std::string& lifetime_ms = "") {
        const std::string tool = helpers::Install(box_, "helper_sleeper", "app\\tool.exe");
        tool_.reset(new helpers::RunningHelper(tool, lifetime_ms));
        return tool_.get();
    }

    bool Updated() const {
        return box_.ReadFile("app\\tool.exe") == box_.ReadFile("new\\tool.exe") &&
               box_.ReadFile("app\\notes.txt") == box_.ReadFile("new\\notes.txt");
    }

    static Box Question() {
        return {
            "Tool is running and must be closed before it can be updated.\nPlease close "
            "Tool, then answer Yes.\n\nAnswer No to cancel the update.",
            kQuestionBoxFlags};
    }

    Sandbox box_;
    std::unique_ptr<helpers::RunningHelper> tool_;
};

TEST_F(AskCloseExample, UpdatesAtOnceWhenToolIsNotRunning) {
    ASSERT_TRUE(box_.Exists("updater.ini"));
    ExpectBoxes(box_.Run(), {Info("Tool has been updated.")}, "Tool Update");
    EXPECT_TRUE(Updated());
}

TEST_F(AskCloseExample, YesWaitsForToolToEndThenUpdates) {
    // Tool ends by itself a little later, as if the user had closed it.
    ASSERT_TRUE(StartTool("2000")->Started());
    ExpectBoxes(box_.Run("", {kIdYes}), {Question(), Info("Tool has been updated.")},
                "Tool Update");
    EXPECT_TRUE(box_.Exists("app\\tool.exe.ended"));
    EXPECT_TRUE(Updated());
}

TEST_F(AskCloseExample, YesWhileToolStillRunsChangesNothing) {
    // The script's wait, shortened so that the test need not sit through it.
    std::string script = box_.ReadFile("updater.ini");
    const size_t tick = script.find("TICK=15000");
    ASSERT_NE(tick, std::string::npos);
    script.replace(tick, 10, "TICK=100");
    box_.WriteScript(script);
    helpers::RunningHelper* tool = StartTool();
    ASSERT_TRUE(tool->Started());
    ExpectBoxes(box_.Run("", {kIdYes}),
                {Question(),
                 {"Tool is still running, so it has not been updated.\nClose Tool and start the "
                  "update again.",
                  kErrorBoxFlags}},
                "Tool Update");
    EXPECT_TRUE(tool->StillRunning());
    EXPECT_FALSE(box_.Exists("app\\notes.txt"));
}

TEST_F(AskCloseExample, NoCancelsTheUpdate) {
    helpers::RunningHelper* tool = StartTool();
    ASSERT_TRUE(tool->Started());
    ExpectBoxes(box_.Run("", {kIdNo}),
                {Question(), Info("The update was cancelled. Tool has not been changed.")},
                "Tool Update");
    EXPECT_TRUE(tool->StillRunning());
    EXPECT_FALSE(box_.Exists("app\\notes.txt"));
}

}  // namespace
