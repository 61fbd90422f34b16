// Tests and small operations on paths: existence, folders, folder parts,
// patterns and the creation of missing folders.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "base/system.h"
#include "procs/run_context.h"
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
        const bool shell = action == FileAction::kShellCopied ||
                           action == FileAction::kShellMoved || action == FileAction::kShellDeleted;
        status = shell ? change() : RetryHeldFile(events, action, path.c_str(), target, change);
    }
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

// What a path is, whatever its spelling (case, ".\" steps, short names, two
// names of one share): its volume and its index there.
struct FileIdentity {
    uint32_t volume = 0;
    uint32_t index_high = 0;
    uint32_t index_low = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index_high == other.index_high &&
               index_low == other.index_low;
    }
};
// False when path cannot be opened to ask (it is missing, or no rights).
bool IdentityOf(const TextBuffer& path, FileIdentity& identity);
// Both exist and are one file or folder.
bool IsSameFile(const TextBuffer& a, const TextBuffer& b);
// path, or the nearest of its folders that exists, is the folder or lies below it.
bool IsSameOrInside(const TextBuffer& path, const FileIdentity& folder);
// The last components differ, if only in the case of their letters.
bool IsSpelledDifferently(const TextBuffer& a, const TextBuffer& b);

// A pattern of COPY, MOVE and the walker: a "*" in the last component. A "?"
// alone is taken as part of a name.
bool IsPattern(const TextBuffer& path);
// Any wildcard anywhere: the shell expands both "*" and "?".
bool HasWildcard(const TextBuffer& path);
