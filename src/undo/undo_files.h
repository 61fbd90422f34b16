// The file operations of the undo journal: setting files aside on their own
// volume, copying them where that is impossible, and putting them back with
// their attributes and times. Nothing here is told to the run's listeners.
#pragma once

#include <windows.h>

#include <memory>

#include "base/path_text.h"
#include "base/status.h"
#include "base/win_handles.h"
#include "undo/journal_format.h"

// Calls visit(full path, entry) for each entry that pattern matches ("." and
// ".." left out); false when nothing can be listed or visit returned false.
template <typename Visit>
bool ForEachMatch(const TextBuffer& pattern, Visit visit) {
    const TextBuffer folder = FolderAbove(pattern);
    WIN32_FIND_DATAA entry;
    FindHandle search(pattern.c_str(), &entry);
    if (!search.IsValid())
        return false;
    do {
        if (!IsDotsName(entry.cFileName) && !visit(JoinPath(folder, entry.cFileName), entry))
            return false;
    } while (FindNextFileA(search.Get(), &entry));
    return true;
}
// Each entry of folder.
template <typename Visit>
bool ForEachEntry(const TextBuffer& folder, Visit visit) {
    return ForEachMatch(JoinPath(folder, "*"), visit);
}

// A folder's entries with the fingerprints of its files, asked of the folder
// as a whole in a few calls rather than of each file.
class FolderListing {
public:
    explicit FolderListing(const TextBuffer& folder);
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    // The next entry ("." and ".." left out); false at the end, or when the
    // folder cannot be listed.
    bool Next(TextBuffer* name, bool* folder, Fingerprint* print);

private:
    UniqueHandle folder_;
    uint32_t volume_ = 0;
    BOOLEAN first_ = TRUE;
    std::unique_ptr<unsigned char[]> buffer_;
    const unsigned char* at_ = nullptr;  // the next entry in buffer_; null: read more
};

bool Exists(const TextBuffer& path);
// Attributes and times; false when nothing is there.
bool ReadState(const char* path, FileState* state);
bool IsFolderState(const FileState& state);
// The fingerprint of the file at path; false for a folder, and when nothing
// can be opened there.
bool ReadPrint(const char* path, Fingerprint* print);
// Sets the attributes, creation and last-write times that differ from state.
Status PutState(const char* path, const FileState& state);

// A rename that never copies: it fails between volumes. Missing folders of
// to are made first.
Status RenameOnVolume(const TextBuffer& from, const TextBuffer& to);
// A file opened to be set aside, asking what the change itself needs: write
// access, or for the deletion of a read-only file delete access, while
// sharing everything with others. Invalid where the change would fail.
HANDLE OpenToSetAside(const char* path, bool delete_only);
// Renames an open file within its volume; missing folders of to are made first.
Status RenameOpenFile(HANDLE file, const TextBuffer& to);
// The file goes when its last handle is closed.
Status DeleteWhenClosed(HANDLE file);
// A second name for the file existing (NTFS); fails between volumes and
// where the system has none.
Status LinkOnVolume(const TextBuffer& existing, const TextBuffer& link);
// Copies a file, or a folder with everything in it, and writes each copy
// through to the disk before returning. The copies are left without
// attributes; missing folders of to are made first.
Status CopyToDisk(const TextBuffer& from, const TextBuffer& to);
// Copies from over an existing file to, whose own permissions stay, and
// writes it through to the disk.
Status CopyInto(const TextBuffer& from, const TextBuffer& to);
// Removes a file, or a folder with everything below it (links to folders
// are removed, never entered); attributes do not stop it. Done when nothing
// is left at path.
Status RemoveTree(const TextBuffer& path);
// Puts what a move took from original, and left at moved, back: a file, or
// a folder entry by entry. An entry found at both places is a copy that a
// move between volumes left behind: the one at original stays.
Status MoveBack(const TextBuffer& moved, const TextBuffer& original);

// Whether a file with these attributes could be deleted now, its read-only
// attribute cleared first: held by no one without sharing, and not a
// running program unless it is read-only.
bool CanDelete(const char* path, uint32_t attributes);
// CanDelete for every file below folder.
bool CanDeleteTree(const TextBuffer& folder);
bool IsEmptyFolder(const char* path);

// The root of a full path's volume: "C:\", a volume mounted in a folder, or
// "\\server\share\".
TextBuffer VolumeRootOf(const TextBuffer& path);
