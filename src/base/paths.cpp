#include "base/paths.h"

#include <windows.h>

#include "base/win_handles.h"

bool FileExists(const char* path) {
    WIN32_FIND_DATAA entry;
    FindHandle search(path, &entry);
    return search.IsValid();
}

bool IsFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TextBuffer FullPathOf(const char* path) {
    char full[MAX_PATH + 1] = {};
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, &name);
    if (length == 0 || length >= MAX_PATH)
        return TextBuffer();
    TextBuffer result(full);
    // "C:\" stays as it is; "C:\App\" loses its last backslash.
    if (result.ItemCount("\\") > 2 || (full[0] == '\\' && full[1] == '\\'))
        RemoveTrailingSeparators(result);
    return result;
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
    const TextBuffer full_a = FullPathOf(a.c_str()), full_b = FullPathOf(b.c_str());
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
