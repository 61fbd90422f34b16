#include "procs/file/paths.h"

#include <windows.h>

#include "base/system.h"
#include "base/win_handles.h"
#include "text/code_page.h"

namespace {

// Position of the last backslash that is a separator, or -1.
ptrdiff_t LastSeparator(const char* path) {
    ptrdiff_t last = -1;
    for (ptrdiff_t p = FindText(path, 0, "\\"); p >= 0; p = FindText(path, p + 1, "\\")) last = p;
    return last;
}

}  // namespace

bool FileExists(const char* path) {
    WIN32_FIND_DATAA entry;
    FindHandle search(path, &entry);
    return search.IsValid();
}

bool IsFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Status MakeFolderPath(RunEvents& events, const TextBuffer& path) {
    if (FileExists(path.c_str()))
        return Status::Done();
    const int count = path.ItemCount("\\");
    for (int k = 1; k < count; ++k) {
        const TextBuffer prefix = path.Items(0, k, "\\");
        if (FileExists(prefix.c_str()))
            continue;
        const Status made = ActOnFile(events, FileAction::kFolderMade, prefix, "", [&] {
            return CallStatus(CreateDirectoryA(prefix.c_str(), nullptr));
        });
        if (!made)
            return made;
    }
    return Status::Done();
}

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

bool IsPattern(const TextBuffer& path) {
    return path.Item(-1, "\\").CountOf("*") > 0;
}

bool HasWildcard(const TextBuffer& path) {
    return path.CountOf("*") > 0 || path.CountOf("?") > 0;
}
