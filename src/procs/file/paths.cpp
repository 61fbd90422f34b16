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

}  // namespace

void HeldFileEvents::Begins(uint32_t error) {
    events_.FileHeld(action_, path_, target_, error, 0, HeldWait::kBegins);
}

void HeldFileEvents::Ended(const Status& last, uint32_t waited_ms) {
    const bool held = !last && IsHeldFileError(last.Error());
    events_.FileHeld(action_, path_, target_, last.Error(), waited_ms,
                     held ? HeldWait::kStillHeld : HeldWait::kLetGo);
}

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
