#include "check/findings.h"

#include <algorithm>
#include <set>
#include <tuple>

std::vector<Finding> Findings::Sorted() const {
    std::set<std::tuple<int, Severity, std::string>> seen;
    std::vector<Finding> sorted;
    for (const Finding& finding : found_) {
        if (seen.insert(std::make_tuple(finding.line, finding.severity, finding.text)).second)
            sorted.push_back(finding);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return sorted;
}
