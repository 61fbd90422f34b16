// Tests and small operations on paths: existence, folders, folder parts,
// patterns and the creation of missing folders.
#pragma once

#include "base/status.h"
#include "procs/run_context.h"
#include "text/text_buffer.h"

// Tells the event sink that path is about to be acted on, makes the change
// unless a listener refused it, and tells what came of it.
template <typename Change>
Status ActOnFile(RunEvents& events, FileAction action, const TextBuffer& path, const char* target,
                 Change change) {
    Status status = events.FileChanging(action, path.c_str(), target);
    if (status)
        status = change();
    events.FileActed(action, path.c_str(), target, status.Error());
    return status;
}

// True when the system's find function finds anything under path; patterns
// count when they match. A path ending in a backslash is never found.
bool FileExists(const char* path);
bool IsFolder(const char* path);
// Creates every missing level of path (component 0, the drive, excepted).
Status MakeFolderPath(RunEvents& events, const TextBuffer& path);
// The part of path before its last backslash; false when there is none or it
// is the first byte.
bool FolderOfPath(const char* path, TextBuffer& folder);
// The folder part of path, cut at its last backslash ("" for a bare name).
TextBuffer ParentOf(const TextBuffer& path);

// A pattern of COPY, MOVE and the walker: a "*" in the last component. A "?"
// alone is taken as part of a name.
bool IsPattern(const TextBuffer& path);
// Any wildcard anywhere: the shell expands both "*" and "?".
bool HasWildcard(const TextBuffer& path);
