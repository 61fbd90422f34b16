#include "app/undo_journal.h"

#include <windows.h>
#include <shlobj.h>

#include "app/undo_files.h"
#include "base/system.h"
#include "procs/file/paths.h"
#include "procs/procedure.h"
#include "text/crc32.h"

namespace {

// A procedure lists at most this many places. Folders beyond stay unlisted,
// and every change there is recorded by itself.
const int kMostPlaces = 50000;

// CopyFileA will not write over a file with any of these (Windows).
const uint32_t kRefusesOverwrite =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Set-aside files held open at most; beyond, each is closed once renamed
// and deleted by name at the end. Every open file costs the system a little.
const int kMostHeld = 4096;

TextBuffer Hex8(uint32_t value) {
    char digits[9] = {};
    for (int i = 7; i >= 0; --i, value >>= 4) digits[i] = "0123456789ABCDEF"[value & 0xF];
    return TextBuffer(digits);
}

FileState StateOf(const WIN32_FIND_DATAA& entry) {
    FileState state;
    state.attributes = entry.dwFileAttributes;
    state.created = (static_cast<uint64_t>(entry.ftCreationTime.dwHighDateTime) << 32) |
                    entry.ftCreationTime.dwLowDateTime;
    state.written = (static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                    entry.ftLastWriteTime.dwLowDateTime;
    return state;
}

bool IsDots(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The folder a full path is in: "C:\" for "C:\x"; "" above a root.
TextBuffer FolderAbove(const TextBuffer& path) {
    if (path.Item(-1, "\\").IsEmpty())
        return TextBuffer();
    TextBuffer folder = ParentOf(path);
    const char* text = folder.c_str();
    if (text[0] != '\0' && text[1] == ':' && text[2] == '\0')
        folder.Append("\\");
    return folder;
}

bool Exists(const TextBuffer& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A change to a path the journal cannot name is not made; an empty path
// fails by itself.
Status Unnamed(const char* path) {
    return path[0] == '\0' ? Status::Done() : Status::Failed(ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace

int UndoJournal::HeldFiles::Add(HANDLE file) {
    if (files_.Count() < kMostHeld && files_.Add(file))
        return files_.Count() - 1;
    CloseHandle(file);
    return -1;
}

void UndoJournal::HeldFiles::Release(int i) {
    if (files_[i] != nullptr)
        CloseHandle(files_[i]);
    files_[i] = nullptr;
}

void UndoJournal::HeldFiles::Close(bool deleting) {
    for (HANDLE& file : files_) {
        if (file == nullptr)
            continue;
        if (deleting)
            DeleteWhenClosed(file);
        CloseHandle(file);
        file = nullptr;
    }
    files_.Clear();
}

bool UndoJournal::Begin() {
    TextBuffer value;
    enabled_ = run_.Keys().ReadOptionalText("UPDATER", "ROLLBACK", value) &&
               EqualsNoCase(value.c_str(), "YES");
    // Each account's own folder: no other account can plant a journal that
    // an elevated run would then replay.
    TextBuffer local;
    if (!run_.symbols.Lookups().SpecialFolder(CSIDL_LOCAL_APPDATA, local) || local.IsEmpty()) {
        if (!enabled_)
            return true;
        run_.reporter.Fail(kMsgPathFailed, {run_.script_path});
        return false;
    }
    // One journal for each script, named after its full path.
    place_.script = FullPathOf(run_.script_path.c_str());
    const TextBuffer folded = FoldedPath(place_.script.c_str());
    const TextBuffer key = Hex8(Crc32(folded.c_str(), folded.Length()));
    const TextBuffer folder = local + "\\Updater\\Undo\\";
    place_.file = folder + key + ".jnl";
    place_.aside = folder + key;
    TextBuffer failed;
    if (FinishJournalSoon(place_, &failed) == JournalEnd::kNotRestored) {
        run_.reporter.Fail(kMsgNotRestored, {failed});
        return false;
    }
    if (enabled_) {
        run_.events.Add(this);
        run_.reporter.HoldFailures();
        // Names the set-aside folders on other volumes apart from an earlier run's.
        run_number_ = GetTickCount() ^ (GetCurrentProcessId() << 16);
    }
    return true;
}

void UndoJournal::End(bool completed) {
    if (!enabled_)
        return;
    if (journal_.IsValid() && completed) {
        // The run is complete once its journal is gone: on one volume the
        // deletion reaches the disk before any set-aside file's does. With
        // set-aside folders on other volumes, or a journal that cannot be
        // deleted, a last record says so first.
        bool committed = false;
        if (volume_asides_.Count() == 0) {
            journal_.Reset();
            committed = DeleteFileA(place_.file.c_str()) != FALSE;
            if (!committed)
                journal_.Reset(CreateFileA(place_.file.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        }
        if (!committed && journal_.IsValid()) {
            JournalBatch batch;
            Record done;
            done.type = RecordType::kCompleted;
            batch.Add(done);
            SetFilePointer(journal_.Get(), 0, nullptr, FILE_END);
            committed = static_cast<bool>(Write(batch));
            journal_.Reset();
        }
        held_.Close(committed);
        if (committed)
            RemoveJournal(place_, volume_asides_);
    } else if (journal_.IsValid()) {
        journal_.Reset();
        held_.Close(false);
        TextBuffer failed;
        if (FinishJournalSoon(place_, &failed) == JournalEnd::kNotRestored)
            run_.reporter.Fail(kMsgNotRestored, {failed});
    }
    run_.reporter.ReleaseFailures();
}

Status UndoJournal::Write(JournalBatch& batch) {
    if (!broken_)
        return broken_;
    batch.Seal();
    DWORD written = 0;
    if (!journal_.IsValid()) {
        // Made with the first batch: a run that changes nothing writes nothing.
        CreateDirectoryA(ParentOf(ParentOf(place_.file)).c_str(), nullptr);
        CreateDirectoryA(ParentOf(place_.file).c_str(), nullptr);
        // Shared for reading only: another start of the script sees it in
        // use. Never over a journal that is there: it is another run's.
        journal_.Reset(CreateFileA(place_.file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!journal_.IsValid())
            return broken_ = LastErrorStatus();
        // What is in the set-aside folder must all be this run's.
        RemoveTree(place_.aside);
        CreateDirectoryA(place_.aside.c_str(), nullptr);
        JournalBatch header;
        Record head;
        head.type = RecordType::kHeader;
        head.number = run_number_;
        head.path = place_.script;
        head.other = place_.aside;
        header.Add(head);
        header.Seal();
        if (!WriteFile(journal_.Get(), header.Bytes(), static_cast<DWORD>(header.Length()),
                       &written, nullptr)) {
            return broken_ = LastErrorStatus();
        }
    }
    if (!batch.Complete())
        return broken_ = Status::Failed(ERROR_NOT_ENOUGH_MEMORY);
    // On the disk before the change it announces is made.
    if (!WriteFile(journal_.Get(), batch.Bytes(), static_cast<DWORD>(batch.Length()), &written,
                   nullptr) ||
        !FlushFileBuffers(journal_.Get())) {
        return broken_ = LastErrorStatus();
    }
    return Status::Done();
}

Status UndoJournal::Note(RecordType type, char how, const FileState& state, const TextBuffer& path,
                         const TextBuffer& other) {
    JournalBatch batch;
    Record record;
    record.type = type;
    record.how = how;
    record.state = state;
    record.path = path;
    record.other = other;
    batch.Add(record);
    return Write(batch);
}

void UndoJournal::ProcedureStarting(const Procedure& procedure, int) {
    places_.Clear();
    kept_.Clear();
    if (!broken_)
        return;
    const KindSpec& kind = *procedure.kind;
    for (int k = 0; k < kind.key_count; ++k) {
        if (!kind.keys[k].writes)
            continue;
        const TextBuffer& value = procedure.values[k];
        if (kind.keys[k].form != KeyForm::kList) {
            NotePlaces(value);
            continue;
        }
        const int count = value.ItemCount(",");
        for (int i = 0; i < count; ++i) NotePlaces(ListItem(value, i));
    }
    if (places_.Count() == 0)
        return;
    JournalBatch batch;
    Record head;
    head.type = RecordType::kProcedure;
    head.number = ++procedure_;
    batch.Add(head);
    for (int i = 0; i < places_.Count(); ++i) {
        batch.AddPlace(places_[i]);
        if (!kept_.Add(false)) {
            broken_ = Status::Failed(ERROR_NOT_ENOUGH_MEMORY);
            return;
        }
    }
    single_slots_ = 0;
    Write(batch);
}

void UndoJournal::NotePlaces(const TextBuffer& item) {
    // An item at the current drive's root is refused before the procedure runs.
    if (item.IsEmpty() || IsCurrentDriveRootPath(item))
        return;
    const TextBuffer full = FullPathOf(item.c_str());
    if (full.IsEmpty())
        return;
    FileState state;
    if (HasWildcard(full)) {
        const TextBuffer folder = FolderAbove(full);
        WIN32_FIND_DATAA entry;
        FindHandle search(full.c_str(), &entry);
        if (search.IsValid()) {
            do {
                if (IsDots(entry.cFileName))
                    continue;
                AddEntry(folder, entry);
            } while (FindNextFileA(search.Get(), &entry));
        }
        if (ReadState(folder.c_str(), &state))
            AddPlace(PlaceKind::kEnclosing, folder, state);
        return;
    }
    if (ReadState(full.c_str(), &state)) {
        const PlaceKind kind = !IsFolderState(state) ? PlaceKind::kFile
                               : (state.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                   ? PlaceKind::kUnlistedFolder
                                   : PlaceKind::kFolder;
        AddPlace(kind, full, state);
        const TextBuffer folder = FolderAbove(full);
        if (ReadState(folder.c_str(), &state))
            AddPlace(PlaceKind::kEnclosing, folder, state);
        return;
    }
    // Nothing there: it and each missing folder above it, up to the first that exists.
    TextBuffer level = full;
    while (!level.IsEmpty() && !ReadState(level.c_str(), &state)) {
        AddPlace(PlaceKind::kAbsent, level, FileState());
        level = FolderAbove(level);
    }
    if (!level.IsEmpty())
        AddPlace(PlaceKind::kEnclosing, level, state);
}

int UndoJournal::AddPlace(PlaceKind kind, const TextBuffer& path, const FileState& state) {
    int place = places_.Find(path.c_str());
    if (place >= 0) {
        // An enclosing folder may turn out to be a place itself; nothing else changes.
        if (places_[place].kind != PlaceKind::kEnclosing || kind == PlaceKind::kEnclosing)
            return place;
        places_.SetKind(place, kind);
    } else {
        if (places_.Count() >= kMostPlaces)
            return -1;
        Place added;
        added.kind = kind;
        added.state = state;
        added.path = path;
        place = places_.Add(added);
        if (place < 0) {
            broken_ = Status::Failed(ERROR_NOT_ENOUGH_MEMORY);
            return -1;
        }
    }
    if (kind == PlaceKind::kFolder)
        ListFolder(path, place);
    return place;
}

// An entry a search found in folder: a file, a folder to list, or a link
// to a folder, which is never entered.
void UndoJournal::AddEntry(const TextBuffer& folder, const WIN32_FIND_DATAA& entry) {
    const FileState state = StateOf(entry);
    const PlaceKind kind = !IsFolderState(state) ? PlaceKind::kFile
                           : (state.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                               ? PlaceKind::kUnlistedFolder
                               : PlaceKind::kFolder;
    AddPlace(kind, JoinPath(folder, entry.cFileName), state);
}

void UndoJournal::ListFolder(const TextBuffer& folder, int place) {
    WIN32_FIND_DATAA entry;
    FindHandle search(JoinPath(folder, "*").c_str(), &entry);
    bool listed = search.IsValid();
    if (listed) {
        do {
            if (IsDots(entry.cFileName))
                continue;
            if (places_.Count() >= kMostPlaces) {
                listed = false;
                break;
            }
            AddEntry(folder, entry);
        } while (FindNextFileA(search.Get(), &entry));
        listed = listed && GetLastError() == ERROR_NO_MORE_FILES;
    }
    // Only a folder listed to its end is known to hold nothing else.
    if (!listed)
        places_.SetKind(place, PlaceKind::kUnlistedFolder);
}

UndoJournal::Standing UndoJournal::StandingOf(const TextBuffer& full, bool exists,
                                              int* place) const {
    const int found = places_.Find(full.c_str());
    *place = -1;
    if (found >= 0) {
        switch (places_[found].kind) {
            case PlaceKind::kFile:
            case PlaceKind::kFolder:
            case PlaceKind::kUnlistedFolder:
                *place = found;
                return kept_[found] ? Standing::kKept : Standing::kOriginal;
            case PlaceKind::kAbsent:
                if (!exists || made_.Find(full.c_str()) >= 0)
                    return Standing::kNew;
                return Standing::kUnknown;
            default:
                return Standing::kUnknown;
        }
    }
    for (TextBuffer level = full; !level.IsEmpty(); level = FolderAbove(level)) {
        if (made_.Find(level.c_str()) >= 0)
            return Standing::kNew;
    }
    // Something there that the places do not know: another spelling, or
    // made by someone else.
    if (exists)
        return Standing::kUnknown;
    // Below a listed folder or a missing one, anything new is the run's.
    for (TextBuffer level = FolderAbove(full); !level.IsEmpty(); level = FolderAbove(level)) {
        const int above = places_.Find(level.c_str());
        if (above >= 0) {
            const PlaceKind kind = places_[above].kind;
            return kind == PlaceKind::kFolder || kind == PlaceKind::kAbsent ? Standing::kNew
                                                                            : Standing::kUnknown;
        }
    }
    return Standing::kUnknown;
}

Status UndoJournal::AsideFolderFor(const TextBuffer& full, TextBuffer* folder) {
    if (other_volume_.IsEmpty() || !IsAtOrBelow(full.c_str(), other_volume_.c_str())) {
        *folder = place_.aside;
        return Status::Done();
    }
    for (int i = 0; i < volume_roots_.Count(); ++i) {
        if (EqualsNoCase(volume_roots_[i].c_str(), other_volume_.c_str())) {
            *folder = volume_asides_[i];
            return Status::Done();
        }
    }
    // A folder of the run's own at that volume's root, recorded before
    // anything goes in, so that it is found and removed after a crash.
    for (uint32_t attempt = 0; attempt < 16; ++attempt) {
        const TextBuffer made = other_volume_ + "\\updater-undo-" + Hex8(run_number_ + attempt);
        const Status status = MakePrivateFolder(made);
        if (status) {
            const Status noted = Note(RecordType::kAsideFolder, '-', FileState(), made);
            if (!noted || !volume_roots_.Add(other_volume_) || !volume_asides_.Add(made)) {
                RemoveTree(made);
                return noted ? Status::Failed(ERROR_NOT_ENOUGH_MEMORY) : noted;
            }
            *folder = made;
            return Status::Done();
        }
        if (status.Error() != ERROR_ALREADY_EXISTS)
            return status;
    }
    return Status::Failed(ERROR_ALREADY_EXISTS);
}

Status UndoJournal::PutAside(const TextBuffer& full, const TextBuffer& name, Aside how, HANDLE file,
                             bool record, const FileState& state, TextBuffer* slot) {
    Status moved = Status::Failed(ERROR_NOT_SAME_DEVICE);
    for (int attempt = 0; attempt < 2 && moved.Error() == ERROR_NOT_SAME_DEVICE; ++attempt) {
        if (attempt > 0) {
            other_volume_ = VolumeRootOf(full);
            RemoveTrailingSeparators(other_volume_);
        }
        TextBuffer folder;
        const Status found = AsideFolderFor(full, &folder);
        if (!found)
            return found;
        *slot = folder + "\\" + name;
        if (record) {
            const Status noted = Note(RecordType::kSetAside, 'r', state, full, *slot);
            if (!noted)
                return noted;
        }
        moved = how == Aside::kLink         ? LinkOnVolume(full, *slot)
                : how == Aside::kRenameOpen ? RenameOpenFile(file, *slot)
                                            : RenameOnVolume(full, *slot);
    }
    return moved;
}

Status UndoJournal::Keep(const TextBuffer& full, const FileState& state, int place, Use use,
                         bool* renamed) {
    *renamed = false;
    // A place's set-aside name follows from the places; any other is recorded.
    const bool single = place < 0;
    const TextBuffer name = single ? SlotName(procedure_, "e", single_slots_++)
                                   : SlotName(procedure_, "", static_cast<uint32_t>(place));
    TextBuffer slot;
    if (IsFolderState(state)) {
        // A folder goes aside whole where deleting it would have worked.
        if (use == Use::kDelete && CanDeleteTree(full) &&
            PutAside(full, name, Aside::kRename, nullptr, single, state, &slot)) {
            *renamed = true;
            return Status::Done();
        }
    } else if (use == Use::kDelete ||
               (use == Use::kDeleteAndWrite && !(state.attributes & FILE_ATTRIBUTE_READONLY)) ||
               (use == Use::kOverwrite && !(state.attributes & kRefusesOverwrite))) {
        // Opening it asks what the change would; renaming the open file
        // takes no second look-up.
        UniqueHandle file(OpenToSetAside(
            full.c_str(), use == Use::kDelete && (state.attributes & FILE_ATTRIBUTE_READONLY)));
        if (file.IsValid() &&
            PutAside(full, name, Aside::kRenameOpen, file.Get(), single, state, &slot)) {
            *renamed = true;
            renamed_.path = full;
            renamed_.slot = slot;
            renamed_.place = place;
            renamed_.held = held_.Add(file.Release());
            return Status::Done();
        }
    }
    // The change then runs on the file itself, and fails or not as it would have.
    slot = place_.aside + "\\" + name + "c";
    if (single) {
        const Status noted = Note(RecordType::kSetAside, 'c', state, full, slot);
        if (!noted)
            return noted;
    }
    // Under its name only once it is whole and on the disk: an undo never
    // takes a copy cut short for the file.
    const TextBuffer part = slot + ".part";
    const Status copied = CopyToDisk(full, part);
    return copied ? RenameOnVolume(part, slot) : copied;
}

Status UndoJournal::BeforeWrite(const char* path, Use use) {
    const TextBuffer full = FullPathOf(path);
    if (full.IsEmpty())
        return Unnamed(path);
    FileState state;
    if (!ReadState(full.c_str(), &state))
        return NoteMade(full);
    int place = -1;
    const Standing standing = StandingOf(full, true, &place);
    if (standing == Standing::kNew || standing == Standing::kKept)
        return Status::Done();
    // Writing over a folder fails by itself.
    if (IsFolderState(state) && use != Use::kRewriteInPlace)
        return Status::Done();
    bool renamed = false;
    const Status kept = Keep(full, state, place, use, &renamed);
    if (kept && place >= 0)
        kept_[place] = true;
    return kept;
}

Status UndoJournal::BeforeMove(const char* source, const char* target) {
    const TextBuffer from = FullPathOf(source), to = FullPathOf(target);
    if (from.IsEmpty() || to.IsEmpty())
        return from.IsEmpty() ? Unnamed(source) : Unnamed(target);
    // A new spelling of the same name moves nothing. One file shows the same
    // attributes and times under both names: only then are they compared.
    FileState state, target_state;
    if (ReadState(to.c_str(), &target_state) &&
        (EqualsNoCase(from.c_str(), to.c_str()) ||
         (ReadState(from.c_str(), &state) && state.attributes == target_state.attributes &&
          state.created == target_state.created && state.written == target_state.written &&
          IsSameFile(from, to)))) {
        return Status::Done();
    }
    const Status target_kept = BeforeWrite(target, Use::kDeleteAndWrite);
    if (!target_kept)
        return target_kept;
    if (!ReadState(from.c_str(), &state))
        return Status::Done();  // nothing to move: the move fails by itself
    int place = -1;
    const Standing standing = StandingOf(from, true, &place);
    if (standing == Standing::kNew || standing == Standing::kKept)
        return Status::Done();
    // A second name keeps the file where the move cannot take it.
    TextBuffer slot;
    if (standing == Standing::kOriginal && !IsFolderState(state) &&
        PutAside(from, SlotName(procedure_, "", static_cast<uint32_t>(place)), Aside::kLink,
                 nullptr, false, state, &slot)) {
        linked_.path = from;
        linked_.slot = slot;
        linked_.place = place;
        kept_[place] = true;
        return Status::Done();
    }
    const Status noted = Note(RecordType::kMoved, '-', state, from, to);
    if (!noted)
        return noted;
    moved_from_ = from;
    moved_to_ = to;
    if (place >= 0)
        kept_[place] = true;
    return noted;
}

Status UndoJournal::NoteShellMove(const char* source, const char* target) {
    const TextBuffer from = FullPathOf(source), to = FullPathOf(target);
    if (from.IsEmpty() || to.IsEmpty())
        return from.IsEmpty() ? Unnamed(source) : Unnamed(target);
    FileState state;
    ReadState(from.c_str(), &state);
    return Note(RecordType::kMoved, '-', state, from, to);
}

Status UndoJournal::NoteMade(const TextBuffer& full) {
    if (full.IsEmpty())
        return Status::Done();
    int place = -1;
    const Standing standing = StandingOf(full, false, &place);
    // A place of the procedure is put back from what the places say.
    if (standing == Standing::kOriginal || standing == Standing::kKept)
        return Status::Done();
    const Status noted = standing == Standing::kUnknown
                             ? Note(RecordType::kCreated, '-', FileState(), full)
                             : Status::Done();
    if (noted) {
        Place made;
        made.path = full;
        made_.Add(made);  // when memory runs out, later changes there are recorded
    }
    return noted;
}

Status UndoJournal::NoteState(const char* path, char how) {
    const TextBuffer full = FullPathOf(path);
    FileState state;
    if (full.IsEmpty())
        return Unnamed(path);
    if (!ReadState(full.c_str(), &state))
        return Status::Done();
    int place = -1;
    if (StandingOf(full, true, &place) != Standing::kUnknown)
        return Status::Done();
    return Note(RecordType::kState, how, state, full);
}

Status UndoJournal::FileChanging(FileAction action, const char* path, const char* target) {
    renamed_ = Undoable();
    linked_ = Undoable();
    moved_from_ = TextBuffer();
    moved_to_ = TextBuffer();
    if (!broken_)
        return broken_;
    switch (action) {
        case FileAction::kCopied:
            return BeforeWrite(target, Use::kOverwrite);
        case FileAction::kShortcutSaved:
            return BeforeWrite(path, Use::kOverwrite);
        case FileAction::kResourcesUpdated:
        case FileAction::kShellCopied:
            return BeforeWrite(target, Use::kRewriteInPlace);
        case FileAction::kMoved:
            return BeforeMove(path, target);
        case FileAction::kShellMoved:
            return NoteShellMove(path, target);
        case FileAction::kFolderMade: {
            const TextBuffer full = FullPathOf(path);
            return full.IsEmpty() ? Unnamed(path) : NoteMade(full);
        }
        case FileAction::kAttributesSet:
            return NoteState(path, 'f');
        default:
            return Status::Done();  // deletions: taken, or let through, in TakeChange
    }
}

bool UndoJournal::TakeChange(FileAction action, const char* path, const char*, Status* status) {
    switch (action) {
        case FileAction::kDeleted:
            return TakeDeletion(path, status);
        case FileAction::kShellDeleted:
            return TakeShellDeletion(path, status);
        case FileAction::kFolderRemoved:
            return TakeFolderRemoval(path, status);
        default:
            return false;
    }
}

UndoJournal::Deletion UndoJournal::DeletionOf(const char* path, TextBuffer& full, FileState& state,
                                              Status* status) {
    full = FullPathOf(path);
    if (full.IsEmpty() && path[0] != '\0') {
        *status = Unnamed(path);
        return Deletion::kRefused;
    }
    return full.IsEmpty() || !ReadState(full.c_str(), &state) ? Deletion::kNothingThere
                                                              : Deletion::kThere;
}

bool UndoJournal::TakeDeletion(const char* path, Status* status) {
    TextBuffer full;
    FileState state;
    const Deletion deletion = DeletionOf(path, full, state, status);
    if (deletion != Deletion::kThere)
        return deletion == Deletion::kRefused;
    int place = -1;
    const Standing standing = StandingOf(full, true, &place);
    if (standing == Standing::kNew || standing == Standing::kKept)
        return false;
    bool renamed = false;
    const Status kept = Keep(full, state, place, Use::kDelete, &renamed);
    renamed_ = Undoable();  // a deletion taken has nothing to put back
    if (kept && place >= 0)
        kept_[place] = true;
    if (kept && !renamed)
        return false;  // copied: the deletion itself runs
    *status = kept;
    return true;
}

bool UndoJournal::TakeShellDeletion(const char* path, Status* status) {
    if (!HasWildcard(path))
        return TakeDeletion(path, status);
    const TextBuffer folder = ParentOf(path);
    List<TextBuffer> matches;
    {
        WIN32_FIND_DATAA entry;
        FindHandle search(path, &entry);
        if (!search.IsValid())
            return false;
        do {
            if (!IsDots(entry.cFileName) && !matches.Add(JoinPath(folder, entry.cFileName)))
                return false;
        } while (FindNextFileA(search.Get(), &entry));
    }
    // Taken only when every match is set aside; otherwise the shell deletes
    // what is left, as it would have.
    bool all = true;
    for (const TextBuffer& match : matches) {
        Status one = Status::Done();
        if (!TakeDeletion(match.c_str(), &one)) {
            all = false;
        } else if (!one) {
            *status = one;
            return true;
        }
    }
    if (!all)
        return false;
    *status = Status::Done();
    return true;
}

bool UndoJournal::TakeFolderRemoval(const char* path, Status* status) {
    TextBuffer full;
    FileState state;
    const Deletion deletion = DeletionOf(path, full, state, status);
    if (deletion != Deletion::kThere)
        return deletion == Deletion::kRefused;
    int place = -1;
    const Standing standing = StandingOf(full, true, &place);
    if (standing == Standing::kUnknown) {
        // Made again, with its attributes and times, if the run is undone.
        const Status noted = Note(RecordType::kState, 'd', state, full);
        if (noted)
            return false;
        *status = noted;
        return true;
    }
    // Renamed aside, keeping its permissions, only where removing it would
    // have worked; otherwise the removal runs and an undo makes it again.
    TextBuffer slot;
    if (standing != Standing::kOriginal || !IsEmptyFolder(full.c_str()) ||
        (state.attributes & FILE_ATTRIBUTE_READONLY) ||
        !PutAside(full, SlotName(procedure_, "", static_cast<uint32_t>(place)), Aside::kRename,
                  nullptr, false, state, &slot)) {
        return false;
    }
    kept_[place] = true;
    *status = Status::Done();
    return true;
}

void UndoJournal::FileActed(FileAction, const char*, const char*, uint32_t error) {
    if (error != 0) {
        // A move that failed moved nothing: its record must not move anything back.
        if (!moved_from_.IsEmpty())
            Note(RecordType::kCancelled, '-', FileState(), moved_from_, moved_to_);
        // What was set aside for a change that did not happen goes back.
        if (!renamed_.path.IsEmpty() && !Exists(renamed_.path) &&
            (renamed_.held >= 0 ? RenameOpenFile(held_.Get(renamed_.held), renamed_.path)
                                : RenameOnVolume(renamed_.slot, renamed_.path))) {
            if (renamed_.held >= 0)
                held_.Release(renamed_.held);
            if (renamed_.place >= 0)
                kept_[renamed_.place] = false;
        }
        if (!linked_.path.IsEmpty() && Exists(linked_.path) && DeleteFileA(linked_.slot.c_str()) &&
            linked_.place >= 0) {
            kept_[linked_.place] = false;
        }
    }
    renamed_ = Undoable();
    linked_ = Undoable();
    moved_from_ = TextBuffer();
    moved_to_ = TextBuffer();
}
