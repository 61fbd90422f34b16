// ROLLBACK=YES: the journal of a run, listening to its changes. Before each
// procedure it announces what the places the procedure writes hold (names,
// attributes, times); before each change it sets aside whatever the change
// would destroy, renamed on its own volume where the change could have
// removed it as well, copied otherwise; it tells what the run makes or writes
// before it does, and notes how the run left each file it wrote.
#pragma once

#include "procs/run_events.h"
#include "undo/aside_store.h"
#include "undo/journal_writer.h"
#include "undo/place_book.h"

// What the change under way set aside or recorded, for when it is done.
struct PendingChange {
    // A set-aside that goes back when the change then fails.
    struct Undoable {
        TextBuffer path;
        TextBuffer slot;
        int place = -1;
        int held = -1;      // its handle in the aside store, if it is held
        bool told = false;  // announced by a record of its own
    };
    Undoable renamed;                         // renamed aside
    Undoable linked;                          // given a second name aside
    TextBuffer moved_from, moved_to;          // a move announced
    TextBuffer written;                       // what the change writes: its fingerprint once done
    bool tree = false;                        // written is a tree the shell makes
    FileAction action = FileAction::kCopied;  // the change itself
};

class UndoJournal : public RunEvents {
public:
    // output: where the journal goes; aside: the run's set-aside folder;
    // maker: who besides SYSTEM and Administrators may use the folders made
    // on other volumes; header: the records the journal begins with; events:
    // the run's, told of each wait for a file that another program holds.
    UndoJournal(JournalOutput& output, const List<Record>& header, const TextBuffer& aside,
                PSID maker, uint32_t run_number, RunEvents& events);
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    // The journal exists: something was written.
    bool Started() const { return writer_.Started(); }
    // A completed run: the set-aside files go once the journal is gone or
    // says so; false when it could not be told. held_deleted: files held
    // aside are deleted through their handles.
    bool Complete(JournalFile& file);
    // Any other end: everything the run noted is written, and held files
    // are let go untouched.
    void Stop();
    const List<TextBuffer>& OtherFolders() const { return aside_.OtherFolders(); }

    void ProcedureStarting(const Procedure& procedure, int depth) override;
    Status FileChanging(FileAction action, const char* path, const char* target) override;
    bool TakeChange(FileAction action, const char* path, const char* target,
                    Status* status) override;
    void FileActed(FileAction action, const char* path, const char* target,
                   uint32_t error) override;

private:
    // How the change treats what is there, which decides whether renaming it
    // aside gives the change the outcome it would have had.
    enum class Use {
        kOverwrite,       // written over (CopyFileA, a shortcut's save)
        kDeleteAndWrite,  // deleted, then written (a move onto it)
        kDelete,          // deleted
        kRewriteInPlace,  // changed where it is: always copied
    };

    // Keeps what is at full before the change: renamed aside where the
    // change could have removed it as well, copied otherwise. While another
    // program holds the file, it is tried again within the run's patience.
    Status Keep(const TextBuffer& full, const FileState& state, int place, Use use, bool* renamed);
    Status KeepAs(const TextBuffer& full, const FileState& state, int place, const TextBuffer& name,
                  Use use, bool* renamed);
    Status Tell(RecordType type, char how, const TextBuffer& path,
                const TextBuffer& other = TextBuffer());
    Status Announce(RecordType type, char how, const TextBuffer& path, const FileState& state,
                    const TextBuffer& other = TextBuffer());

    // made: how a path that is not there is told when the change makes it.
    Status BeforeWrite(const char* path, Use use, char made);
    Status BeforeMove(const char* source, const char* target);
    Status NoteShellMove(const char* source, const char* target);
    Status NoteMade(const TextBuffer& full, char how);
    Status NoteState(const char* path, char how);
    // What a deletion finds at path: a name that cannot be told (refused,
    // with *status), nothing (left to the deletion), or something to keep,
    // described in *found.
    enum class Deletion { kRefused, kNothingThere, kThere };
    struct Found {
        TextBuffer full;
        FileState state;
        int place = -1;
        Standing standing = Standing::kUnknown;
    };
    Deletion DeletionOf(const char* path, Found* found, Status* status);
    bool TakeDeletion(const char* path, Status* status);
    bool TakeShellDeletion(const char* path, Status* status);
    bool TakeFolderRemoval(const char* path, Status* status);
    // A file the change wrote: its fingerprint is read with those of the
    // other files written in its folder, all at once.
    void NoteWritten(const TextBuffer& written);
    // The fingerprints of the files written since the last time, noted for
    // the next write.
    void NotePrints();
    // What the shell made, entry by entry, so that an undo removes only that.
    void NoteTree(const TextBuffer& tree);
    void PutBackUnneeded();

    RunEvents& events_;
    JournalWriter writer_;
    AsideStore aside_;
    PlaceBook book_;
    uint32_t procedure_ = 0;
    uint32_t single_slots_ = 0;
    PendingChange pending_;
    TextBuffer print_folder_;  // where the files written and not yet printed are
    PathIndex unprinted_;      // their names
};
