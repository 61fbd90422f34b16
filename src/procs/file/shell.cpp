// SHELL: the shell copies, moves, renames or deletes each FROM item. The
// result is made under the target's name with ".tmp" appended, and only when
// that worked is the old target deleted and the result renamed to it, so the
// target is replaced as a whole.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "base/system.h"
#include "procs/file/paths.h"
#include "procs/file/tree.h"
#include "procs/kinds.h"

namespace {

// One name in the shell's list format: its bytes, then two zero bytes.
struct ShellName {
    char bytes[MAX_PATH];

    // False, and nothing changed, when the name and its two zeros do not fit.
    bool Set(const TextBuffer& name) {
        const size_t length = name.Length();
        if (length + 2 > sizeof bytes)
            return false;
        // All zeros first: nothing of a longer earlier name stays behind.
        memset(bytes, 0, sizeof bytes);
        memcpy(bytes, name.c_str(), length);
        return true;
    }
};

// By ShellFunction: the words themselves are in the kind table.
const UINT kShellCodes[] = {FO_MOVE, FO_COPY, FO_DELETE, FO_RENAME};

UINT ShellOperationCode(const KindSpec& kind, const TextBuffer& function) {
    const int index = WordIndex(*FindKey(kind, "FUNC"), function.c_str());
    return index >= 0 ? kShellCodes[index] : 0;  // 0 goes to the shell, which refuses it
}

enum class ItemOutcome {
    kDone,
    kRefused,          // a name cannot be handed to the shell; nothing attempted
    kStaleRemains,     // the temporary left by an earlier run could not be deleted
    kOperationFailed,  // the operation, or the deletion of the old target, failed
    kNotInPlace,       // the result stays under the temporary name
};

bool TakesSourceAway(UINT code) {
    return code == FO_MOVE || code == FO_RENAME;
}

// The result exists and holds at least the files and bytes the source held
// (a link the shell followed may add some).
bool IsComplete(const TextBuffer& result, const TreeSize& source) {
    if (!FileExists(result.c_str()))
        return false;
    const TreeSize made = SizeOfTree(result);
    return made.files >= source.files && made.bytes >= source.bytes;
}

class ShellItems {
public:
    ShellItems(RunEvents& events, bool unattended) : events_(events), operation_() {
        operation_.hwnd = nullptr;  // the shell's windows have no owner
        operation_.fFlags = FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS | FOF_NOCONFIRMMKDIR;
        // Unattended: neither its progress window nor its own error boxes.
        if (unattended)
            operation_.fFlags |= FOF_SILENT | FOF_NOERRORUI;
        operation_.hNameMappings = nullptr;
        operation_.lpszProgressTitle = nullptr;
    }

    ItemOutcome Replace(UINT code, const TextBuffer& source, const TextBuffer& target,
                        const TextBuffer& temporary) {
        error_ = 0;
        // Without a target the result would land beside the current folder as
        // ".tmp"; only a deletion does without one.
        if (target.IsEmpty() && code != FO_DELETE)
            return ItemOutcome::kRefused;
        if (!source_.Set(source) || !target_.Set(target) || !temporary_.Set(temporary)) {
            return ItemOutcome::kRefused;
        }
        // Without its source a move cannot succeed, and the temporary that an
        // earlier, interrupted move left behind may hold the only copy: a
        // move never touches it. A copy's source is intact, so its stale
        // temporary may go.
        if (TakesSourceAway(code) && !FileExists(source.c_str()))
            return ItemOutcome::kRefused;
        if (FileExists(temporary.c_str())) {
            if (TakesSourceAway(code))
                return ItemOutcome::kRefused;
            if (!Call(FO_DELETE, temporary_, temporary))
                return ItemOutcome::kStaleRemains;
        }
        const TreeSize before = SizeOfTree(source);
        if (!Call(code, source_, source, &temporary_, temporary))
            return ItemOutcome::kOperationFailed;
        // The shell can report success for what it did not do (a pattern
        // that matched nothing, a folder into its own subfolder, a full
        // disk): the old target goes only for a result that is all there.
        if (code == FO_DELETE ? FileExists(source.c_str()) : !IsComplete(temporary, before))
            return ItemOutcome::kOperationFailed;
        if (FileExists(target.c_str()) && !Call(FO_DELETE, target_, target)) {
            return ItemOutcome::kOperationFailed;
        }
        // A deletion leaves no temporary to rename. A result that cannot be
        // put in place stays under the temporary name: the old target is
        // gone by now, and for a move it is the only copy.
        if (FileExists(temporary.c_str())) {
            const Status placed =
                ActOnFile(events_, FileAction::kMoved, temporary, target.c_str(),
                          [&] { return CallStatus(MoveFileA(temporary.c_str(), target.c_str())); });
            if (!placed) {
                error_ = placed.Error();
                return ItemOutcome::kNotInPlace;
            }
        }
        return ItemOutcome::kDone;
    }
    // The Windows or shell error code of the call that failed last.
    uint32_t Error() const { return error_; }

private:
    // Fails when the shell reports an error or the user cancelled.
    bool Call(UINT code, const ShellName& from, const TextBuffer& from_text,
              const ShellName* to = nullptr, const TextBuffer& to_text = TextBuffer()) {
        const FileAction action = code == FO_DELETE ? FileAction::kShellDeleted
                                  : (code == FO_MOVE || code == FO_RENAME)
                                      ? FileAction::kShellMoved
                                      : FileAction::kShellCopied;
        const Status status = ActOnFile(events_, action, from_text, to_text.c_str(), [&] {
            operation_.wFunc = code;
            operation_.pFrom = from.bytes;
            operation_.pTo = to != nullptr ? to->bytes : nullptr;
            operation_.fAnyOperationsAborted = FALSE;
            const int result = SHFileOperationA(&operation_);
            if (result != 0)
                return Status::Failed(static_cast<uint32_t>(result));
            return operation_.fAnyOperationsAborted ? Status::Failed(ERROR_CANCELLED)
                                                    : Status::Done();
        });
        error_ = status.Error();
        return static_cast<bool>(status);
    }

    RunEvents& events_;
    SHFILEOPSTRUCTA operation_;
    ShellName source_;
    ShellName target_;
    ShellName temporary_;
    uint32_t error_ = 0;
};

// What a failed move or rename took from the source may be its only copy: it
// goes back to the source when the source's place is free, and otherwise
// stays under the temporary name. A pattern cannot be put back.
void PutBack(RunEvents& events, const TextBuffer& source, const TextBuffer& temporary) {
    if (HasWildcard(source) || FileExists(source.c_str()))
        return;
    ActOnFile(events, FileAction::kMoved, temporary, source.c_str(),
              [&] { return CallStatus(MoveFileA(temporary.c_str(), source.c_str())); });
}

struct ShellProcedure : Procedure {
    bool Run(RunContext& run) override {
        ShellItems shell(run.events, run.unattended);
        return ActOnEachItem(run, [&](int i) {
            const UINT code = ShellOperationCode(*kind, Item("FUNC", i));
            const TextBuffer source = Item("FROM", i);
            const TextBuffer target = Item("TO", i);
            const TextBuffer temporary = target.IsEmpty() ? TextBuffer() : target + ".tmp";
            const ItemOutcome outcome = shell.Replace(code, source, target, temporary);
            if (outcome == ItemOutcome::kDone)
                return Status::Done();
            const Status failed = Status::Failed(shell.Error());
            if (outcome == ItemOutcome::kRefused || outcome == ItemOutcome::kNotInPlace)
                return failed;
            if (!TakesSourceAway(code)) {
                DeleteItem(run.events, temporary);  // no partial result stays behind
            } else if (outcome == ItemOutcome::kOperationFailed) {
                PutBack(run.events, source, temporary);
            }  // a stale temporary that resisted may be an earlier move's only copy
            return failed;
        });
    }
    void ReportItemFailure(RunContext& run, int, uint32_t error) const override {
        run.reporter.Fail(kMsgShellFailed, {}, error);
    }
};

}  // namespace

Procedure* NewShell() {
    return new (std::nothrow) ShellProcedure;
}
