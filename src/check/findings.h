// What the checker found in one script: errors and warnings, each at a line.
#pragma once

#include "text/list.h"
#include "text/text_buffer.h"

enum class Severity { kWarning, kError };

struct Finding {
    int line = 0;
    Severity severity = Severity::kWarning;
    TextBuffer text;  // English; names from the script in its own code page
};

class Findings {
public:
    void Error(int line, const TextBuffer& text) { found_.Add({line, Severity::kError, text}); }
    void Warning(int line, const TextBuffer& text) { found_.Add({line, Severity::kWarning, text}); }
    // Sorted by line, in the order found within a line, each finding once:
    // a procedure listed in several places is checked in each of them.
    void Sorted(List<Finding>& sorted) const;

private:
    List<Finding> found_;
};
