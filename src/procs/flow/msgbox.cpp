// MSGBOX: a message or a yes/no question, shown when its condition holds;
// the answer sets the result flag and may end the run.
#include "procs/flow/condition.h"
#include "procs/kinds.h"

namespace {

// By BoxType: the words themselves are in the kind table, which the checker reads too.
const unsigned kBoxStyles[] = {
    kBoxIconError,
    kBoxIconInformation,
    kBoxIconWarning | kBoxYesNo | kBoxDefaultButton2,
    kBoxIconQuestion | kBoxYesNo,
};

bool StyleOf(const KindSpec& kind, const TextBuffer& type, unsigned* style) {
    const int index = WordIndex(*FindKey(kind, "TYPE"), type.c_str());
    if (index < 0)
        return false;
    *style = kBoxStyles[index];
    return true;
}

struct MsgBoxProcedure : Procedure {
    bool Run(RunContext& run) override {
        const TextBuffer& flag = Value("FLAG");
        // One item or none: the box is always shown.
        if (flag.ItemCount(",") >= 2) {
            bool value = false;
            if (!EvaluateCondition(*run.lists, flag.Item(0, ","), &value)) {
                run.reporter.Fail(kMsgBadSymbol, {flag});
                return false;
            }
            if ((value ? 1 : 0) != flag.Item(1, ",").ToInt())
                return true;
        }
        // The type is checked only for a box that is to be shown.
        unsigned style = 0;
        if (!StyleOf(*kind, Value("TYPE"), &style)) {
            run.reporter.Fail(kMsgBadSymbol, {Value("TYPE")});
            return false;
        }
        TextBuffer text = Value("TEXT");
        text.ReplaceAll("%n", "\n");
        text.ReplaceAll("%t", "\t");
        const int answer = run.reporter.Show(BoxPurpose::kScript, text, style | kBoxSetForeground);
        run.events.Answered(text, answer);
        int abort_item = 0;
        if (answer == kAnswerOk || answer == kAnswerYes) {
            result = true;
        } else if (answer == kAnswerCancel || answer == kAnswerNo) {
            abort_item = 1;
        } else {
            return true;  // the box could not be shown: go on
        }
        // An abort shows nothing: the run just ends here.
        return Value("ISABORT").Item(abort_item, ",").ToInt() == 0;
    }
};

}  // namespace

Procedure* NewMsgBox() {
    return new (std::nothrow) MsgBoxProcedure;
}
