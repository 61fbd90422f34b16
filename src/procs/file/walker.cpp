#include "procs/file/walker.h"

#include <windows.h>

#include <cstring>

#include "app/win_handles.h"
#include "text/code_page.h"

namespace {

struct TransferContext {
    int base_depth;          // leading components cut from each visited path
    TextBuffer destination;  // folder that receives each relative part
};

// Position of the last backslash that is a separator, or -1.
ptrdiff_t LastSeparator(const char* path) {
    ptrdiff_t last = -1;
    for (ptrdiff_t p = FindText(path, 0, "\\"); p >= 0; p = FindText(path, p + 1, "\\")) last = p;
    return last;
}

TextBuffer DestinationOf(const TextBuffer& path, const TransferContext& transfer) {
    return transfer.destination + "\\" + path.Items(transfer.base_depth, -1, "\\");
}

bool EnterDestinationFolder(const TextBuffer& destination) {
    return FileExists(destination.c_str()) || CreateDirectoryA(destination.c_str(), nullptr);
}

bool CopyVisitor(const TextBuffer& path, int kind, void* context) {
    const TextBuffer destination = DestinationOf(path, *static_cast<TransferContext*>(context));
    switch (kind) {
        case VisitFile:
            return CopyFileA(path.c_str(), destination.c_str(), FALSE) != FALSE;
        case EnterFolder:
            return EnterDestinationFolder(destination);
        case LeaveFolder:
            return true;
    }
    return false;
}

bool ReplaceByMove(const char* source, const char* target) {
    if (FileExists(target))
        DeleteFileA(target);  // a refusal shows in the move
    return MoveFileA(source, target) != FALSE;
}

bool MoveVisitor(const TextBuffer& path, int kind, void* context) {
    const TextBuffer destination = DestinationOf(path, *static_cast<TransferContext*>(context));
    switch (kind) {
        case VisitFile:
            return ReplaceByMove(path.c_str(), destination.c_str());
        case EnterFolder:
            return EnterDestinationFolder(destination);
        case LeaveFolder:
            return RemoveDirectoryA(path.c_str()) != FALSE;
    }
    return false;
}

bool DeleteVisitor(const TextBuffer& path, int kind, void*) {
    switch (kind) {
        case VisitFile:
            // Read-only, hidden and system files are deleted too.
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            return DeleteFileA(path.c_str()) != FALSE;
        case EnterFolder:
            return true;
        case LeaveFolder:
            return RemoveDirectoryA(path.c_str()) != FALSE;
    }
    return false;
}

bool AttributeVisitor(const TextBuffer& path, int kind, void* context) {
    switch (kind) {
        case VisitFile:
            return SetFileAttributesA(path.c_str(), *static_cast<uint32_t*>(context)) != FALSE;
        case EnterFolder:
        case LeaveFolder:
            return true;  // folders are never changed
    }
    return false;
}

bool IsPattern(const TextBuffer& path) {
    return path.Item(-1, "\\").CountOf("*") > 0;
}

// Shared by CopyItem and MoveItem for a folder or pattern source.
bool TransferTree(const TextBuffer& source, const TextBuffer& target, bool source_is_folder,
                  WalkVisitor visitor) {
    TransferContext transfer;
    if (source_is_folder) {
        transfer.base_depth = source.ItemCount("\\");
        transfer.destination = target;
    } else {
        transfer.base_depth = source.ItemCount("\\") - 1;
        transfer.destination = target.Items(0, -2, "\\");
    }
    // An empty destination would put every entry at the root of the current drive.
    if (transfer.destination.IsEmpty())
        return false;
    if (!MakeFolderPath(transfer.destination))
        return false;
    return WalkFiles(source, visitor, true, &transfer);
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

bool MakeFolderPath(const TextBuffer& path) {
    if (FileExists(path.c_str()))
        return true;
    const int count = path.ItemCount("\\");
    for (int k = 1; k < count; ++k) {
        const TextBuffer prefix = path.Items(0, k, "\\");
        if (!FileExists(prefix.c_str()) && !CreateDirectoryA(prefix.c_str(), nullptr))
            return false;
    }
    return true;
}

bool FolderOfPath(const char* path, TextBuffer& folder) {
    const ptrdiff_t last = LastSeparator(path);
    if (last <= 0)
        return false;
    folder = TextBuffer(path).Slice(0, last - 1);
    return true;
}

bool WalkFiles(const TextBuffer& path, WalkVisitor visitor, bool recursive, void* context) {
    TextBuffer base, pattern;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool enterable = attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (recursive && enterable) {
        base = path;
        RemoveTrailingSeparators(base);
        pattern = base + "\\*.*";
    } else {
        base = path.Items(0, -2, "\\");
        pattern = path;
    }
    WIN32_FIND_DATAA entry;
    FindHandle search(pattern.c_str(), &entry);
    if (!search.IsValid())
        return false;
    do {
        const TextBuffer full = base + "\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Exactly these names, byte for byte, not by the locale's rules (lstrcmpA).
            if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) {
                continue;
            }
            if (!visitor(full, EnterFolder, context))
                return false;
            // A junction or other link is visited but never entered (here or at
            // the top): deleting or moving through it would reach data outside
            // the tree, and a link to an ancestor would never end. A failure
            // inside ends only that folder.
            if (recursive && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                WalkFiles(full, visitor, recursive, context);
            }
            if (!visitor(full, LeaveFolder, context))
                return false;
        } else if (!visitor(full, VisitFile, context)) {
            return false;
        }
    } while (FindNextFileA(search.Get(), &entry));
    return true;
}

bool CopyItem(const TextBuffer& source, const TextBuffer& target) {
    const bool source_is_folder = IsFolder(source.c_str());
    if (!source_is_folder && !IsPattern(source)) {
        if (!MakeFolderPath(target.Items(0, -2, "\\")))
            return false;
        return CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
    }
    return TransferTree(source, target, source_is_folder, CopyVisitor);
}

bool MoveItem(const TextBuffer& source, const TextBuffer& target) {
    const bool source_is_folder = IsFolder(source.c_str());
    if (!source_is_folder && !IsPattern(source)) {
        if (!MakeFolderPath(target.Items(0, -2, "\\")))
            return false;
        return ReplaceByMove(source.c_str(), target.c_str());
    }
    if (!TransferTree(source, target, source_is_folder, MoveVisitor))
        return false;
    // The emptied source folder goes; a pattern's folder stays.
    return !source_is_folder || RemoveDirectoryA(source.c_str()) != FALSE;
}

bool DeleteItem(const TextBuffer& path) {
    if (!FileExists(path.c_str()))
        return true;
    if (!WalkFiles(path, DeleteVisitor, true, nullptr))
        return false;
    return !IsFolder(path.c_str()) || RemoveDirectoryA(path.c_str()) != FALSE;
}

bool SetItemAttributes(const TextBuffer& path, uint32_t attributes) {
    return WalkFiles(path, AttributeVisitor, false, &attributes);
}
