#include "base/path_text.h"

#include <cstring>

#include "text/code_page.h"

namespace {

// Position of the last backslash that is a separator, or -1.
ptrdiff_t LastSeparator(const char* path) {
    ptrdiff_t last = -1;
    for (ptrdiff_t p = FindText(path, 0, "\\"); p >= 0; p = FindText(path, p + 1, "\\")) last = p;
    return last;
}

}  // namespace

bool FolderOfPath(const char* path, TextBuffer& folder) {
    const ptrdiff_t last = LastSeparator(path);
    if (last <= 0)
        return false;
    folder = TextBuffer(path).Slice(0, last - 1);
    return true;
}

TextBuffer ParentOf(const TextBuffer& path) {
    return path.Items(0, -2, "\\");
}

TextBuffer FolderAbove(const TextBuffer& path) {
    if (path.Item(-1, "\\").IsEmpty())
        return TextBuffer();
    TextBuffer folder = ParentOf(path);
    const char* text = folder.c_str();
    if (text[0] != '\0' && text[1] == ':' && text[2] == '\0')
        folder.Append("\\");
    return folder;
}

TextBuffer JoinPath(const TextBuffer& folder, const char* name) {
    return folder.Item(-1, "\\").IsEmpty() ? folder + name : folder + "\\" + name;
}

bool IsSpelledDifferently(const TextBuffer& a, const TextBuffer& b) {
    return strcmp(a.Item(-1, "\\").c_str(), b.Item(-1, "\\").c_str()) != 0;
}

bool IsPattern(const TextBuffer& path) {
    return path.Item(-1, "\\").CountOf("*") > 0;
}

bool HasWildcard(const TextBuffer& path) {
    return path.CountOf("*") > 0 || path.CountOf("?") > 0;
}

bool IsDotsName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsAtOrBelow(const char* path, const char* folder) {
    if (*folder == '\0')
        return false;
    // Character by character, as FoldedName folds; last: whether the
    // folder's last character is a separator (a root's is).
    bool last_separator = false;
    for (; *folder != '\0'; ++path, ++folder) {
        const unsigned char c = static_cast<unsigned char>(*folder);
        if (IsLeadByte(c) && folder[1] != '\0') {
            if (path[0] != folder[0] || path[1] != folder[1])
                return false;
            ++path;
            ++folder;
            last_separator = false;
            continue;
        }
        if (FoldAscii(*path) != FoldAscii(*folder))
            return false;
        last_separator = *folder == '\\';
    }
    return *path == '\0' || *path == '\\' || last_separator;
}

int PathDepth(const char* path) {
    int depth = 0;
    const ptrdiff_t start = (path[0] == '\\' && path[1] == '\\') ? 2 : 0;
    for (ptrdiff_t p = FindText(path, start, "\\"); p >= 0; p = FindText(path, p + 1, "\\")) {
        ++depth;
    }
    return depth;
}
