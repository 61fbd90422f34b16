#include "procs/file/paths.h"

#include <windows.h>

#include <cstring>

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

// The full path the system makes of path: "." and ".." steps taken, "/" as
// "\\", the dots and spaces at the end of a name dropped. "" when it cannot.
TextBuffer FullPath(const TextBuffer& path) {
    char full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? TextBuffer(full) : TextBuffer();
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

bool IdentityOf(const TextBuffer& path, FileIdentity& identity) {
    // No access asked for: only what the handle names. Folders need the flag.
    UniqueHandle file(CreateFileA(path.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &information))
        return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.index_high = information.nFileIndexHigh;
    identity.index_low = information.nFileIndexLow;
    return true;
}

bool IsSameFile(const TextBuffer& a, const TextBuffer& b) {
    FileIdentity first, second;
    return IdentityOf(a, first) && IdentityOf(b, second) && first == second;
}

bool IsSamePlace(const TextBuffer& a, const TextBuffer& b) {
    // Where either exists, both must, as one file or folder.
    const auto by_identity = [](const TextBuffer& x, const TextBuffer& y, bool* same) {
        FileIdentity first, second;
        const bool x_exists = IdentityOf(x, first), y_exists = IdentityOf(y, second);
        *same = x_exists && y_exists && first == second;
        return x_exists || y_exists;
    };
    bool same = false;
    if (by_identity(a, b, &same))
        return same;
    // Neither exists: the same names up to the nearest folder that does, and
    // that folder one.
    const TextBuffer full_a = FullPath(a), full_b = FullPath(b);
    const int levels = full_a.ItemCount("\\");
    if (levels == 0 || levels != full_b.ItemCount("\\"))
        return false;
    for (int k = levels - 1; k >= 1; --k) {
        if (!EqualsNoCase(full_a.Item(k, "\\").c_str(), full_b.Item(k, "\\").c_str()))
            return false;
        // Below the drive, the drive's root.
        const char* root = k == 1 ? "\\" : "";
        if (by_identity(full_a.Items(0, k - 1, "\\") + root, full_b.Items(0, k - 1, "\\") + root,
                        &same))
            return same;
    }
    return EqualsNoCase(full_a.Item(0, "\\").c_str(), full_b.Item(0, "\\").c_str());
}

bool IsSameOrInside(const TextBuffer& path, const FileIdentity& folder) {
    // From path up to the first level below the drive or share; each level
    // that exists is asked. A root is never a folder anything is moved from.
    TextBuffer level = path;
    RemoveTrailingSeparators(level);
    for (int count = level.ItemCount("\\"); count >= 2; --count) {
        const TextBuffer candidate = level.Items(0, count - 1, "\\");
        FileIdentity identity;
        if (candidate.Item(-1, "\\").IsEmpty() || !IdentityOf(candidate, identity))
            continue;
        if (identity == folder)
            return true;
    }
    return false;
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
