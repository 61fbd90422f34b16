// Items at a delimiter, words at unquoted spaces, nested groups, and the
// replace and trim operations of TextBuffer. Every search for a pattern is
// double-byte aware; Trim alone compares bytes.
#include <climits>
#include <cstring>
#include <utility>

#include "text/code_page.h"
#include "text/text_buffer.h"

namespace {

bool StartsWithNoCase(const char* text, const char* pattern, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (FoldAscii(text[i]) != FoldAscii(pattern[i]))
            return false;
    }
    return true;
}

// Position of the k-th occurrence (k from 1) of pattern, found left to right
// without overlap; -1 when there are fewer.
ptrdiff_t NthOccurrence(const char* text, const char* pattern, int k) {
    const ptrdiff_t step = static_cast<ptrdiff_t>(strlen(pattern));
    ptrdiff_t found = -1;
    for (ptrdiff_t from = 0; k > 0; --k) {
        found = FindText(text, from, pattern);
        if (found < 0)
            return -1;
        from = found + step;
    }
    return found;
}

// Adds count once to negative indexes; false when that is needed but the
// text has no pieces, or an index stays negative.
bool AdjustIndexes(int* first, int* last, int count_if_needed) {
    if (*first < 0 || *last < 0) {
        if (count_if_needed == 0)
            return false;
        if (*first < 0)
            *first += count_if_needed;
        if (*last < 0)
            *last += count_if_needed;
    }
    return *first >= 0;
}

// Positions of the spaces that separate words: those with an even number of
// double quotes in front of them. Calls visit(position) for each until it
// returns false.
template <typename Visit>
void ForEachSeparatingSpace(const char* text, Visit visit) {
    int quotes = 0;
    ptrdiff_t counted_to = 0;
    for (ptrdiff_t p = FindText(text, 0, " "); p >= 0; p = FindText(text, p + 1, " ")) {
        for (; counted_to < p; ++counted_to) {
            if (text[counted_to] == '"')
                ++quotes;
        }
        if (quotes % 2 == 0 && !visit(p))
            return;
    }
}

// Steps through the open and close strings of a text in order. The nearer of
// the two wins; an open string wins only when a close string follows it.
// Where each string is next found is kept until the scan passes it, so a
// scan costs time in proportion to the text, whatever it holds.
struct GroupScanner {
    const char* text;
    const char* open;
    const char* close;
    ptrdiff_t position = 0;
    ptrdiff_t next_open = kUnknown;
    ptrdiff_t next_close = kUnknown;

    static constexpr ptrdiff_t kUnknown = -2;

    // Returns false when the scan ends; otherwise sets at and is_open.
    bool Next(ptrdiff_t* at, bool* is_open) {
        // Found from an earlier position, a match still counts characters
        // from the same boundaries: every position is the end of a match.
        if (next_close == kUnknown || (next_close >= 0 && next_close < position))
            next_close = FindText(text, position, close);
        if (next_close < 0)
            return false;
        if (next_open == kUnknown || (next_open >= 0 && next_open < position))
            next_open = FindText(text, position, open);
        *is_open = (next_open >= 0 && next_open < next_close);
        *at = *is_open ? next_open : next_close;
        position = *at + static_cast<ptrdiff_t>(strlen(*is_open ? open : close));
        return true;
    }
    // Starts again at position in a changed text.
    void Restart(const char* changed, ptrdiff_t at) {
        text = changed;
        position = at;
        next_open = next_close = kUnknown;
    }
};

// The next group of the scan, begun at top level: an open string at depth 0
// up to the close string that brings the depth back to 0, or to the end of a
// text that never closes it.
bool NextGroup(GroupScanner& scan, int& depth, ptrdiff_t* start, ptrdiff_t* end) {
    bool in_group = false;
    ptrdiff_t at = 0;
    bool is_open = false;
    while (scan.Next(&at, &is_open)) {
        if (is_open) {
            if (depth == 0 && !in_group) {
                in_group = true;
                *start = at;
            }
            ++depth;
        } else {
            --depth;
            if (in_group && depth == 0) {
                *end = at + static_cast<ptrdiff_t>(strlen(scan.close)) - 1;
                return true;
            }
        }
    }
    if (!in_group)
        return false;
    *end = static_cast<ptrdiff_t>(strlen(scan.text)) - 1;
    return true;
}

}  // namespace

int TextBuffer::CountOf(const char* pattern) const {
    const ptrdiff_t step = static_cast<ptrdiff_t>(strlen(pattern));
    int count = 0;
    for (ptrdiff_t p = FindText(c_str(), 0, pattern); p >= 0;
         p = FindText(c_str(), p + step, pattern)) {
        ++count;
    }
    return count;
}

int TextBuffer::ItemCount(const char* delimiter) const {
    return IsEmpty() ? 0 : CountOf(delimiter) + 1;
}

bool TextBuffer::FindItems(int first, int last, const char* delimiter, ptrdiff_t* start,
                           ptrdiff_t* end) const {
    if (!AdjustIndexes(&first, &last, (first < 0 || last < 0) ? ItemCount(delimiter) : 0)) {
        return false;
    }
    const char* text = c_str();
    if (first == 0) {
        *start = 0;
    } else {
        if (first > last)
            return false;
        const ptrdiff_t d = NthOccurrence(text, delimiter, first);
        if (d < 0)
            return false;
        *start = d + static_cast<ptrdiff_t>(strlen(delimiter));
    }
    // No text holds INT_MAX delimiters; the test keeps last + 1 from overflowing.
    const ptrdiff_t next =
        (last >= 0 && last < INT_MAX) ? NthOccurrence(text, delimiter, last + 1) : -1;
    *end = (next >= 0) ? next - 1 : static_cast<ptrdiff_t>(Length()) - 1;
    return true;
}

TextBuffer TextBuffer::Items(int first, int last, const char* delimiter) const {
    ptrdiff_t start = 0, end = 0;
    if (!FindItems(first, last, delimiter, &start, &end))
        return TextBuffer();
    return Slice(start, end);
}

void TextBuffer::ReplaceItems(int first, int last, const char* delimiter, const char* text) {
    ptrdiff_t start = 0, end = 0;
    if (FindItems(first, last, delimiter, &start, &end))
        ReplaceRange(start, end, text);
}

int TextBuffer::WordCount() const {
    if (IsEmpty())
        return 0;
    int count = 1;
    ForEachSeparatingSpace(c_str(), [&count](ptrdiff_t) {
        ++count;
        return true;
    });
    return count;
}

bool TextBuffer::FindWords(int first, int last, ptrdiff_t* start, ptrdiff_t* end) const {
    if (!AdjustIndexes(&first, &last, (first < 0 || last < 0) ? WordCount() : 0))
        return false;
    if (IsEmpty() || first > last)
        return false;
    const char* text = c_str();
    // The separating space number k (from 1) ends word k - 1.
    ptrdiff_t start_space = -1, end_space = -1;
    int k = 0;
    ForEachSeparatingSpace(text, [&](ptrdiff_t p) {
        ++k;
        if (k == first)
            start_space = p;
        if (k - 1 == last) {  // not last + 1: last may be INT_MAX
            end_space = p;
            return false;
        }
        return true;
    });
    if (first > 0 && start_space < 0)
        return false;
    *start = (first == 0) ? 0 : start_space + 1;
    *end = (end_space >= 0) ? end_space - 1 : static_cast<ptrdiff_t>(Length()) - 1;
    if (first == last && *end >= *start && text[*start] == '"' && text[*end] == '"') {
        ++*start;
        --*end;
    }
    return true;
}

TextBuffer TextBuffer::Words(int first, int last) const {
    ptrdiff_t start = 0, end = 0;
    if (!FindWords(first, last, &start, &end))
        return TextBuffer();
    return Slice(start, end);
}

int TextBuffer::GroupCount(const char* open, const char* close) const {
    GroupScanner scan{c_str(), open, close};
    int depth = 0, count = 0;
    ptrdiff_t at = 0;
    bool is_open = false;
    while (scan.Next(&at, &is_open)) {
        if (is_open) {
            ++depth;
        } else {
            if (depth == 1)
                ++count;
            --depth;
        }
    }
    return count;
}

bool TextBuffer::FindGroups(int first, int last, const char* open, const char* close,
                            ptrdiff_t* start, ptrdiff_t* end) const {
    if (!AdjustIndexes(&first, &last, (first < 0 || last < 0) ? GroupCount(open, close) : 0)) {
        return false;
    }
    if (first > last)
        return false;
    GroupScanner scan{c_str(), open, close};
    int depth = 0;
    ptrdiff_t group_start = 0;
    for (int index = 0; index <= last; ++index) {
        if (!NextGroup(scan, depth, &group_start, end))
            return false;
        if (index == first)
            *start = group_start;
    }
    return true;
}

TextBuffer TextBuffer::Groups(int first, int last, const char* open, const char* close) const {
    ptrdiff_t start = 0, end = 0;
    if (!FindGroups(first, last, open, close, &start, &end))
        return TextBuffer();
    return Slice(start, end);
}

void TextBuffer::ReplaceGroups(int first, int last, const char* open, const char* close,
                               const char* text) {
    ptrdiff_t start = 0, end = 0;
    if (FindGroups(first, last, open, close, &start, &end))
        ReplaceRange(start, end, text);
}

bool FindEachGroup(const TextBuffer& text, const char* open, const char* close,
                   List<TextRange>& groups) {
    const int count = text.GroupCount(open, close);
    GroupScanner scan{text.c_str(), open, close};
    int depth = 0;
    TextRange group;
    for (int g = 0; g < count && NextGroup(scan, depth, &group.first, &group.last); ++g) {
        if (!groups.Add(group))
            return false;
    }
    return true;
}

GroupRounds ReplaceGroupsInRounds(TextBuffer& text, const char* open, const char* close,
                                  size_t limit, GroupResolver& resolver) {
    const int rounds = text.GroupCount(open, close);
    GroupScanner scan{text.c_str(), open, close};
    int depth = 0;
    bool replaced = false;
    for (int round = 0; round < rounds; ++round) {
        ptrdiff_t start = 0, end = 0;
        if (!NextGroup(scan, depth, &start, &end))
            break;  // the rounds left find no group: nothing more changes
        TextBuffer replacement;
        if (!resolver.Resolve(text.Slice(start, end), replacement))
            continue;  // the group stays; the next one is looked at
        const size_t length =
            text.Length() - static_cast<size_t>(end - start + 1) + replacement.Length();
        if (length > limit)
            return GroupRounds::kTooLong;
        text.ReplaceRange(start, end, replacement.c_str());
        resolver.Replaced(start, end, replacement.Length());
        replaced = true;
        // The text before the group is as it was: the scan goes on from the
        // group's start, at top level, where the replacement now stands.
        depth = 0;
        scan.Restart(text.c_str(), start);
    }
    return replaced ? GroupRounds::kReplaced : GroupRounds::kUnchanged;
}

void TextBuffer::ReplaceRange(ptrdiff_t first, ptrdiff_t last, const char* text) {
    const ptrdiff_t end = static_cast<ptrdiff_t>(Length()) - 1;
    TextBuffer result = (first > 0) ? Slice(0, first - 1) : TextBuffer();
    result.Append(text);
    if (last < end)
        result.Append(Slice(last + 1, end));
    *this = std::move(result);
}

bool TextBuffer::ReplaceAll(const char* pattern, const char* text) {
    const ptrdiff_t length = static_cast<ptrdiff_t>(strlen(pattern));
    bool replaced = false;
    for (ptrdiff_t p = FindText(c_str(), 0, pattern); p >= 0; p = FindText(c_str(), 0, pattern)) {
        ReplaceRange(p, p + length - 1, text);
        replaced = true;
    }
    return replaced;
}

void TextBuffer::Trim(const char* head, const char* tail) {
    const char* text = c_str();
    const size_t head_length = strlen(head), tail_length = strlen(tail);
    size_t start = 0, stop = Length();
    if (head_length != 0) {
        while (stop - start >= head_length && StartsWithNoCase(text + start, head, head_length)) {
            start += head_length;
        }
    }
    if (tail_length != 0) {
        while (stop - start >= tail_length &&
               StartsWithNoCase(text + stop - tail_length, tail, tail_length)) {
            stop -= tail_length;
        }
    }
    if (start == 0 && stop == Length())
        return;
    *this = Slice(static_cast<ptrdiff_t>(start), static_cast<ptrdiff_t>(stop) - 1);
}

TextBuffer ListItem(const TextBuffer& list, int i) {
    TextBuffer item = list.Item(i, ",");
    item.Trim(" ", " ");
    return item;
}

void RemoveTrailingSeparators(TextBuffer& path) {
    const char* text = path.c_str();
    ptrdiff_t run_start = -1;  // where the trailing run of separators begins
    for (ptrdiff_t p = 0; text[p] != '\0';) {
        if (text[p] == '\\') {
            if (run_start < 0)
                run_start = p;
            ++p;
        } else {
            run_start = -1;
            p += (IsLeadByte(static_cast<unsigned char>(text[p])) && text[p + 1] != '\0') ? 2 : 1;
        }
    }
    if (run_start >= 0)
        path = path.Slice(0, run_start - 1);
}
