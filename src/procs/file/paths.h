// What the file kinds do to paths through the event sink: each change told
// before and after, and the creation of missing folders. The path helpers
// themselves are in base/.
#pragma once

#include "base/paths.h"
#include "base/status.h"
#include "procs/run_context.h"
#include "text/text_buffer.h"

// Tells the event sink that path is about to be acted on, makes the change
// unless a listener refused it or took it, and tells what came of it.
template <typename Change>
Status ActOnFile(RunEvents& events, FileAction action, const TextBuffer& path, const char* target,
                 Change change) {
    Status status = events.FileChanging(action, path.c_str(), target);
    if (status && !events.TakeChange(action, path.c_str(), target, &status))
        status = change();
    events.FileActed(action, path.c_str(), target, status.Error());
    return status;
}

// Creates every missing level of path (component 0, the drive, excepted).
Status MakeFolderPath(RunEvents& events, const TextBuffer& path);
