#include "check/nearest.h"

#include <algorithm>
#include <cstring>

#include "text/text_buffer.h"

int EditDistance(const char* a, const char* b) {
    const size_t n = strlen(a), m = strlen(b);
    // Three rows of the table: two back for a swap of neighbours.
    List<int> rows[3];
    for (List<int>& row : rows) {
        for (size_t j = 0; j <= m; ++j) row.Add(0);
    }
    List<int>* before = &rows[0];
    List<int>* previous = &rows[1];
    List<int>* current = &rows[2];
    for (size_t j = 0; j <= m; ++j) (*previous)[static_cast<int>(j)] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        (*current)[0] = static_cast<int>(i);
        for (size_t j = 1; j <= m; ++j) {
            const int jj = static_cast<int>(j);
            const int cost = FoldAscii(a[i - 1]) == FoldAscii(b[j - 1]) ? 0 : 1;
            int best =
                std::min({(*previous)[jj] + 1, (*current)[jj - 1] + 1, (*previous)[jj - 1] + cost});
            if (i > 1 && j > 1 && FoldAscii(a[i - 1]) == FoldAscii(b[j - 2]) &&
                FoldAscii(a[i - 2]) == FoldAscii(b[j - 1]))
                best = std::min(best, (*before)[jj - 2] + 1);
            (*current)[jj] = best;
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return (*previous)[static_cast<int>(m)];
}

const char* Nearest(const char* word, const List<const char*>& names) {
    // Names of up to four characters allow one edit, every five more one more.
    const size_t length = strlen(word);
    const int allowed = 1 + static_cast<int>(length) / 5;
    const char* best = nullptr;
    int best_distance = allowed + 1;
    for (const char* name : names) {
        const size_t size = strlen(name);
        if (std::max(size, length) - std::min(size, length) >= static_cast<size_t>(best_distance))
            continue;  // too many letters apart to come nearer
        const int distance = EditDistance(word, name);
        if (distance > 0 && distance < best_distance) {
            best = name;
            best_distance = distance;
        }
    }
    return best;
}
