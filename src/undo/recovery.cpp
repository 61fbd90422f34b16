#include "undo/recovery.h"

#include <windows.h>

#include <algorithm>

#include "base/paths.h"
#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
#include "undo/undo_files.h"

namespace {

// Adds a record to the journal, on the disk before anything else happens.
void AppendRecord(HANDLE file, const Record& record) {
    JournalBatch batch;
    batch.Add(record);
    batch.Seal();
    DWORD written = 0;
    SetFilePointer(file, 0, nullptr, FILE_END);
    WriteFile(file, batch.Bytes(), static_cast<DWORD>(batch.Length()), &written, nullptr);
    FlushFileBuffers(file);
}

// What the run left at a path, as far as the records read so far tell: a
// fingerprint, or that it was writing there (begun).
struct Left {
    bool decided = false;
    bool printed = false;
    Fingerprint print;
};

class LeftMap {
public:
    Left Get(const TextBuffer& path) const {
        const int i = paths_.Find(path.c_str());
        return i >= 0 && i < values_.Count() ? values_[i] : Left();
    }
    // The first word on a path stands until it is forgotten.
    void Decide(const TextBuffer& path, const Record* print) {
        Left* left = At(path);
        if (left == nullptr || left->decided)
            return;
        left->decided = true;
        left->printed = print != nullptr;
        if (print != nullptr)
            left->print = print->Print();
    }
    void Forget(const TextBuffer& path) {
        Left* left = At(path);
        if (left != nullptr)
            *left = Left();
    }

private:
    Left* At(const TextBuffer& path) {
        const int i = paths_.Add(path.c_str());
        if (i == values_.Count() && !values_.Add(Left()))
            return nullptr;
        return i >= 0 && i < values_.Count() ? &values_[i] : nullptr;
    }
    PathIndex paths_;
    List<Left> values_;
};

// The run's word on what a record acts on, read newest first.
void Decide(LeftMap& left, const Record& record) {
    if (record.type == RecordType::kPrint && record.how != 't')
        left.Decide(record.path, &record);
    else if (record.type == RecordType::kWritten || record.type == RecordType::kMade)
        left.Decide(record.path, nullptr);
    else if (record.type == RecordType::kMoved)
        left.Decide(record.other, nullptr);
}

// The file at path is what the run left there; one it was writing when it
// stopped counts as its own.
bool IsRunsFile(const TextBuffer& path, const Left& left) {
    Fingerprint now;
    return left.decided && ReadPrint(path.c_str(), &now) && (!left.printed || now == left.print);
}

// An undo's waits for a file that another program holds, told as a change's
// are. A Cancel pressed before does not end them: the undo puts back what the
// user wanted back.
class UndoWaits : public HeldFileEvents {
public:
    using HeldFileEvents::HeldFileEvents;
    bool GoOn() override { return true; }
};

class Undo {
public:
    Undo(const List<Record>& records, const TextBuffer& aside, const TrustRule& rule,
         RunEvents& events, HANDLE journal)
        : records_(records), events_(events), journal_(journal) {
        asides_.Add(aside);
        for (const Record& record : records) {
            // A folder on another volume is used only while it can be trusted.
            if (record.type == RecordType::kAsideFolder &&
                CheckVolumeFolder(record.path, rule) == UndoReason::kNone)
                asides_.Add(record.path);
            // Left by an undo begun before: not told again.
            if (record.type == RecordType::kLeft) {
                left_.Add(record.path.c_str());
                if (failed_.IsEmpty())
                    failed_ = record.path;
            }
            if (record.type == RecordType::kUndone && record.how == 'c')
                copying_.Add(record.other.c_str());
        }
    }

    // Newest first, a part at a time: each procedure's records, then its
    // places. A part done is noted in the journal, on the disk, before the
    // part before it begins: an undo begun again never repeats a later part
    // once an earlier one has changed what that part found. A failure that
    // may pass ends the undo there, to be begun again later; what can never
    // be put back is left, noted, and the undo goes on.
    bool Run() {
        int end = records_.Count();
        for (int start = end - 1; start >= 0; --start) {
            if (records_[start].type != RecordType::kProcedure)
                continue;
            const uint32_t procedure = records_[start].number;
            int places_end = start + 1;
            PlaceIndex places;
            for (; places_end < end && records_[places_end].type == RecordType::kPlace;
                 ++places_end) {
                Place place;
                place.kind = static_cast<PlaceKind>(records_[places_end].how);
                place.state = records_[places_end].state;
                place.path = records_[places_end].path;
                if (places.Add(place) < 0)
                    return Stop(place.path, ERROR_NOT_ENOUGH_MEMORY);
            }
            if (!Undone(procedure, 'r')) {
                if (!UndoRecords(places, places_end, end))
                    return false;
                Note(procedure, 'r');
            }
            if (!Undone(procedure, 'p')) {
                if (!RestorePlaces(procedure, places, places_end, end))
                    return false;
                Note(procedure, 'p');
            }
            end = start;
        }
        return true;
    }
    // The first path that was not put back, or could not be yet.
    const TextBuffer& Failed() const { return failed_; }
    bool Whole() const { return failed_.IsEmpty(); }
    const List<TextBuffer>& Asides() const { return asides_; }

private:
    bool Undone(uint32_t procedure, char part) const {
        for (const Record& record : records_) {
            if (record.type == RecordType::kUndone && record.number == procedure &&
                record.how == part) {
                return true;
            }
        }
        return false;
    }

    void Note(uint32_t procedure, char part) {
        Record record = MakeRecord(RecordType::kUndone, part, "");
        record.number = procedure;
        AppendRecord(journal_, record);
    }

    void Tell(UndoStep step, UndoReason reason, const TextBuffer& path, uint32_t error = 0) {
        events_.Undone({step, reason, path.c_str(), "", error});
    }

    // A failure that may pass: the undo stops here.
    bool Stop(const TextBuffer& path, uint32_t error) {
        Tell(UndoStep::kFailed, UndoReason::kNone, path, error);
        failed_ = path;
        return false;
    }
    // What can never be put back: left, noted in the journal, and told once.
    void Leave(const TextBuffer& path, UndoReason reason) {
        if (left_.Find(path.c_str()) >= 0)
            return;
        left_.Add(path.c_str());
        AppendRecord(journal_, MakeRecord(RecordType::kLeft, '-', path));
        Tell(UndoStep::kLeft, reason, path);
        if (failed_.IsEmpty())
            failed_ = path;
    }
    // The outcome of a step: told when done, stopping the undo when not.
    bool Check(const Status& status, UndoStep done, const TextBuffer& path) {
        if (!status) {
            // Something at both places, or a link: waiting changes nothing.
            if (status.Error() != ERROR_FILE_EXISTS &&
                status.Error() != ERROR_REPARSE_ATTRIBUTE_CONFLICT)
                return Stop(path, status.Error());
            Leave(path, UndoReason::kChanged);
            return true;
        }
        Tell(done, UndoReason::kNone, path);
        return true;
    }

    // A record of a move, or of a set-aside, that a later record cancelled;
    // each cancels one.
    bool Cancelled(const Record& record, int from, int end) {
        const char how = record.type == RecordType::kSetAside ? 'a' : '-';
        for (int i = from; i < end; ++i) {
            const Record& cancel = records_[i];
            if (cancel.type == RecordType::kCancelled && cancel.how == how &&
                EqualsNoCase(cancel.path.c_str(), record.path.c_str()) &&
                EqualsNoCase(cancel.other.c_str(), record.other.c_str()) &&
                std::find(used_cancels_.begin(), used_cancels_.end(), i) == used_cancels_.end()) {
                used_cancels_.Add(i);
                return true;
            }
        }
        return false;
    }

    // Makes a step; while another program holds its file, makes it again
    // within the run's patience (RETRY).
    template <typename Step>
    Status Patiently(FileAction action, const TextBuffer& path, const TextBuffer& target,
                     Step step) {
        SystemClock clock;
        UndoWaits waits(events_, action, path.c_str(), target.c_str());
        return RetryWhileHeld(events_.HeldFilePatience(), clock, waits, step);
    }
    Status Remove(const TextBuffer& path) {
        return Patiently(FileAction::kDeleted, path, TextBuffer(),
                         [&] { return RemoveTree(path); });
    }
    Status MoveBackFrom(const TextBuffer& moved, const TextBuffer& original) {
        return Patiently(FileAction::kMoved, moved, original,
                         [&] { return MoveBack(moved, original); });
    }
    Status PutStateOf(const TextBuffer& path, const FileState& state) {
        return Patiently(FileAction::kAttributesSet, path, TextBuffer(),
                         [&] { return PutState(path.c_str(), state); });
    }

    // A set-aside file or folder is put back over whatever the run left; a
    // copy goes into a file that is there, so that the file keeps its
    // permissions, and into a new file where there is none. The journal says
    // so first: a copy cut short leaves a file that is neither the old one
    // nor the run's, and an undo begun again must take it for its own. Once
    // back, the copy goes, as a renamed file does.
    Status PutBack(const TextBuffer& slot, bool copied, const TextBuffer& path) {
        FileState kept, here;
        if (!ReadState(slot.c_str(), &kept))
            return Status::Failed(ERROR_FILE_NOT_FOUND);
        if (copied && !IsFolderState(kept)) {
            if (ReadState(path.c_str(), &here) && IsFolderState(here))
                return Status::Failed(ERROR_FILE_EXISTS);
            if (copying_.Find(slot.c_str()) < 0) {
                AppendRecord(journal_, MakeRecord(RecordType::kUndone, 'c', path, slot));
                copying_.Add(slot.c_str());
            }
            const Status back =
                Patiently(FileAction::kCopied, slot, path, [&] { return CopyInto(slot, path); });
            if (back)
                DeleteFileA(slot.c_str());
            return back;
        }
        const Status removed = Remove(path);
        return removed ? MoveBackFrom(slot, path) : removed;
    }

    bool Inside(const TextBuffer& slot) const {
        for (const TextBuffer& aside : asides_) {
            if (IsAtOrBelow(slot.c_str(), aside.c_str()))
                return true;
        }
        return false;
    }

    // The records of one procedure, newest first: what the run made goes,
    // what it moved comes back, what it set aside on its own goes back.
    bool UndoRecords(const PlaceIndex& places, int first, int end) {
        LeftMap left;
        for (int i = end - 1; i >= first; --i) {
            const Record& record = records_[i];
            const bool acts =
                record.type == RecordType::kMade || record.type == RecordType::kMoved ||
                record.type == RecordType::kSetAside || record.type == RecordType::kState;
            if (acts && (!places.Covers(record.path) ||
                         (record.type == RecordType::kMoved && !places.Covers(record.other)) ||
                         (record.type == RecordType::kSetAside && !Inside(record.other)))) {
                Leave(record.path, UndoReason::kOutside);
                continue;
            }
            if (record.type == RecordType::kPrint && record.how == 't')
                walked_.Add(record.path.c_str());
            const Left was =
                left.Get(record.type == RecordType::kMoved ? record.other : record.path);
            Decide(left, record);
            bool done = true;
            switch (record.type) {
                case RecordType::kMade:
                    done = RemoveMade(record, was.decided ? was : left.Get(record.path));
                    left.Forget(record.path);
                    break;
                case RecordType::kMoved:
                    if (!Cancelled(record, i + 1, end))
                        done = MoveBackRecord(record, was.decided ? was : left.Get(record.other));
                    left.Forget(record.path);
                    left.Forget(record.other);
                    break;
                case RecordType::kSetAside:
                    if (!Cancelled(record, i + 1, end))
                        done = PutBackRecord(record, was);
                    left.Forget(record.path);
                    break;
                case RecordType::kState:
                    done = PutStateRecord(record);
                    break;
                default:
                    break;
            }
            if (!done)
                return false;
        }
        return true;
    }

    bool RemoveMade(const Record& record, const Left& left) {
        const TextBuffer& path = record.path;
        FileState now;
        if (!ReadState(path.c_str(), &now))
            return true;
        if (record.how == 'f') {
            if (IsFolderState(now) || !IsRunsFile(path, left)) {
                Leave(path, UndoReason::kChanged);
                return true;
            }
            return Check(Remove(path), UndoStep::kRemoved, path);
        }
        // A tree the shell was making when the run stopped is the run's as a whole.
        if (record.how == 't' && walked_.Find(path.c_str()) < 0)
            return Check(Remove(path), UndoStep::kRemoved, path);
        if (!IsFolderState(now)) {
            Leave(path, UndoReason::kChanged);
            return true;
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        const Status removed = Patiently(FileAction::kFolderRemoved, path, TextBuffer(), [&] {
            return CallStatus(RemoveDirectoryA(path.c_str()));
        });
        if (removed)
            return Check(removed, UndoStep::kRemoved, path);
        if (removed.Error() != ERROR_DIR_NOT_EMPTY)
            return Stop(path, removed.Error());
        PutState(path.c_str(), now);
        Tell(UndoStep::kLeft, UndoReason::kHoldsOthers, path);
        return true;
    }

    bool MoveBackRecord(const Record& record, const Left& left) {
        const TextBuffer &original = record.path, &moved = record.other;
        FileState now;
        if (!ReadState(moved.c_str(), &now)) {
            // Put back by an undo begun before, or gone since.
            if (!Exists(original))
                Leave(original, UndoReason::kChanged);
            return true;
        }
        if (!IsFolderState(now) && left.decided && !IsRunsFile(moved, left)) {
            Leave(moved, UndoReason::kChanged);
            return true;
        }
        if (!HasWildcard(original)) {
            if (!Check(MoveBackFrom(moved, original), UndoStep::kPutBack, original))
                return false;
            FileState back;
            if (record.how != 'n' && ReadState(original.c_str(), &back) && !IsFolderState(back))
                PutStateOf(original, record.state);
            return true;
        }
        // A pattern's matches went into one folder, each under its own name.
        const TextBuffer folder = ParentOf(original);
        bool went_on = true;
        ForEachEntry(moved, [&](const TextBuffer& match, const WIN32_FIND_DATAA& entry) {
            const TextBuffer back = JoinPath(folder, entry.cFileName);
            went_on = Check(MoveBackFrom(match, back), UndoStep::kPutBack, back);
            return went_on;
        });
        RemoveDirectoryA(moved.c_str());
        return went_on;
    }

    bool PutBackRecord(const Record& record, const Left& left) {
        const TextBuffer& path = record.path;
        FileState now;
        const bool there = ReadState(path.c_str(), &now);
        if (!Exists(record.other)) {
            // Put back by an undo begun before, or its copy is gone.
            if (!there || now.written != record.state.written)
                Leave(path, UndoReason::kNoCopy);
            return true;
        }
        if (there && !IsOwnFile(path, left, record.other)) {
            // A copy put back by an undo begun before stays beside it.
            if (now.written != record.state.written)
                Leave(path, left.decided ? UndoReason::kChanged : UndoReason::kNotMade);
            return true;
        }
        if (!Check(PutBack(record.other, record.how == 'c', path), UndoStep::kPutBack, path))
            return false;
        PutStateOf(path, record.state);
        return true;
    }

    bool PutStateRecord(const Record& record) {
        const TextBuffer& path = record.path;
        FileState now;
        const bool there = ReadState(path.c_str(), &now);
        if (record.how == 'd' && !there) {
            if (!CreateDirectoryA(path.c_str(), nullptr))
                return Stop(path, GetLastError());
        } else if (!there || (record.how == 'f' && now.written != record.state.written)) {
            Leave(path, UndoReason::kChanged);  // never old attributes on new content
            return true;
        }
        return Check(PutStateOf(path, record.state), UndoStep::kPutBack, path);
    }

    // The set-aside file of place index of a procedure, in any of the
    // set-aside folders; copied tells a copy from a renamed file.
    bool FindSlot(uint32_t procedure, int index, TextBuffer* slot, bool* copied) const {
        const TextBuffer name = SlotName(procedure, "", static_cast<uint32_t>(index));
        for (const TextBuffer& aside : asides_) {
            for (const bool copy : {false, true}) {
                *slot = aside + "\\" + name + (copy ? "c" : "");
                *copied = copy;
                if (Exists(*slot))
                    return true;
            }
        }
        return false;
    }

    // Puts the places of a procedure back as they were before it: what it
    // set aside comes back (folders before what is in them), then attributes
    // and times (what is in a folder before the folder, whose times every
    // change inside moves).
    bool RestorePlaces(uint32_t procedure, const PlaceIndex& places, int first, int end) {
        // What the run left at each place once the procedure was over.
        LeftMap left;
        for (int i = end - 1; i >= first; --i) Decide(left, records_[i]);
        List<int> order;
        for (int i = 0; i < places.Count(); ++i) {
            if (!order.Add(i))
                return Stop(places[i].path, ERROR_NOT_ENOUGH_MEMORY);
        }
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return PathDepth(places[a].path.c_str()) < PathDepth(places[b].path.c_str());
        });
        PathIndex restored;
        for (int i : order) {
            const Place& place = places[i];
            if (place.kind == PlaceKind::kAbsent || place.kind == PlaceKind::kEnclosing)
                continue;
            TextBuffer slot;
            bool copied = false;
            FileState now;
            const bool there = ReadState(place.path.c_str(), &now);
            if (!FindSlot(procedure, i, &slot, &copied)) {
                // A file the run wrote over whose set-aside copy is gone, unless
                // an undo begun before put it back.
                const Left run = left.Get(place.path);
                if (there && place.kind == PlaceKind::kFile && run.decided &&
                    now.written != place.state.written) {
                    Leave(place.path,
                          IsRunsFile(place.path, run) ? UndoReason::kNoCopy : UndoReason::kChanged);
                }
                // A folder removed for good is made again; a file cannot be.
                if (there)
                    continue;
                if (place.kind == PlaceKind::kFile) {
                    Leave(place.path, UndoReason::kNoCopy);
                } else if (!Check(CallStatus(CreateDirectoryA(place.path.c_str(), nullptr)),
                                  UndoStep::kPutBack, place.path)) {
                    return false;
                }
                continue;
            }
            const bool folder = place.kind != PlaceKind::kFile;
            const Left run = left.Get(place.path);
            if (there && !folder && !IsOwnFile(place.path, run, slot)) {
                // A copy put back by an undo begun before stays beside it.
                if (now.written == place.state.written)
                    restored.Add(place.path.c_str());
                else
                    Leave(place.path, run.decided ? UndoReason::kChanged : UndoReason::kNotMade);
                continue;
            }
            if (there && folder != IsFolderState(now)) {
                Leave(place.path, UndoReason::kChanged);
                continue;
            }
            // A folder that is there again takes back what went aside with it.
            const Status back = there && folder ? MoveBackFrom(slot, place.path)
                                                : PutBack(slot, copied, place.path);
            if (!Check(back, UndoStep::kPutBack, place.path))
                return false;
            restored.Add(place.path.c_str());
        }
        for (int k = order.Count() - 1; k >= 0; --k) {
            const Place& place = places[order[k]];
            FileState now;
            if (place.kind == PlaceKind::kAbsent || left_.Find(place.path.c_str()) >= 0 ||
                !ReadState(place.path.c_str(), &now)) {
                continue;
            }
            // A file's times go back only with its old content, and its
            // attributes only onto that.
            if (place.kind == PlaceKind::kFile && restored.Find(place.path.c_str()) < 0 &&
                now.written != place.state.written) {
                if (now.attributes != place.state.attributes)
                    Leave(place.path, UndoReason::kChanged);
                continue;
            }
            const Status put = PutStateOf(place.path, place.state);
            // The times of a folder around the places are kept where the
            // account may set them; that it may not never blocks an undo.
            if (!put && place.kind != PlaceKind::kEnclosing)
                return Stop(place.path, put.Error());
        }
        return true;
    }

    // The file at path is what the run left there, or one that an undo cut
    // short was copying the old content back into from slot.
    bool IsOwnFile(const TextBuffer& path, const Left& left, const TextBuffer& slot) const {
        return IsRunsFile(path, left) || copying_.Find(slot.c_str()) >= 0;
    }

    const List<Record>& records_;
    RunEvents& events_;
    HANDLE journal_;
    List<TextBuffer> asides_;
    PathIndex walked_;        // trees of the shell whose every entry has its records
    PathIndex left_;          // paths left as they are
    PathIndex copying_;       // set-aside copies that the undo copies back
    List<int> used_cancels_;  // cancelling records already matched
    TextBuffer failed_;
};

// The whole file; false when it cannot be read.
bool ReadAll(HANDLE file, ByteArray& bytes) {
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || !bytes.Allocate(size))
        return false;
    DWORD read = 0;
    return size == 0 || (ReadFile(file, bytes.Data(), size, &read, nullptr) && read == size);
}

// The journal and its set-aside folder go into the store's "Retired" folder,
// under names no journal there has yet.
TextBuffer Retire(const TextBuffer& path) {
    const TextBuffer folder = JoinPath(ParentOf(path), "Retired");
    CreateDirectoryA(folder.c_str(), nullptr);
    const TextBuffer name = AsideFolderOf(path).Item(-1, "\\");
    for (int n = 0; n < 100; ++n) {
        TextBuffer target = JoinPath(folder, name.c_str());
        if (n > 0)
            target = target + "-" + DecimalText(static_cast<uint32_t>(n), 2);
        if (MoveFileA(path.c_str(), (target + ".jnl").c_str())) {
            MoveFileA(AsideFolderOf(path).c_str(), target.c_str());
            return target + ".jnl";
        }
    }
    return path;
}

}  // namespace

TextBuffer AsideFolderOf(const TextBuffer& journal) {
    // "x.jnl" without its extension.
    return journal.Slice(0, static_cast<ptrdiff_t>(journal.Length()) - 5);
}

void RemoveJournal(const TextBuffer& path, const List<TextBuffer>& others) {
    RemoveTree(AsideFolderOf(path));
    for (const TextBuffer& aside : others) RemoveTree(aside);
    DeleteFileA(path.c_str());
}

JournalEnd FinishJournal(const TextBuffer& path, const TrustRule& rule, RunEvents& events,
                         TextBuffer* failed) {
    // Shared for reading only: a run that is going on holds its journal open
    // for writing, and must not be undone under its feet; a program that only
    // reads it (a virus scanner) is no hindrance.
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return JournalEnd::kCompleted;  // finished by another start meanwhile
        events.Undone({UndoStep::kInUse, UndoReason::kNone, path.c_str(), "", error});
        return JournalEnd::kInUse;
    }
    ByteArray bytes;
    List<Record> records;
    if (ReadAll(file.Get(), bytes)) {
        const size_t sealed =
            ParseJournal(reinterpret_cast<const char*>(bytes.Data()), bytes.Size(), records);
        // A batch that a kill cut short goes, so that what the undo adds
        // behind it is read again.
        if (sealed < bytes.Size()) {
            SetFilePointer(file.Get(), static_cast<LONG>(sealed), nullptr, FILE_BEGIN);
            SetEndOfFile(file.Get());
        }
    }
    // Cut short before its header was on the disk: its run changed nothing.
    if (records.Count() == 0) {
        file.Reset();
        RemoveJournal(path, List<TextBuffer>());
        return JournalEnd::kCompleted;
    }
    if (!IsCurrentJournal(records)) {
        file.Reset();
        const TextBuffer retired = Retire(path);
        events.Undone(
            {UndoStep::kRetired, UndoReason::kNoVersion, retired.c_str(), path.c_str(), 0});
        return JournalEnd::kRefused;
    }
    bool finished = false;
    bool completed = false;
    for (const Record& record : records) {
        completed = completed || record.type == RecordType::kCompleted;
        finished = finished || completed || record.type == RecordType::kRestored;
    }
    Undo undo(records, AsideFolderOf(path), rule, events, file.Get());
    if (!finished) {
        events.Undone(
            {UndoStep::kBegun, UndoReason::kNone, records[1].path.c_str(), path.c_str(), 0});
        if (!undo.Run()) {
            *failed = undo.Failed();
            return JournalEnd::kNotRestored;
        }
        if (!undo.Whole()) {
            file.Reset();
            *failed = undo.Failed();
            const TextBuffer retired = Retire(path);
            events.Undone(
                {UndoStep::kRetired, UndoReason::kIncomplete, retired.c_str(), path.c_str(), 0});
            return JournalEnd::kRetired;
        }
        // Once this is on the disk, the set-aside files are no longer needed.
        AppendRecord(file.Get(), MakeRecord(RecordType::kRestored, '-', ""));
        events.Undone({UndoStep::kFinished, UndoReason::kNone, path.c_str(), "", 0});
    }
    file.Reset();
    List<TextBuffer> others;
    for (int i = 1; i < undo.Asides().Count(); ++i) others.Add(undo.Asides()[i]);
    RemoveJournal(path, others);
    return completed || finished ? JournalEnd::kCompleted : JournalEnd::kRestored;
}

namespace {

// Passes on what an undo tells, but each attempt's start and its failure to
// go on only once: the start of the first, the failure of the last. Only the
// first attempt waits for a held file within the run's patience (RETRY): the
// attempts after it are those of a run without it.
class Retries : public RunEvents {
public:
    explicit Retries(RunEvents& events) : events_(events) {}
    uint32_t HeldFilePatience() override { return begun_again_ ? 0 : events_.HeldFilePatience(); }
    void FileHeld(FileAction action, const char* path, const char* target, uint32_t error,
                  uint32_t waited_ms, HeldWait wait) override {
        events_.FileHeld(action, path, target, error, waited_ms, wait);
    }
    void Undone(const UndoEvent& event) override {
        if (event.step == UndoStep::kFailed || event.step == UndoStep::kInUse) {
            last_ = event;
            last_path_ = event.path;
            last_.path = last_path_.c_str();
            waiting_ = true;
            return;
        }
        if (event.step == UndoStep::kBegun && begun_)
            return;
        begun_ = begun_ || event.step == UndoStep::kBegun;
        events_.Undone(event);
    }
    void Attempted() {
        waiting_ = false;
        begun_again_ = true;
    }
    void End() {
        if (waiting_)
            events_.Undone(last_);
    }

private:
    RunEvents& events_;
    UndoEvent last_ = {};
    TextBuffer last_path_;
    bool begun_ = false;
    bool waiting_ = false;
    bool begun_again_ = false;
};

}  // namespace

JournalEnd FinishJournalSoon(const TextBuffer& path, const TrustRule& rule, RunEvents& events,
                             TextBuffer* failed) {
    Retries told(events);
    JournalEnd end = FinishJournal(path, rule, told, failed);
    for (int wait = 0; wait < 20 && (end == JournalEnd::kInUse || end == JournalEnd::kNotRestored);
         ++wait) {
        Sleep(100);
        told.Attempted();
        end = FinishJournal(path, rule, told, failed);
    }
    told.End();
    return end;
}

void ListJournals(const List<TextBuffer>& folders, List<TextBuffer>& journals) {
    struct Found {
        uint64_t created;
        TextBuffer path;
    };
    List<Found> found;
    for (const TextBuffer& folder : folders) {
        ForEachMatch(
            JoinPath(folder, "*.jnl"), [&](const TextBuffer& path, const WIN32_FIND_DATAA& entry) {
                if (!(entry.dwFileAttributes &
                      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
                    found.Add({(static_cast<uint64_t>(entry.ftCreationTime.dwHighDateTime) << 32) |
                                   entry.ftCreationTime.dwLowDateTime,
                               path});
                return true;
            });
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.created > b.created; });
    for (const Found& one : found) journals.Add(one.path);
}
