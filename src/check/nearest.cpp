#include "check/nearest.h"

#include <algorithm>

namespace {

char Folded(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

}  // namespace

int EditDistance(const std::string& a, const std::string& b) {
    const size_t n = a.size(), m = b.size();
    // Three rows of the table: two back for a swap of neighbours.
    std::vector<int> before(m + 1), previous(m + 1), current(m + 1);
    for (size_t j = 0; j <= m; ++j) previous[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        current[0] = static_cast<int>(i);
        for (size_t j = 1; j <= m; ++j) {
            const int cost = Folded(a[i - 1]) == Folded(b[j - 1]) ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
                Folded(a[i - 2]) == Folded(b[j - 1]))
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        before.swap(previous);
        previous.swap(current);
    }
    return previous[m];
}

std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
    // Names of up to four characters allow one edit, every five more one more.
    const int allowed = 1 + static_cast<int>(word.size()) / 5;
    std::string best;
    int best_distance = allowed + 1;
    for (const std::string& name : names) {
        const size_t longer = std::max(name.size(), word.size());
        if (longer - std::min(name.size(), word.size()) >= static_cast<size_t>(best_distance))
            continue;  // too many letters apart to come nearer
        const int distance = EditDistance(word, name);
        if (distance > 0 && distance < best_distance) {
            best = name;
            best_distance = distance;
        }
    }
    return best;
}
