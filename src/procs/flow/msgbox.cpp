// MSGBOX: a message or a yes/no question, shown when its condition holds;
// the answer sets the result flag and may end the run.
#include <windows.h>

#include "app/messages.h"
#include "app/run_state.h"
#include "procs/flow/condition.h"
#include "procs/kinds.h"

namespace {

struct BoxKind {
    const char* type;
    UINT style;
};

const BoxKind kBoxKinds[] = {
    {"ERROR", MB_ICONERROR},
    {"INFORMATION", MB_ICONINFORMATION},
    {"WARNING", MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2},
    {"QUESTION", MB_ICONQUESTION | MB_YESNO},
};

bool StyleOf(const TextBuffer& type, UINT* style) {
    for (const BoxKind& kind : kBoxKinds) {
        if (EqualsNoCase(kind.type, type.c_str())) {
            *style = kind.style;
            return true;
        }
    }
    return false;
}

struct MsgBoxProcedure : Procedure {
    TextBuffer flag;
    TextBuffer type;
    TextBuffer text;
    TextBuffer abort;

    bool ReadKeys() {
        return ReadTextKeys(
            name, {{"FLAG", &flag}, {"TYPE", &type}, {"TEXT", &text}, {"ISABORT", &abort}});
    }

    bool Run() override {
        // One item or none: the box is always shown.
        if (flag.ItemCount(",") >= 2) {
            bool value = false;
            if (!EvaluateCondition(flag.Item(0, ","), &value)) {
                ShowMessage(kMsgBadSymbol, flag.c_str());
                return false;
            }
            if ((value ? 1 : 0) != flag.Item(1, ",").ToInt())
                return true;
        }
        // The type is checked only for a box that is to be shown.
        UINT style = 0;
        if (!StyleOf(type, &style)) {
            ShowMessage(kMsgBadSymbol, type.c_str());
            return false;
        }
        text.ReplaceAll("%n", "\n");
        text.ReplaceAll("%t", "\t");
        const int answer =
            MessageBoxA(nullptr, text.c_str(), Caption.c_str(), style | MB_SETFOREGROUND);
        int abort_item = 0;
        if (answer == IDOK || answer == IDYES) {
            result = true;
            abort_item = 0;
        } else if (answer == IDCANCEL || answer == IDNO) {
            abort_item = 1;
        } else {
            return true;  // the box could not be shown: go on
        }
        // An abort shows nothing: the run just ends here.
        return abort.Item(abort_item, ",").ToInt() == 0;
    }
};

}  // namespace

Procedure* ConstructMsgBox(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<MsgBoxProcedure>(name, mode, "MSGBOX_INFO");
}
