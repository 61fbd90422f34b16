// What the file kinds do to paths through the event sink: each change told
// before and after, and the creation of missing folders. The path helpers
// themselves are in base/.
#pragma once

#include "base/paths.h"
#include "base/status.h"
#include "base/system.h"
#include "procs/run_events.h"
#include "text/text_buffer.h"

// The waits for one held file, told to the run's events.
class HeldFileEvents : public HeldFileWaits {
public:
    HeldFileEvents(RunEvents& events, FileAction action, const char* path, const char* target)
        : events_(events), action_(action), path_(path), target_(target) {}
    void Begins(uint32_t error) override;
    bool GoOn() override { return !events_.StopRequested(); }
    void Ended(const Status& last, uint32_t waited_ms) override;

private:
    RunEvents& events_;
    FileAction action_;
    const char* path_;
    const char* target_;
};

// Makes change; while it fails because another program holds the file, makes
// it again within the run's patience (RETRY), telling the events of the wait.
template <typename Change>
Status RetryHeldFile(RunEvents& events, FileAction action, const char* path, const char* target,
                     Change change) {
    SystemClock clock;
    HeldFileEvents waits(events, action, path, target);
    return RetryWhileHeld(events.HeldFilePatience(), clock, waits, change);
}

// Tells the event sink that path is about to be acted on, makes the change
// unless a listener refused it or took it, and tells what came of it. The
// shell deals with a held file in its own way; every other change waits for
// one within the run's patience.
template <typename Change>
Status ActOnFile(RunEvents& events, FileAction action, const TextBuffer& path, const char* target,
                 Change change) {
    Status status = events.FileChanging(action, path.c_str(), target);
    if (status && !events.TakeChange(action, path.c_str(), target, &status)) {
        status = TraitsOf(action).shell
                     ? change()
                     : RetryHeldFile(events, action, path.c_str(), target, change);
    }
    events.FileActed(action, path.c_str(), target, status.Error());
    return status;
}

// Creates every missing level of path (component 0, the drive, excepted).
Status MakeFolderPath(RunEvents& events, const TextBuffer& path);
