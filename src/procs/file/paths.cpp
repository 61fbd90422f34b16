#include "procs/file/paths.h"

#include <windows.h>

#include "base/system.h"

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
