#include "app/undo_recovery.h"

#include <windows.h>

#include <algorithm>

#include "app/undo_files.h"
#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"

namespace {

bool Exists(const TextBuffer& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Notes the first path that could not be put back.
class Outcome {
public:
    void Check(const Status& status, const TextBuffer& path) {
        if (!status && failed_.IsEmpty())
            failed_ = path;
    }
    bool Ok() const { return failed_.IsEmpty(); }
    const TextBuffer& Failed() const { return failed_; }

private:
    TextBuffer failed_;
};

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

class Undo {
public:
    Undo(const JournalPlace& place, const List<Record>& records)
        : place_(place), records_(records) {
        asides_.Add(place.aside);
        for (const Record& record : records) {
            if (record.type == RecordType::kAsideFolder)
                asides_.Add(record.path);
        }
    }

    // Newest first, a part at a time: each procedure's single records, then
    // its places. A part done is noted in the journal, on the disk, before
    // the part before it begins: an undo begun again never repeats a later
    // part once an earlier one has changed what that part found. A part that
    // fails ends the undo there, to be begun again later.
    void Run(HANDLE journal) {
        int end = records_.Count();
        for (int start = end - 1; start >= -1; --start) {
            if (start >= 0 && records_[start].type != RecordType::kProcedure)
                continue;
            // Records before the first procedure's belong to none (number 0).
            const uint32_t procedure = start >= 0 ? records_[start].number : 0;
            int places_end = start + 1;
            while (places_end < end && records_[places_end].type == RecordType::kPlace)
                ++places_end;
            if (!Undone(procedure, 'r')) {
                for (int i = end - 1; i >= places_end; --i) UndoRecord(records_[i]);
                if (!outcome_.Ok())
                    return;
                Note(journal, procedure, 'r');
            }
            if (places_end > start + 1 && !Undone(procedure, 'p')) {
                RestorePlaces(procedure, start + 1, places_end - 1);
                if (!outcome_.Ok())
                    return;
                Note(journal, procedure, 'p');
            }
            end = start;
        }
    }
    const Outcome& Result() const { return outcome_; }
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

    static void Note(HANDLE journal, uint32_t procedure, char part) {
        Record record;
        record.type = RecordType::kUndone;
        record.how = part;
        record.number = procedure;
        AppendRecord(journal, record);
    }

    // A move whose failure was recorded after it; each cancels one.
    bool Cancelled(const Record& move) {
        for (const Record*& cancel : cancelled_) {
            if (cancel != nullptr && EqualsNoCase(cancel->path.c_str(), move.path.c_str()) &&
                EqualsNoCase(cancel->other.c_str(), move.other.c_str())) {
                cancel = nullptr;
                return true;
            }
        }
        return false;
    }

    // A file set aside is put back over whatever replaced it; a copy goes
    // into a file that is there, so that the file keeps its permissions.
    Status PutBack(const TextBuffer& slot, bool copied, const TextBuffer& path) {
        FileState here, kept;
        if (!ReadState(slot.c_str(), &kept))
            return Status::Failed(ERROR_FILE_NOT_FOUND);
        if (copied && !IsFolderState(kept) && ReadState(path.c_str(), &here) &&
            !IsFolderState(here)) {
            return CopyInto(slot, path);
        }
        const Status removed = RemoveTree(path);
        if (!removed)
            return removed;
        return MoveBack(slot, path);
    }

    void UndoRecord(const Record& record) {
        const TextBuffer& path = record.path;
        switch (record.type) {
            case RecordType::kSetAside:
                if (Exists(record.other))
                    outcome_.Check(PutBack(record.other, record.how == 'c', path), path);
                if (Exists(path)) {
                    outcome_.Check(PutState(path.c_str(), record.state), path);
                }
                break;
            case RecordType::kCreated:
                outcome_.Check(RemoveTree(path), path);
                break;
            case RecordType::kMoved:
                if (!Cancelled(record))
                    MoveBackRecord(record);
                break;
            case RecordType::kCancelled:
                cancelled_.Add(&record);
                break;
            case RecordType::kState:
                if (record.how == 'd' && !Exists(path))
                    outcome_.Check(CallStatus(CreateDirectoryA(path.c_str(), nullptr)), path);
                if (Exists(path))
                    outcome_.Check(PutState(path.c_str(), record.state), path);
                break;
            default:
                break;
        }
    }

    // A pattern's matches went into one folder, each under its own name.
    void MoveBackRecord(const Record& record) {
        if (!HasWildcard(record.path)) {
            outcome_.Check(MoveBack(record.other, record.path), record.path);
            FileState state;
            if (ReadState(record.path.c_str(), &state) && !IsFolderState(state))
                outcome_.Check(PutState(record.path.c_str(), record.state), record.path);
            return;
        }
        const TextBuffer folder = ParentOf(record.path);
        WIN32_FIND_DATAA entry;
        {
            FindHandle search((record.other + "\\*").c_str(), &entry);
            if (search.IsValid()) {
                do {
                    if (entry.cFileName[0] == '.' &&
                        (entry.cFileName[1] == '\0' ||
                         (entry.cFileName[1] == '.' && entry.cFileName[2] == '\0'))) {
                        continue;
                    }
                    const TextBuffer back = JoinPath(folder, entry.cFileName);
                    outcome_.Check(MoveBack(JoinPath(record.other, entry.cFileName), back), back);
                } while (FindNextFileA(search.Get(), &entry));
            }
        }
        RemoveDirectoryA(record.other.c_str());
    }

    // The set-aside file of place index of a procedure, in any of the
    // set-aside folders; copied tells a copy from a renamed file.
    bool FindSlot(uint32_t procedure, int index, TextBuffer* slot, bool* copied) const {
        const TextBuffer name = SlotName(procedure, "", static_cast<uint32_t>(index));
        for (const TextBuffer& aside : asides_) {
            *slot = aside + "\\" + name;
            *copied = false;
            if (Exists(*slot))
                return true;
            *slot = *slot + "c";
            *copied = true;
            if (Exists(*slot))
                return true;
        }
        return false;
    }

    // The journal and its set-aside folders are never taken for something
    // the procedure made.
    bool IsJournalsOwn(const TextBuffer& path) const {
        if (IsAtOrBelow(place_.file.c_str(), path.c_str()))
            return true;
        for (const TextBuffer& aside : asides_) {
            if (IsAtOrBelow(aside.c_str(), path.c_str()))
                return true;
        }
        return false;
    }

    // What is in a listed folder now but was not before the procedure goes.
    void RemoveNewEntries(const Place& folder, const PlaceIndex& places) {
        WIN32_FIND_DATAA entry;
        List<TextBuffer> found;
        {
            FindHandle search(JoinPath(folder.path, "*").c_str(), &entry);
            if (!search.IsValid())
                return;
            do {
                const TextBuffer path = JoinPath(folder.path, entry.cFileName);
                if (entry.cFileName[0] == '.' &&
                    (entry.cFileName[1] == '\0' ||
                     (entry.cFileName[1] == '.' && entry.cFileName[2] == '\0'))) {
                    continue;
                }
                if (places.Find(path.c_str()) < 0 && !IsJournalsOwn(path))
                    found.Add(path);
            } while (FindNextFileA(search.Get(), &entry));
        }
        for (const TextBuffer& path : found) outcome_.Check(RemoveTree(path), path);
    }

    // Puts the places of a procedure back as they were before it: first
    // what it made goes, then what it set aside comes back (folders before
    // what is in them), then attributes and times (what is in a folder
    // before the folder, whose times every change inside moves).
    void RestorePlaces(uint32_t procedure, int first, int last) {
        PlaceIndex places;
        for (int i = first; i <= last; ++i) {
            Place place;
            place.kind = static_cast<PlaceKind>(records_[i].how);
            place.state = records_[i].state;
            place.path = records_[i].path;
            if (places.Add(place) < 0) {
                outcome_.Check(Status::Failed(ERROR_NOT_ENOUGH_MEMORY), place.path);
                return;
            }
        }
        List<int> order;
        for (int i = 0; i < places.Count(); ++i) order.Add(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return PathDepth(places[a].path.c_str()) < PathDepth(places[b].path.c_str());
        });
        for (int i : order) {
            const Place& place = places[i];
            if (place.kind == PlaceKind::kAbsent && Exists(place.path) &&
                !IsJournalsOwn(place.path))
                outcome_.Check(RemoveTree(place.path), place.path);
            else if (place.kind == PlaceKind::kFolder && IsFolder(place.path.c_str()))
                RemoveNewEntries(place, places);
        }
        for (int i : order) {
            const Place& place = places[i];
            if (place.kind == PlaceKind::kAbsent || place.kind == PlaceKind::kEnclosing)
                continue;
            TextBuffer slot;
            bool copied = false;
            if (FindSlot(procedure, i, &slot, &copied)) {
                outcome_.Check(PutBack(slot, copied, place.path), place.path);
            } else if (!Exists(place.path)) {
                // A folder removed for good is made again; a file cannot be.
                outcome_.Check(place.kind == PlaceKind::kFile
                                   ? Status::Failed(ERROR_FILE_NOT_FOUND)
                                   : CallStatus(CreateDirectoryA(place.path.c_str(), nullptr)),
                               place.path);
            }
        }
        for (int k = order.Count() - 1; k >= 0; --k) {
            const Place& place = places[order[k]];
            if (place.kind == PlaceKind::kAbsent || !Exists(place.path))
                continue;
            const Status put = PutState(place.path.c_str(), place.state);
            // The times of a folder around the places are kept where the
            // account may set them; that it may not never blocks an undo.
            if (place.kind != PlaceKind::kEnclosing)
                outcome_.Check(put, place.path);
        }
    }

    const JournalPlace& place_;
    const List<Record>& records_;
    List<TextBuffer> asides_;
    List<const Record*> cancelled_;
    Outcome outcome_;
};

// The whole file; false when it cannot be read.
bool ReadAll(HANDLE file, ByteArray& bytes) {
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || !bytes.Allocate(size))
        return false;
    DWORD read = 0;
    return size == 0 || (ReadFile(file, bytes.Data(), size, &read, nullptr) && read == size);
}

}  // namespace

void RemoveJournal(const JournalPlace& place, const List<TextBuffer>& other_asides) {
    RemoveTree(place.aside);
    for (const TextBuffer& aside : other_asides) RemoveTree(aside);
    DeleteFileA(place.file.c_str());
    // The journals' folders go once they are empty.
    const TextBuffer folder = ParentOf(place.file);
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA(ParentOf(folder).c_str());
}

JournalEnd FinishJournal(const JournalPlace& place, TextBuffer* failed) {
    // Shared for reading only: a run of the same script that is going on
    // holds its journal open for writing, and must not be undone under its
    // feet; a program that only reads it (a virus scanner) is no hindrance.
    UniqueHandle file(CreateFileA(place.file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return JournalEnd::kInUse;
        // Set-aside files left when a completed run's cleanup was cut short.
        RemoveTree(place.aside);
        return JournalEnd::kNone;
    }
    ByteArray bytes;
    List<Record> records;
    if (ReadAll(file.Get(), bytes))
        ParseJournal(reinterpret_cast<const char*>(bytes.Data()), bytes.Size(), records);
    // A journal of another script that shares the name is left alone.
    if (records.Count() > 0 && (records[0].type != RecordType::kHeader ||
                                !EqualsNoCase(records[0].path.c_str(), place.script.c_str()))) {
        return JournalEnd::kNone;
    }
    // A journal without a header was cut short before its run changed anything.
    JournalEnd end = records.Count() == 0 ? JournalEnd::kNone : JournalEnd::kRestored;
    bool finished = end == JournalEnd::kNone;
    for (const Record& record : records) {
        if (record.type == RecordType::kCompleted)
            end = JournalEnd::kCompleted;
        finished = finished || record.type == RecordType::kCompleted ||
                   record.type == RecordType::kRestored;
    }
    Undo undo(place, records);
    if (!finished) {
        undo.Run(file.Get());
        if (!undo.Result().Ok()) {
            *failed = undo.Result().Failed();
            return JournalEnd::kNotRestored;
        }
        // Once this is on the disk, the set-aside files are no longer needed.
        Record restored;
        restored.type = RecordType::kRestored;
        AppendRecord(file.Get(), restored);
    }
    file.Reset();
    List<TextBuffer> others;
    for (int i = 1; i < undo.Asides().Count(); ++i) others.Add(undo.Asides()[i]);
    RemoveJournal(place, others);
    return end;
}

JournalEnd FinishJournalSoon(const JournalPlace& place, TextBuffer* failed) {
    JournalEnd end = FinishJournal(place, failed);
    for (int wait = 0; wait < 20 && (end == JournalEnd::kInUse || end == JournalEnd::kNotRestored);
         ++wait) {
        Sleep(100);
        end = FinishJournal(place, failed);
    }
    return end;
}
