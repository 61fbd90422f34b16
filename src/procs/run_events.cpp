#include "procs/run_events.h"

namespace {

const FileEffect kWritesTarget = FileEffect::kWritesTarget, kMoves = FileEffect::kMoves,
                 kDeletes = FileEffect::kDeletes;
const bool in_place = true, shell = true, folder = true, bytes = true, no = false;

constexpr FileActionTraits kTraits[] = {
    {FileAction::kCopied, "copied ", "failed to copy ", kWritesTarget, no, no, no, bytes},
    {FileAction::kMoved, "moved ", "failed to move ", kMoves, no, no, no, bytes},
    {FileAction::kDeleted, "deleted ", "failed to delete ", kDeletes, no, no, no, bytes},
    {FileAction::kFolderMade, "made folder ", "failed to make folder ", FileEffect::kMakes, no, no,
     folder, no},
    {FileAction::kFolderRemoved, "removed folder ", "failed to remove folder ", kDeletes, no, no,
     folder, no},
    {FileAction::kAttributesSet, "set attributes of ", "failed to set attributes of ",
     FileEffect::kSetsPath, no, no, no, no},
    {FileAction::kShellCopied, "shell copied ", "shell failed to copy ", kWritesTarget, in_place,
     shell, no, no},
    {FileAction::kShellMoved, "shell moved ", "shell failed to move ", kMoves, no, shell, no, no},
    {FileAction::kShellDeleted, "shell deleted ", "shell failed to delete ", kDeletes, no, shell,
     no, no},
    {FileAction::kResourcesUpdated, "copied resources ", "failed to copy resources ", kWritesTarget,
     in_place, no, no, no},
    {FileAction::kShortcutSaved, "saved shortcut ", "failed to save shortcut ",
     FileEffect::kWritesPath, no, no, no, no},
};

constexpr bool InActionOrder() {
    int i = 0;
    for (const FileActionTraits& traits : kTraits) {
        if (traits.action != static_cast<FileAction>(i++))
            return false;
    }
    return i == static_cast<int>(FileAction::kShortcutSaved) + 1;
}
static_assert(InActionOrder(), "row i is of the file action i, and every action has its row");

}  // namespace

const FileActionTraits& TraitsOf(FileAction action) {
    return kTraits[static_cast<int>(action)];
}
