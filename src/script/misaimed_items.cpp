#include "script/misaimed_items.h"

#include "text/code_page.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Made only of steps such as "." and "..": this folder or one above it. The
// system also drops the dots and spaces at the end of a name, so "..." and
// ". ." name this folder too. A trail byte is never a dot or a space.
bool IsDotSteps(const char* path) {
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p != '.' && *p != ' ' && !IsSeparator(*p))
            return false;
    }
    return *path != '\0';
}

}  // namespace

Misaim MisaimOf(const TextBuffer& value, ptrdiff_t first, ptrdiff_t last,
                const EmptyExpansions& empties) {
    const char* text = value.c_str();
    ptrdiff_t start = first;
    while (start <= last && text[start] == ' ') ++start;
    ptrdiff_t end = last;
    while (end >= start && text[end] == ' ') --end;
    if (start > end)
        return Misaim::kNone;
    const TextBuffer item = value.Slice(start, end);
    const char* path = item.c_str();
    if (IsSeparator(path[0]))
        return IsSeparator(path[1]) ? Misaim::kNone : Misaim::kDriveRoot;
    const char letter = static_cast<char>(path[0] | 0x20);
    const ptrdiff_t drive = (letter >= 'a' && letter <= 'z' && path[1] == ':') ? 2 : 0;
    if (IsSeparator(path[drive]))
        return Misaim::kNone;
    if ((drive > 0 && path[drive] == '\0') || IsDotSteps(path + drive))
        return Misaim::kCurrentFolder;
    // Relative to the current folder (of a drive). Something empty at the
    // start counts, and so does something empty just behind a drive.
    const bool emptied = empties.AnyIn(static_cast<size_t>(first), static_cast<size_t>(start)) ||
                         (drive > 0 && empties.AnyIn(static_cast<size_t>(start + drive),
                                                     static_cast<size_t>(start + drive)));
    return emptied ? Misaim::kEmptyExpansion : Misaim::kNone;
}

void FindMisaimedItems(const KindSpec& kind, const TextBuffer* values,
                       const EmptyExpansions* empties, List<MisaimedItem>& found) {
    const KeySpec* main = MainKey(kind);
    const int used = main != nullptr ? values[KeyIndex(kind, main->name)].ItemCount(",") : 1;
    for (int k = 0; k < KeyCount(kind); ++k) {
        const KeySpec& key = KeyAt(kind, k);
        const TextBuffer& value = values[k];
        const bool list = key.form == KeyForm::kList;
        if (!key.writes || (list && value.IsEmpty()))
            continue;
        // One pass over the value, however many items it has.
        ptrdiff_t first = 0;
        for (int i = 0; i < used; ++i) {
            const ptrdiff_t comma = list ? FindText(value.c_str(), first, ",") : -1;
            const ptrdiff_t last = (comma < 0 ? static_cast<ptrdiff_t>(value.Length()) : comma) - 1;
            const Misaim misaim = MisaimOf(value, first, last, empties[k]);
            if (misaim != Misaim::kNone)
                found.Add({k, i, first, last, misaim});
            if (comma < 0)
                break;
            first = comma + 1;
        }
    }
}
