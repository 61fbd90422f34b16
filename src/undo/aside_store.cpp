#include "undo/aside_store.h"

#include "base/path_text.h"
#include "base/system.h"
#include "undo/store.h"
#include "undo/undo_files.h"

namespace {

// Set-aside files held open at most; beyond, each is closed once renamed
// and deleted by name at the end. Every open file costs the system a little.
const int kMostHeld = 4096;

Record SetAside(char how, const TextBuffer& full, const TextBuffer& slot, const FileState& state) {
    Record record = MakeRecord(RecordType::kSetAside, how, full, slot);
    record.state = state;
    return record;
}

}  // namespace

Status AsideStore::FolderFor(const TextBuffer& full, TextBuffer* folder) {
    if (other_volume_.IsEmpty() || !IsAtOrBelow(full.c_str(), other_volume_.c_str())) {
        *folder = folder_;
        return Status::Done();
    }
    for (int i = 0; i < volume_roots_.Count(); ++i) {
        if (EqualsNoCase(volume_roots_[i].c_str(), other_volume_.c_str())) {
            *folder = other_folders_[i];
            return Status::Done();
        }
    }
    // A folder of the run's own at that volume's root, announced before
    // anything goes in, so that it is found and removed after a crash.
    for (uint32_t attempt = 0; attempt < 16; ++attempt) {
        const TextBuffer made = other_volume_ + "\\updater-undo-" + HexName(run_number_ + attempt);
        const Status status = MakeProtectedFolder(made, maker_);
        if (status) {
            SetFileAttributesA(made.c_str(), FILE_ATTRIBUTE_HIDDEN);
            const Status noted = writer_.Announce(MakeRecord(RecordType::kAsideFolder, '-', made));
            if (!noted || !volume_roots_.Add(other_volume_) || !other_folders_.Add(made)) {
                RemoveTree(made);
                return noted ? Status::Failed(ERROR_NOT_ENOUGH_MEMORY) : noted;
            }
            *folder = made;
            return Status::Done();
        }
        if (status.Error() != ERROR_ALREADY_EXISTS)
            return status;
    }
    return Status::Failed(ERROR_ALREADY_EXISTS);
}

Status AsideStore::PutAside(const TextBuffer& full, const TextBuffer& name, Aside how, HANDLE file,
                            bool record, const FileState& state, TextBuffer* slot) {
    Status moved = Status::Failed(ERROR_NOT_SAME_DEVICE);
    for (int attempt = 0; attempt < 2 && moved.Error() == ERROR_NOT_SAME_DEVICE; ++attempt) {
        if (attempt > 0) {
            other_volume_ = VolumeRootOf(full);
            RemoveTrailingSeparators(other_volume_);
        }
        TextBuffer folder;
        const Status found = FolderFor(full, &folder);
        if (!found)
            return found;
        *slot = folder + "\\" + name;
        if (record) {
            const Status noted = writer_.Announce(SetAside('r', full, *slot, state));
            if (!noted)
                return noted;
        }
        moved = how == Aside::kLink         ? LinkOnVolume(full, *slot)
                : how == Aside::kRenameOpen ? RenameOpenFile(file, *slot)
                                            : RenameOnVolume(full, *slot);
    }
    return moved;
}

Status AsideStore::CopyAside(const TextBuffer& full, const TextBuffer& name, bool record,
                             const FileState& state, TextBuffer* slot) {
    *slot = folder_ + "\\" + name + "c";
    if (record) {
        const Status noted = writer_.Announce(SetAside('c', full, *slot, state));
        if (!noted)
            return noted;
    }
    // An undo never takes a copy cut short for the file, and a copy tried
    // again begins afresh.
    const TextBuffer part = *slot + ".part";
    const Status copied = CopyToDisk(full, part);
    if (!copied)
        RemoveTree(part);
    return copied ? RenameOnVolume(part, *slot) : copied;
}

int AsideStore::Hold(HANDLE file) {
    if (held_.Count() < kMostHeld && held_.Add(file))
        return held_.Count() - 1;
    CloseHandle(file);
    return -1;
}

void AsideStore::Release(int i) {
    if (held_[i] != nullptr)
        CloseHandle(held_[i]);
    held_[i] = nullptr;
}

void AsideStore::CloseHeld(bool deleting) {
    for (HANDLE& file : held_) {
        if (file == nullptr)
            continue;
        if (deleting)
            DeleteWhenClosed(file);
        CloseHandle(file);
        file = nullptr;
    }
    held_.Clear();
}
