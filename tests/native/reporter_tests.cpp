// The reporter: catalogue entries formatted from typed arguments into the
// bounded work area, boxes in order with the caption, listeners, and
// failures held back until released.
#include <gtest/gtest.h>

#include "code_page_cases.h"

#include <string>
#include <vector>

#include "base/reporter.h"
#include "text/code_page.h"

namespace {

using FormatText932 = CodePage932;

TEST_F(FormatText932, FillsTextsAndNumbersInOrder) {
    EXPECT_EQ(Str(FormatText("%s-%s", {"a", "5"})), "a-5");
    EXPECT_EQ(Str(FormatText("0x%08X", {0x1234ABu})), "0x001234AB");
    EXPECT_EQ(Str(FormatText("%s: %s", {"C:\\" HYO, "x"})), "C:\\" HYO ": x");
    EXPECT_EQ(Str(FormatText("%s", {""})), "");
    // Missing arguments are empty or 0, surplus ones ignored, %% is a percent sign.
    EXPECT_EQ(Str(FormatText("[%s][%08X]", {})), "[][00000000]");
    EXPECT_EQ(Str(FormatText("only", {"a", "b"})), "only");
    EXPECT_EQ(Str(FormatText("100%% %s", {"x"})), "100% x");
    // A value is data, never a format.
    EXPECT_EQ(Str(FormatText("%s", {"%s%08X%n"})), "%s%08X%n");
}

TEST_F(FormatText932, LongOutputIsCutAt1023Bytes) {
    const std::string exact(1023, 'a');
    EXPECT_EQ(Str(FormatText("%s", {exact.c_str()})), exact);
    // Far longer than the work area: cut, and nothing written beyond it.
    const std::string value(5000, 'v');
    EXPECT_EQ(Str(FormatText("<%s>", {value.c_str()})), "<" + std::string(1022, 'v'));
    EXPECT_EQ(Str(FormatText("%s%s", {value.c_str(), "tail"})), std::string(1023, 'v'));
}

TEST_F(FormatText932, CutNeverLeavesHalfACharacter) {
    // 表 at bytes 1022 and 1023: the cut would keep only its lead byte.
    EXPECT_EQ(Str(FormatText("%s" HYO HYO, {std::string(1022, 'a').c_str()})),
              std::string(1022, 'a'));
    // 表 at bytes 1021 and 1022 fits whole.
    EXPECT_EQ(Str(FormatText("%s" HYO "b", {std::string(1021, 'a').c_str()})),
              std::string(1021, 'a') + HYO);
    // Characters are counted from the start: the pair 0x95 0x95 ends at
    // byte 1022, so its second byte is a trail byte and stays.
    EXPECT_EQ(Str(FormatText("%s\x95\x95xyz", {std::string(1021, 'a').c_str()})),
              std::string(1021, 'a') + "\x95\x95");
    // Only double-byte characters: 511 of them fit, the 512th is cut in two.
    std::string kanji;
    for (int i = 0; i < 600; ++i) kanji += HYO;
    EXPECT_EQ(Str(FormatText("%s", {kanji.c_str()})), kanji.substr(0, 1022));
    EXPECT_EQ(Str(FormatText("a%s", {kanji.c_str()})), "a" + kanji.substr(0, 1022));
}

TEST(FormatText, SingleByteCodePageCutsAtExactly1023) {
    SetLeadByteRanges(kSingleByte);
    EXPECT_EQ(Str(FormatText("%s" HYO HYO, {std::string(1022, 'a').c_str()})),
              std::string(1022, 'a') + "\x95");
}

// Boxes as the user would see them, and what a listener heard, in order.
struct Recorder : BoxOutput, ReportListener {
    TextBuffer CatalogueEntry(int id) override {
        return id == kMsgCopyFailed         ? "copy %s to %s"
               : id == kMsgAttributesFailed ? "%s 0x%08X"
                                            : "";
    }
    int Show(const char* text, const char* caption, unsigned style) override {
        shown.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
        return answer;
    }
    void BoxComing(const ReportedBox& box) override {
        heard.push_back("coming " + Str(box.text) + " " + std::to_string(box.system_error));
    }
    void BoxAnswered(const ReportedBox& box) override {
        heard.push_back("answered " + std::to_string(box.answer));
    }
    std::vector<std::string> shown, heard;
    int answer = kAnswerOk;
};

TEST(Reporter, ShowsCatalogueMessagesAndQuestionsWithTheCaption) {
    Recorder boxes;
    Reporter reporter(boxes);
    reporter.AddListener(&boxes);
    reporter.SetCaption("Cap");
    reporter.Fail(kMsgCopyFailed, {"a", "b"}, 32);
    reporter.Fail(kMsgAttributesFailed, {"f", 0x21u});
    boxes.answer = kAnswerNo;
    EXPECT_EQ(reporter.Show(BoxPurpose::kScript, "sure?", kBoxIconQuestion | kBoxYesNo), kAnswerNo);
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"Cap|copy a to b|65552",
                                                     "Cap|f 0x00000021|65552", "Cap|sure?|36"}));
    EXPECT_EQ(boxes.heard, (std::vector<std::string>{"coming copy a to b 32", "answered 1",
                                                     "coming f 0x00000021 0", "answered 1",
                                                     "coming sure? 0", "answered 7"}));
}

// However many are held, they come out in the order they came.
TEST(Reporter, HeldFailuresWaitUntilReleased) {
    Recorder boxes;
    Reporter reporter(boxes);
    reporter.HoldFailures();
    std::vector<std::string> held;
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
        reporter.Fail(kMsgCopyFailed, {name, "t"});
        held.push_back(std::string("|copy ") + name + " to t|65552");
    }
    reporter.Show(BoxPurpose::kReport, "report", kInformationBoxStyle);  // only failures wait
    ASSERT_EQ(boxes.shown, (std::vector<std::string>{"|report|65600"}));
    EXPECT_EQ(reporter.FailureCount(), 6);
    reporter.ReleaseFailures();
    held.insert(held.begin(), "|report|65600");
    EXPECT_EQ(boxes.shown, held);
    reporter.Fail(kMsgCopyFailed, {"g", "h"});  // no longer held
    EXPECT_EQ(boxes.shown.back(), "|copy g to h|65552");
}

// Each box takes up one answer; one without a button for it, and every box
// after the list when unattended, takes its default button; otherwise the
// box is shown. What the log is told says how.
TEST(BoxAnswers, EveryBoxTakesOneAnswerInOrder) {
    const unsigned kOk = kErrorBoxStyle, kQuestion = kBoxIconQuestion | kBoxYesNo,
                   kWarning = kBoxIconWarning | kBoxYesNo | kBoxDefaultButton2;
    struct Case {
        unsigned style;
        int answer;  // 0: the box is shown
        const char* how;
    };
    struct Run {
        const char* answers;
        bool unattended;
        std::vector<Case> boxes;
    };
    const Run runs[] = {
        {" yes ,NO,ok,Ok",
         false,
         {{kQuestion, kAnswerYes, "from UPDATER_ANSWERS answer 1"},
          {kWarning, kAnswerNo, "from UPDATER_ANSWERS answer 2"},
          {kOk, kAnswerOk, "from UPDATER_ANSWERS answer 3"},
          {kWarning, kAnswerNo,
           "the default button: UPDATER_ANSWERS answer 4 is OK, which this box has no button "
           "for"},
          {kQuestion, 0, ""}}},
        {"Yes,Maybe,",
         true,
         {{kOk, kAnswerOk,
           "the default button: UPDATER_ANSWERS answer 1 is Yes, which this box has no button "
           "for"},
          {kQuestion, kAnswerYes,
           "the default button: UPDATER_ANSWERS answer 2, \"Maybe\", is not OK, Yes or No"},
          {kWarning, kAnswerNo,
           "the default button: UPDATER_ANSWERS answer 3, \"\", is not OK, Yes or No"},
          {kQuestion, kAnswerYes,
           "the default button: unattended, UPDATER_ANSWERS has no answer left"}}},
        {"",
         true,
         {{kWarning, kAnswerNo, "the default button: unattended"},
          {kOk, kAnswerOk, "the default button: unattended"}}},
        {"", false, {{kQuestion, 0, ""}}},
    };
    for (const Run& run : runs) {
        BoxAnswers answers(run.answers, run.unattended);
        for (const Case& box : run.boxes) {
            int answer = 0;
            TextBuffer how;
            EXPECT_EQ(answers.Take(box.style, &answer, &how), box.answer != 0) << run.answers;
            EXPECT_EQ(answer, box.answer) << run.answers << " " << box.how;
            EXPECT_EQ(Str(how), box.how);
        }
    }
}

TEST(Reporter, AnAnsweredBoxIsNotShownAndTheListenerHearsHow) {
    Recorder boxes;
    Reporter reporter(boxes);
    struct Heard : ReportListener {
        void BoxComing(const ReportedBox&) override {}
        void BoxAnswered(const ReportedBox& box) override {
            heard.push_back(std::to_string(box.answer) + " " + box.answered_how);
        }
        std::vector<std::string> heard;
    } listener;
    reporter.AddListener(&listener);
    BoxAnswers answers("No", false);
    reporter.SetAnswers(&answers);
    EXPECT_EQ(reporter.Show(BoxPurpose::kScript, "a?", kBoxIconQuestion | kBoxYesNo), kAnswerNo);
    reporter.Fail(kMsgCopyFailed, {"a", "b"});
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"|copy a to b|65552"}));
    EXPECT_EQ(listener.heard, (std::vector<std::string>{"7 from UPDATER_ANSWERS answer 1", "1 "}));
}

}  // namespace
