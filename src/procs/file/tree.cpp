#include "procs/file/tree.h"

#include <windows.h>

#include <cstring>

#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"

namespace {

// Where the entries of a tree go: the destination folder followed by each
// visited path's components from base_depth on.
struct Destination {
    int base_depth;
    TextBuffer folder;

    TextBuffer Of(const TextBuffer& path) const {
        return folder + "\\" + path.Items(base_depth, -1, "\\");
    }
};

Status EnterDestinationFolder(RunEvents& events, const TextBuffer& folder) {
    if (FileExists(folder.c_str()))
        return Status::Done();
    return ActOnFile(events, FileAction::kFolderMade, folder, "",
                     [&] { return CallStatus(CreateDirectoryA(folder.c_str(), nullptr)); });
}

Status CopyOneFile(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    return ActOnFile(events, FileAction::kCopied, source, target.c_str(),
                     [&] { return CallStatus(CopyFileA(source.c_str(), target.c_str(), FALSE)); });
}

Status ReplaceByMove(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    return ActOnFile(events, FileAction::kMoved, source, target.c_str(), [&] {
        if (FileExists(target.c_str()))
            DeleteFileA(target.c_str());  // a refusal shows in the move
        return CallStatus(MoveFileA(source.c_str(), target.c_str()));
    });
}

Status RemoveFolder(RunEvents& events, const TextBuffer& folder) {
    return ActOnFile(events, FileAction::kFolderRemoved, folder, "",
                     [&] { return CallStatus(RemoveDirectoryA(folder.c_str())); });
}

// COPY and MOVE of a folder or pattern: files go to their place below the
// destination, folders are made there; a move removes each emptied folder.
class TransferVisitor : public TreeVisitor {
public:
    TransferVisitor(RunEvents& events, const Destination& destination, bool moving)
        : events_(events), destination_(destination), moving_(moving) {}
    Status VisitFile(const TextBuffer& path) override {
        const TextBuffer target = destination_.Of(path);
        return moving_ ? ReplaceByMove(events_, path, target) : CopyOneFile(events_, path, target);
    }
    Status EnterFolder(const TextBuffer& path) override {
        return EnterDestinationFolder(events_, destination_.Of(path));
    }
    Status LeaveFolder(const TextBuffer& path) override {
        return moving_ ? RemoveFolder(events_, path) : Status::Done();
    }

private:
    RunEvents& events_;
    const Destination& destination_;
    bool moving_;
};

class DeleteVisitor : public TreeVisitor {
public:
    explicit DeleteVisitor(RunEvents& events) : events_(events) {}
    Status VisitFile(const TextBuffer& path) override {
        return ActOnFile(events_, FileAction::kDeleted, path, "", [&] {
            // Read-only, hidden and system files are deleted too.
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            return CallStatus(DeleteFileA(path.c_str()));
        });
    }
    Status EnterFolder(const TextBuffer&) override { return Status::Done(); }
    Status LeaveFolder(const TextBuffer& path) override { return RemoveFolder(events_, path); }

private:
    RunEvents& events_;
};

class AttributeVisitor : public TreeVisitor {
public:
    AttributeVisitor(RunEvents& events, uint32_t attributes)
        : events_(events), attributes_(attributes) {}
    Status VisitFile(const TextBuffer& path) override {
        return ActOnFile(events_, FileAction::kAttributesSet, path, "",
                         [&] { return CallStatus(SetFileAttributesA(path.c_str(), attributes_)); });
    }
    // Folders are never changed.
    Status EnterFolder(const TextBuffer&) override { return Status::Done(); }
    Status LeaveFolder(const TextBuffer&) override { return Status::Done(); }

private:
    RunEvents& events_;
    uint32_t attributes_;
};

// What COPY and MOVE do with a folder or pattern source.
Status TransferTree(RunEvents& events, const TextBuffer& source, const TextBuffer& target,
                    bool source_is_folder, bool moving) {
    Destination destination;
    if (source_is_folder) {
        destination = {source.ItemCount("\\"), target};
    } else {
        destination = {source.ItemCount("\\") - 1, ParentOf(target)};
    }
    // An empty destination would put every entry at the root of the current drive.
    if (destination.folder.IsEmpty())
        return Status::Failed();
    const Status made = MakeFolderPath(events, destination.folder);
    if (!made)
        return made;
    TransferVisitor visitor(events, destination, moving);
    return WalkFiles(source, visitor, true);
}

}  // namespace

Status WalkFiles(const TextBuffer& path, TreeVisitor& visitor, bool recursive) {
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
        base = ParentOf(path);
        pattern = path;
    }
    WIN32_FIND_DATAA entry;
    FindHandle search(pattern.c_str(), &entry);
    if (!search.IsValid())
        return LastErrorStatus();
    do {
        const TextBuffer full = base + "\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Exactly these names, byte for byte, not by the locale's rules (lstrcmpA).
            if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) {
                continue;
            }
            Status status = visitor.EnterFolder(full);
            if (!status)
                return status;
            // A junction or other link is visited but never entered (here or at
            // the top): deleting or moving through it would reach data outside
            // the tree, and a link to an ancestor would never end. A failure
            // inside ends only that folder.
            if (recursive && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                WalkFiles(full, visitor, recursive);
            }
            status = visitor.LeaveFolder(full);
            if (!status)
                return status;
        } else {
            const Status status = visitor.VisitFile(full);
            if (!status)
                return status;
        }
    } while (FindNextFileA(search.Get(), &entry));
    return Status::Done();
}

Status CopyItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    const bool source_is_folder = IsFolder(source.c_str());
    if (!source_is_folder && !IsPattern(source)) {
        const Status made = MakeFolderPath(events, ParentOf(target));
        return made ? CopyOneFile(events, source, target) : made;
    }
    return TransferTree(events, source, target, source_is_folder, false);
}

Status MoveItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    const bool source_is_folder = IsFolder(source.c_str());
    if (!source_is_folder && !IsPattern(source)) {
        const Status made = MakeFolderPath(events, ParentOf(target));
        return made ? ReplaceByMove(events, source, target) : made;
    }
    const Status moved = TransferTree(events, source, target, source_is_folder, true);
    // The emptied source folder goes; a pattern's folder stays.
    if (!moved || !source_is_folder)
        return moved;
    return RemoveFolder(events, source);
}

Status DeleteItem(RunEvents& events, const TextBuffer& path) {
    if (!FileExists(path.c_str()))
        return Status::Done();
    DeleteVisitor visitor(events);
    const Status deleted = WalkFiles(path, visitor, true);
    if (!deleted || !IsFolder(path.c_str()))
        return deleted;
    return RemoveFolder(events, path);
}

Status SetItemAttributes(RunEvents& events, const TextBuffer& path, uint32_t attributes) {
    AttributeVisitor visitor(events, attributes);
    return WalkFiles(path, visitor, false);
}
