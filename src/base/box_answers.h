// Answers given to the boxes before they come (UPDATER_ANSWERS), and runs
// in which no box may wait for a person (UPDATER_UNATTENDED). No Win32 in
// here, so it is tested natively.
#pragma once

#include "text/text_buffer.h"

class BoxAnswers {
public:
    // answers: OK, Yes or No in any letter case, one for each box in the
    // order the boxes come, separated by ","; "" for none.
    BoxAnswers(const TextBuffer& answers, bool unattended);

    // Decides the answer of a box of that style (MessageBoxA's) without
    // showing it, and says how it came about in *how; false when the box is
    // to be shown. Every box takes up one answer of the list while it lasts;
    // an answer the box has no button for gives its default button, and so
    // does every box after the list in an unattended run.
    bool Take(unsigned style, int* answer, TextBuffer* how);

private:
    TextBuffer answers_;
    int count_;
    int next_ = 0;
    bool unattended_;
};
