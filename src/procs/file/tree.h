// The file-system walker and the item operations the file procedures are
// built on: copying, moving and deleting files, folder trees and patterns,
// and setting attributes. Nothing here shows a message: callers report.
// Every file or folder acted on is told to the run's event sink.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "procs/run_events.h"
#include "text/text_buffer.h"

// What a walk does with each entry it meets; a failure stops the walk.
class TreeVisitor {
public:
    virtual ~TreeVisitor() = default;
    virtual Status VisitFile(const TextBuffer& path) = 0;
    // What the walk calls for a file, with its size as its folder's listing
    // gives it.
    virtual Status VisitListedFile(const TextBuffer& path, uint64_t /*bytes*/) {
        return VisitFile(path);
    }
    virtual Status EnterFolder(const TextBuffer& path) = 0;
    virtual Status LeaveFolder(const TextBuffer& path) = 0;
};

// Visits one file, the matches of a pattern in the last component, or a
// folder with everything below it (when recursive). Links to folders are
// visited but never entered. The first failure, however deep, ends the walk.
Status WalkFiles(const TextBuffer& path, TreeVisitor& visitor, bool recursive);

// How many files, and how many bytes in them, path holds: a file, a folder
// with everything below it, or the matches of a pattern. Each file is asked,
// unless the sizes of the folders' listings are good enough (as_listed): a
// listing can lag behind a file that is open for writing.
struct TreeSize {
    uint32_t files = 0;
    uint64_t bytes = 0;
};
TreeSize SizeOfTree(const TextBuffer& path, bool as_listed = false);

// Whether place lies in a folder that a transfer of source reads from: the
// source folder itself, or a folder that the source's pattern matches. The
// walker never enters a link to a folder; the shell does (links_entered).
// Compared by what the folders are, whatever the spelling.
bool IsInsideSource(const TextBuffer& source, bool source_is_folder, const TextBuffer& place,
                    bool links_entered);

Status CopyItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target);
Status MoveItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target);
// An absent item counts as deleted.
Status DeleteItem(RunEvents& events, const TextBuffer& path);
// The files path names (not folders, never below them) get attributes.
Status SetItemAttributes(RunEvents& events, const TextBuffer& path, uint32_t attributes);
