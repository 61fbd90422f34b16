#include "check/findings.h"

#include <algorithm>
#include <cstring>

void Findings::Sorted(List<Finding>& sorted) const {
    // By line and text first, to see each finding once; then by line in the
    // order found.
    List<int> order;
    for (int i = 0; i < found_.Count(); ++i) order.Add(i);
    const auto same_place = [this](int a, int b) {
        const Finding& x = found_[a];
        const Finding& y = found_[b];
        if (x.line != y.line)
            return x.line < y.line;
        if (x.severity != y.severity)
            return x.severity < y.severity;
        const int text = strcmp(x.text.c_str(), y.text.c_str());
        return text != 0 ? text < 0 : a < b;
    };
    std::sort(order.begin(), order.end(), same_place);
    List<int> kept;
    for (int k = 0; k < order.Count(); ++k) {
        const Finding& finding = found_[order[k]];
        const Finding* before = k > 0 ? &found_[order[k - 1]] : nullptr;
        if (before == nullptr || before->line != finding.line ||
            before->severity != finding.severity ||
            strcmp(before->text.c_str(), finding.text.c_str()) != 0)
            kept.Add(order[k]);
    }
    std::sort(kept.begin(), kept.end(), [this](int a, int b) {
        return found_[a].line != found_[b].line ? found_[a].line < found_[b].line : a < b;
    });
    for (int i : kept) sorted.Add(found_[i]);
}
