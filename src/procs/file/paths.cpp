#include "procs/file/paths.h"

#include <windows.h>

#include "base/system.h"

void HeldFileEvents::Begins(uint32_t error) {
    events_.FileHeld(action_, path_, target_, error, 0, HeldWait::kBegins);
}

void HeldFileEvents::Ended(const Status& last, uint32_t waited_ms) {
    const bool held = !last && IsHeldFileError(last.Error());
    events_.FileHeld(action_, path_, target_, last.Error(), waited_ms,
                     held ? HeldWait::kStillHeld : HeldWait::kLetGo);
}

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
