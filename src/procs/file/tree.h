// The file-system walker and the item operations the file procedures are
// built on: copying, moving and deleting files, folder trees and patterns,
// and setting attributes. Nothing here shows a message: callers report.
// Every file or folder acted on is told to the run's event sink.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "procs/run_context.h"
#include "text/text_buffer.h"

// What a walk does with each entry it meets; a failure stops the walk.
class TreeVisitor {
public:
    virtual ~TreeVisitor() = default;
    virtual Status VisitFile(const TextBuffer& path) = 0;
    virtual Status EnterFolder(const TextBuffer& path) = 0;
    virtual Status LeaveFolder(const TextBuffer& path) = 0;
};

// Visits one file, the matches of a pattern in the last component, or a
// folder with everything below it (when recursive). Links to folders are
// visited but never entered. A failure below a folder ends only the walk of
// that folder.
Status WalkFiles(const TextBuffer& path, TreeVisitor& visitor, bool recursive);

Status CopyItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target);
Status MoveItem(RunEvents& events, const TextBuffer& source, const TextBuffer& target);
// An absent item counts as deleted.
Status DeleteItem(RunEvents& events, const TextBuffer& path);
// The files path names (not folders, never below them) get attributes.
Status SetItemAttributes(RunEvents& events, const TextBuffer& path, uint32_t attributes);
