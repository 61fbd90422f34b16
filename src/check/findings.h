// What the checker found in one script: errors and warnings, each at a line.
#pragma once

#include <string>
#include <vector>

enum class Severity { kWarning, kError };

struct Finding {
    int line;
    Severity severity;
    std::string text;  // English; names from the script in its own code page
};

class Findings {
public:
    void Error(int line, const std::string& text) {
        found_.push_back({line, Severity::kError, text});
    }
    void Warning(int line, const std::string& text) {
        found_.push_back({line, Severity::kWarning, text});
    }
    // Sorted by line, in the order found within a line, each finding once:
    // a procedure listed in several places is checked in each of them.
    std::vector<Finding> Sorted() const;

private:
    std::vector<Finding> found_;
};
