#include "base/box_answers.h"

#include "base/reporter.h"
#include "text/text_builder.h"

namespace {

const char* const kWords[] = {"OK", "Yes", "No"};
const int kWordAnswers[] = {kAnswerOk, kAnswerYes, kAnswerNo};

// The buttons of a box, in their order; unknown sets have OK alone.
struct Buttons {
    int answers[3];
    int count;
};
Buttons ButtonsOf(unsigned style) {
    switch (style & 0xF) {
        case 1:  // MB_OKCANCEL
            return {{kAnswerOk, kAnswerCancel, 0}, 2};
        case 3:  // MB_YESNOCANCEL
            return {{kAnswerYes, kAnswerNo, kAnswerCancel}, 3};
        case 4:  // MB_YESNO
            return {{kAnswerYes, kAnswerNo, 0}, 2};
    }
    return {{kAnswerOk, 0, 0}, 1};
}

int DefaultButton(unsigned style) {
    const Buttons buttons = ButtonsOf(style);
    const unsigned index = (style >> 8) & 0xF;  // MB_DEFBUTTON2 is 1, MB_DEFBUTTON3 2
    return buttons.answers[index < static_cast<unsigned>(buttons.count) ? index : 0];
}

bool HasButton(unsigned style, int answer) {
    const Buttons buttons = ButtonsOf(style);
    for (int i = 0; i < buttons.count; ++i) {
        if (buttons.answers[i] == answer)
            return true;
    }
    return false;
}

}  // namespace

BoxAnswers::BoxAnswers(const TextBuffer& answers, bool unattended)
    : answers_(answers), count_(answers.ItemCount(",")), unattended_(unattended) {}

bool BoxAnswers::Take(unsigned style, int* answer, TextBuffer* how) {
    if (next_ >= count_) {
        if (!unattended_)
            return false;
        *answer = DefaultButton(style);
        *how = count_ > 0 ? "the default button: unattended, UPDATER_ANSWERS has no answer left"
                          : "the default button: unattended";
        return true;
    }
    TextBuffer word = answers_.Item(next_++, ",");
    word.Trim(" ", " ");
    const TextBuffer position =
        "UPDATER_ANSWERS answer " + DecimalText(static_cast<uint32_t>(next_));
    for (int i = 0; i < 3; ++i) {
        if (!EqualsNoCase(word.c_str(), kWords[i]))
            continue;
        if (HasButton(style, kWordAnswers[i])) {
            *answer = kWordAnswers[i];
            *how = "from " + position;
            return true;
        }
        *answer = DefaultButton(style);
        *how = "the default button: " + position + " is " + kWords[i] +
               ", which this box has no button for";
        return true;
    }
    *answer = DefaultButton(style);
    *how = "the default button: " + position + ", \"" + word + "\", is not OK, Yes or No";
    return true;
}
