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

// What a target was before a copy or move wrote to it.
class TargetBefore {
public:
    explicit TargetBefore(const TextBuffer& target) : target_(target) {
        exists_ = GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &before_) != FALSE;
    }
    // A failed copy or move can leave a cut-off file that looks complete: it
    // goes when this call made it or wrote to it. An old target it never
    // touched (a locked source, a read-only target) stays as it was.
    Status Failed(Status failure) const {
        WIN32_FILE_ATTRIBUTE_DATA after;
        if (GetFileAttributesExA(target_.c_str(), GetFileExInfoStandard, &after) &&
            (!exists_ || Changed(after))) {
            SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(target_.c_str());
        }
        return failure;
    }

private:
    bool Changed(const WIN32_FILE_ATTRIBUTE_DATA& after) const {
        return after.nFileSizeLow != before_.nFileSizeLow ||
               after.nFileSizeHigh != before_.nFileSizeHigh ||
               CompareFileTime(&after.ftLastWriteTime, &before_.ftLastWriteTime) != 0;
    }

    const TextBuffer& target_;
    WIN32_FILE_ATTRIBUTE_DATA before_ = {};
    bool exists_ = false;
};

Status CopyOneFile(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    // Read while the old target is still there: an undo journal may set it
    // aside first, and a name that is not there costs the system a search.
    const TargetBefore before(target);
    return ActOnFile(events, FileAction::kCopied, source, target.c_str(), [&] {
        const Status copied = CallStatus(CopyFileA(source.c_str(), target.c_str(), FALSE));
        return copied ? copied : before.Failed(copied);
    });
}

Status ReplaceByMove(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    return ActOnFile(events, FileAction::kMoved, source, target.c_str(), [&] {
        // A refusal shows in the move, but a hold only here: the move would
        // then fail for the name that is still taken.
        if (FileExists(target.c_str()) && !DeleteFileA(target.c_str()) &&
            IsHeldFileError(GetLastError())) {
            return LastErrorStatus();
        }
        // Between volumes a move is a copy: it can fail part-way.
        const TargetBefore before(target);
        const Status moved = CallStatus(MoveFileA(source.c_str(), target.c_str()));
        return moved ? moved : before.Failed(moved);
    });
}

// A move onto itself, however spelled, has nothing to move: deleting the
// target would delete the source. Only a new spelling of its name is taken.
Status MoveOntoItself(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    if (!IsSpelledDifferently(source, target))
        return Status::Done();
    return ActOnFile(events, FileAction::kMoved, source, target.c_str(),
                     [&] { return CallStatus(MoveFileA(source.c_str(), target.c_str())); });
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
    // A folder, or a pattern's matches, onto themselves: a copy is refused,
    // a move has nothing to do.
    const TextBuffer source_folder = source_is_folder ? source : ParentOf(source);
    if (IsSameFile(source_folder, destination.folder))
        return moving ? Status::Done() : Status::Failed(ERROR_SHARING_VIOLATION);
    if (IsInsideSource(source, source_is_folder, destination.folder, false))
        return Status::Failed();
    const Status made = MakeFolderPath(events, destination.folder);
    if (!made)
        return made;
    TransferVisitor visitor(events, destination, moving);
    return WalkFiles(source, visitor, true);
}

class SizeVisitor : public TreeVisitor {
public:
    explicit SizeVisitor(bool as_listed) : as_listed_(as_listed) {}
    Status VisitFile(const TextBuffer& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            ++size.files;
            size.bytes += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
        return Status::Done();
    }
    Status VisitListedFile(const TextBuffer& path, uint64_t bytes) override {
        if (!as_listed_)
            return VisitFile(path);
        ++size.files;
        size.bytes += bytes;
        return Status::Done();
    }
    Status EnterFolder(const TextBuffer&) override { return Status::Done(); }
    Status LeaveFolder(const TextBuffer&) override { return Status::Done(); }
    TreeSize size;

private:
    bool as_listed_;
};

}  // namespace

bool IsInsideSource(const TextBuffer& source, bool source_is_folder, const TextBuffer& place,
                    bool links_entered) {
    FileIdentity folder;
    if (source_is_folder)
        return IdentityOf(source, folder) && IsSameOrInside(place, folder);
    WIN32_FIND_DATAA entry;
    FindHandle search(source.c_str(), &entry);
    if (!search.IsValid())
        return false;
    const TextBuffer base = ParentOf(source);
    do {
        const bool enterable =
            (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (links_entered || !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) &&
            strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0;
        if (enterable && IdentityOf(base + "\\" + entry.cFileName, folder) &&
            IsSameOrInside(place, folder)) {
            return true;
        }
    } while (FindNextFileA(search.Get(), &entry));
    return false;
}

TreeSize SizeOfTree(const TextBuffer& path, bool as_listed) {
    SizeVisitor visitor(as_listed);
    WalkFiles(path, visitor, true);
    return visitor.size;
}

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
            // the tree, and a link to an ancestor would never end.
            if (recursive && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                status = WalkFiles(full, visitor, recursive);
                if (!status)
                    return status;
            }
            status = visitor.LeaveFolder(full);
            if (!status)
                return status;
        } else {
            const Status status = visitor.VisitListedFile(
                full, (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
            if (!status)
                return status;
        }
    } while (FindNextFileA(search.Get(), &entry));
    // A listing that breaks off has not shown every entry.
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES)
        return Status::Failed(error);
    return Status::Done();
}

Status CopyItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    const bool source_is_folder = IsFolder(source.c_str());
    if (!source_is_folder && !IsPattern(source)) {
        // The system would open the file twice, once to write it empty.
        if (IsSameFile(source, target))
            return Status::Failed(ERROR_SHARING_VIOLATION);
        const Status made = MakeFolderPath(events, ParentOf(target));
        return made ? CopyOneFile(events, source, target) : made;
    }
    return TransferTree(events, source, target, source_is_folder, false);
}

Status MoveItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target) {
    const bool source_is_folder = IsFolder(source.c_str());
    if (!source_is_folder && !IsPattern(source)) {
        if (IsSameFile(source, target))
            return MoveOntoItself(events, source, target);
        const Status made = MakeFolderPath(events, ParentOf(target));
        return made ? ReplaceByMove(events, source, target) : made;
    }
    if (source_is_folder && IsSameFile(source, target))
        return MoveOntoItself(events, source, target);
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
