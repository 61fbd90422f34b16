#include "undo/undo_journal.h"

#include <windows.h>

#include "base/paths.h"
#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
#include "undo/undo_files.h"

namespace {

// CopyFileA will not write over a file with any of these (Windows).
const uint32_t kRefusesOverwrite =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Files written whose fingerprints wait to be read together, at most.
const int kMostUnprinted = 1024;

// A change to a path the journal cannot name is not made; an empty path
// fails by itself.
Status Unnamed(const char* path) {
    return path[0] == '\0' ? Status::Done() : Status::Failed(ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace

UndoJournal::UndoJournal(JournalOutput& output, const List<Record>& header, const TextBuffer& aside,
                         PSID maker, uint32_t run_number, RunEvents& events)
    : events_(events), writer_(output, header), aside_(writer_, aside, maker, run_number) {}

bool UndoJournal::Complete(JournalFile& file) {
    unprinted_.Clear();  // nothing of the run is undone now
    // The run is complete once its journal is gone: on one volume the
    // deletion reaches the disk before any set-aside file's does. With
    // set-aside folders on other volumes, or a journal that cannot be
    // deleted, a last record says so first.
    file.Close();
    bool committed = aside_.OtherFolders().Count() == 0 && DeleteFileA(file.Path().c_str());
    if (!committed)
        committed =
            static_cast<bool>(writer_.Announce(MakeRecord(RecordType::kCompleted, '-', "")));
    file.Close();
    aside_.CloseHeld(committed);
    return committed;
}

void UndoJournal::Stop() {
    NotePrints();
    writer_.WriteNotes();
    aside_.CloseHeld(false);
}

Status UndoJournal::Tell(RecordType type, char how, const TextBuffer& path,
                         const TextBuffer& other) {
    return writer_.Tell(MakeRecord(type, how, path, other));
}

Status UndoJournal::Announce(RecordType type, char how, const TextBuffer& path,
                             const FileState& state, const TextBuffer& other) {
    Record record = MakeRecord(type, how, path, other);
    record.state = state;
    return writer_.Announce(record);
}

void UndoJournal::ProcedureStarting(const Procedure& procedure, int) {
    // How the last procedure left what it wrote goes out before this one
    // begins, whether it writes anything or only waits.
    NotePrints();
    writer_.WriteNotes();
    if (!writer_.State())
        return;
    ++procedure_;
    single_slots_ = 0;
    if (!book_.Begin(procedure)) {
        writer_.Break(Status::Failed(ERROR_NOT_ENOUGH_MEMORY));
        return;
    }
    const PlaceIndex& places = book_.Places();
    if (places.Count() == 0)
        return;
    JournalBatch batch;
    Record head = MakeRecord(RecordType::kProcedure, '-', "");
    head.number = procedure_;
    batch.Add(head);
    for (int i = 0; i < places.Count(); ++i) batch.AddPlace(places[i]);
    writer_.Announce(batch);
}

Status UndoJournal::Keep(const TextBuffer& full, const FileState& state, int place, Use use,
                         bool* renamed) {
    // A place's set-aside name follows from the places; any other is announced.
    const TextBuffer name = place < 0 ? SlotName(procedure_, "e", single_slots_++)
                                      : SlotName(procedure_, "", static_cast<uint32_t>(place));
    return RetryHeldFile(events_, pending_.action, full.c_str(), "",
                         [&] { return KeepAs(full, state, place, name, use, renamed); });
}

Status UndoJournal::KeepAs(const TextBuffer& full, const FileState& state, int place,
                           const TextBuffer& name, Use use, bool* renamed) {
    *renamed = false;
    const bool single = place < 0;
    TextBuffer slot;
    if (IsFolderState(state)) {
        // A folder goes aside whole where deleting it would have worked.
        if (use == Use::kDelete && CanDeleteTree(full) &&
            aside_.PutAside(full, name, Aside::kRename, nullptr, single, state, &slot)) {
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
            aside_.PutAside(full, name, Aside::kRenameOpen, file.Get(), single, state, &slot)) {
            *renamed = true;
            pending_.renamed = {full, slot, place, aside_.Hold(file.Release()), single};
            return Status::Done();
        }
    }
    // The change then runs on the file itself, and fails or not as it would have.
    return aside_.CopyAside(full, name, single, state, &slot);
}

Status UndoJournal::BeforeWrite(const char* path, Use use, char made) {
    const TextBuffer full = FullPathOf(path);
    if (full.IsEmpty())
        return Unnamed(path);
    FileState state;
    if (!ReadState(full.c_str(), &state))
        return NoteMade(full, made);
    int place = -1;
    const Standing standing = book_.StandingOf(full, true, &place);
    // Writing over a folder fails by itself.
    if (IsFolderState(state) && use != Use::kRewriteInPlace)
        return Status::Done();
    if (standing == Standing::kOriginal || standing == Standing::kUnknown) {
        bool renamed = false;
        const Status kept = Keep(full, state, place, use, &renamed);
        if (!kept)
            return kept;
        if (place >= 0)
            book_.SetKept(place, true);
    }
    pending_.written = full;
    return Tell(RecordType::kWritten, '-', full);
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
    const Status target_kept = BeforeWrite(target, Use::kDeleteAndWrite, 'f');
    if (!target_kept)
        return target_kept;
    if (!ReadState(from.c_str(), &state))
        return Status::Done();  // nothing to move: the move fails by itself
    int place = -1;
    const Standing standing = book_.StandingOf(from, true, &place);
    // What the run made goes back to where its records name it, which
    // nothing but the undo needs: told, not forced to the disk.
    if (standing == Standing::kNew || standing == Standing::kKept)
        return Tell(RecordType::kMoved, 'n', from, to);
    // A second name keeps the file where the move cannot take it.
    TextBuffer slot;
    if (standing == Standing::kOriginal && !IsFolderState(state) &&
        aside_.PutAside(from, SlotName(procedure_, "", static_cast<uint32_t>(place)), Aside::kLink,
                        nullptr, false, state, &slot)) {
        pending_.linked = {from, slot, place, -1, false};
        book_.SetKept(place, true);
        return Status::Done();
    }
    const Status noted = Announce(RecordType::kMoved, '-', from, state, to);
    if (!noted)
        return noted;
    pending_.moved_from = from;
    pending_.moved_to = to;
    if (place >= 0)
        book_.SetKept(place, true);
    return noted;
}

Status UndoJournal::NoteShellMove(const char* source, const char* target) {
    const TextBuffer from = FullPathOf(source), to = FullPathOf(target);
    if (from.IsEmpty() || to.IsEmpty())
        return from.IsEmpty() ? Unnamed(source) : Unnamed(target);
    FileState state;
    ReadState(from.c_str(), &state);
    return Announce(RecordType::kMoved, '-', from, state, to);
}

Status UndoJournal::NoteMade(const TextBuffer& full, char how) {
    if (full.IsEmpty())
        return Status::Done();
    book_.NoteMade(full);
    if (how != 'd') {
        pending_.written = full;
        pending_.tree = how == 't';
    }
    return Tell(RecordType::kMade, how, full);
}

Status UndoJournal::NoteState(const char* path, char how) {
    const TextBuffer full = FullPathOf(path);
    FileState state;
    if (full.IsEmpty())
        return Unnamed(path);
    if (!ReadState(full.c_str(), &state))
        return Status::Done();
    int place = -1;
    if (book_.StandingOf(full, true, &place) != Standing::kUnknown)
        return Status::Done();
    return Announce(RecordType::kState, how, full, state);
}

Status UndoJournal::FileChanging(FileAction action, const char* path, const char* target) {
    pending_ = PendingChange();
    pending_.action = action;
    const FileActionTraits& traits = TraitsOf(action);
    const bool writes =
        traits.effect == FileEffect::kWritesTarget || traits.effect == FileEffect::kWritesPath;
    // Nothing but another write may touch the files written so far before
    // their fingerprints are read; the shell may touch anything.
    if (!writes || traits.shell)
        NotePrints();
    if (!writer_.State())
        return writer_.State();
    // A shell's copy may make or change a whole tree.
    const char tree = traits.shell ? 't' : 'f';
    switch (traits.effect) {
        case FileEffect::kWritesTarget:
            return BeforeWrite(target, traits.in_place ? Use::kRewriteInPlace : Use::kOverwrite,
                               tree);
        case FileEffect::kWritesPath:
            return BeforeWrite(path, Use::kOverwrite, tree);
        case FileEffect::kMoves:
            return traits.shell ? NoteShellMove(path, target) : BeforeMove(path, target);
        case FileEffect::kMakes: {
            const TextBuffer full = FullPathOf(path);
            return full.IsEmpty() ? Unnamed(path) : NoteMade(full, 'd');
        }
        case FileEffect::kSetsPath:
            return NoteState(path, 'f');
        case FileEffect::kDeletes:
            break;  // taken, or let through, in TakeChange
    }
    return Status::Done();
}

bool UndoJournal::TakeChange(FileAction action, const char* path, const char*, Status* status) {
    const FileActionTraits& traits = TraitsOf(action);
    if (traits.effect != FileEffect::kDeletes)
        return false;
    return traits.shell    ? TakeShellDeletion(path, status)
           : traits.folder ? TakeFolderRemoval(path, status)
                           : TakeDeletion(path, status);
}

UndoJournal::Deletion UndoJournal::DeletionOf(const char* path, Found* found, Status* status) {
    found->full = FullPathOf(path);
    if (found->full.IsEmpty() && path[0] != '\0') {
        *status = Unnamed(path);
        return Deletion::kRefused;
    }
    if (found->full.IsEmpty() || !ReadState(found->full.c_str(), &found->state))
        return Deletion::kNothingThere;
    found->standing = book_.StandingOf(found->full, true, &found->place);
    return Deletion::kThere;
}

bool UndoJournal::TakeDeletion(const char* path, Status* status) {
    Found found;
    const Deletion deletion = DeletionOf(path, &found, status);
    if (deletion != Deletion::kThere)
        return deletion == Deletion::kRefused;
    if (found.standing == Standing::kNew || found.standing == Standing::kKept)
        return false;
    bool renamed = false;
    const Status kept = Keep(found.full, found.state, found.place, Use::kDelete, &renamed);
    pending_.renamed = PendingChange::Undoable();  // a deletion taken has nothing to put back
    if (kept && found.place >= 0)
        book_.SetKept(found.place, true);
    if (kept && !renamed)
        return false;  // copied: the deletion itself runs
    *status = kept;
    return true;
}

bool UndoJournal::TakeShellDeletion(const char* path, Status* status) {
    if (!HasWildcard(path))
        return TakeDeletion(path, status);
    List<TextBuffer> matches;
    if (!ForEachMatch(path, [&](const TextBuffer& match, const WIN32_FIND_DATAA&) {
            return matches.Add(match);
        })) {
        return false;
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
    Found found;
    const Deletion deletion = DeletionOf(path, &found, status);
    if (deletion != Deletion::kThere)
        return deletion == Deletion::kRefused;
    if (found.standing == Standing::kUnknown) {
        // Made again, with its attributes and times, if the run is undone.
        const Status noted = Announce(RecordType::kState, 'd', found.full, found.state);
        if (noted)
            return false;
        *status = noted;
        return true;
    }
    // Renamed aside, keeping its permissions, only where removing it would
    // have worked; otherwise the removal runs and an undo makes it again.
    TextBuffer slot;
    if (found.standing != Standing::kOriginal || !IsEmptyFolder(found.full.c_str()) ||
        (found.state.attributes & FILE_ATTRIBUTE_READONLY) ||
        !aside_.PutAside(found.full, SlotName(procedure_, "", static_cast<uint32_t>(found.place)),
                         Aside::kRename, nullptr, false, found.state, &slot)) {
        return false;
    }
    book_.SetKept(found.place, true);
    *status = Status::Done();
    return true;
}

void UndoJournal::NoteWritten(const TextBuffer& written) {
    TextBuffer folder;
    if (!FolderOfPath(written.c_str(), folder))
        return;
    const char* name = written.c_str() + folder.Length() + 1;
    if (folder.Length() == 2 && folder.c_str()[1] == ':')
        folder.Append("\\");  // a drive's root
    if (!EqualsNoCase(folder.c_str(), print_folder_.c_str()) ||
        unprinted_.Count() >= kMostUnprinted)
        NotePrints();
    print_folder_ = folder;
    unprinted_.Add(name);
}

void UndoJournal::NotePrints() {
    if (unprinted_.Count() == 0)
        return;
    FolderListing listing(print_folder_);
    TextBuffer name;
    bool folder = false;
    Fingerprint print;
    while (listing.Next(&name, &folder, &print)) {
        if (!folder && unprinted_.Find(name.c_str()) >= 0) {
            Record record =
                MakeRecord(RecordType::kPrint, '-', JoinPath(print_folder_, name.c_str()));
            record.SetPrint(print);
            writer_.Note(record);
        }
    }
    unprinted_.Clear();
}

void UndoJournal::NoteTree(const TextBuffer& tree) {
    FolderListing listing(tree);
    TextBuffer name;
    bool folder = false;
    Fingerprint print;
    while (listing.Next(&name, &folder, &print)) {
        const TextBuffer path = JoinPath(tree, name.c_str());
        writer_.Note(MakeRecord(RecordType::kMade, folder ? 't' : 'f', path));
        if (folder) {
            NoteTree(path);
        } else {
            Record record = MakeRecord(RecordType::kPrint, '-', path);
            record.SetPrint(print);
            writer_.Note(record);
        }
    }
    writer_.Note(MakeRecord(RecordType::kPrint, 't', tree));
}

void UndoJournal::PutBackUnneeded() {
    PendingChange::Undoable& renamed = pending_.renamed;
    if (!renamed.path.IsEmpty() && !Exists(renamed.path) &&
        (renamed.held >= 0 ? RenameOpenFile(aside_.Held(renamed.held), renamed.path)
                           : RenameOnVolume(renamed.slot, renamed.path))) {
        if (renamed.held >= 0)
            aside_.Release(renamed.held);
        if (renamed.place >= 0)
            book_.SetKept(renamed.place, false);
        // Its record must not look for what is back in place.
        if (renamed.told)
            Tell(RecordType::kCancelled, 'a', renamed.path, renamed.slot);
    }
    const PendingChange::Undoable& linked = pending_.linked;
    if (!linked.path.IsEmpty() && Exists(linked.path) && DeleteFileA(linked.slot.c_str()) &&
        linked.place >= 0) {
        book_.SetKept(linked.place, false);
    }
}

void UndoJournal::FileActed(FileAction, const char*, const char*, uint32_t error) {
    if (error == 0 && pending_.tree) {
        NotePrints();
        NoteTree(pending_.written);
    } else if (error == 0 && !pending_.written.IsEmpty()) {
        NoteWritten(pending_.written);
    } else if (error != 0) {
        // A move that failed moved nothing: its record must not move anything back.
        if (!pending_.moved_from.IsEmpty())
            Announce(RecordType::kCancelled, '-', pending_.moved_from, FileState(),
                     pending_.moved_to);
        // What was set aside for a change that did not happen goes back.
        PutBackUnneeded();
    }
    pending_ = PendingChange();
}
