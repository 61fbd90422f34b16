// ROLLBACK=YES: the undo journal. Before each procedure it records, and
// writes through to the disk, what the places the procedure writes hold
// (names, attributes, times); before each change it sets aside whatever the
// change would destroy, renamed on its own volume where the change could
// have removed it as well, copied otherwise. When the run stops before its
// end, everything is put back, newest first, before the failure box shows;
// when it completes, the set-aside files go. A run cut short by a crash is
// undone by the next start of the same script.
#pragma once

#include "app/undo_format.h"
#include "app/undo_recovery.h"
#include "base/win_handles.h"
#include "procs/run_context.h"

class UndoJournal : public RunEvents {
public:
    explicit UndoJournal(RunContext& run) : run_(run) {}
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    // Before the first procedure: finishes what an earlier run of this
    // script left (false, with message 18 shown, when that fails: the run
    // must not start), then reads ROLLBACK; when it is YES, listens to the
    // run and holds failure boxes back until the undo is over.
    bool Begin();
    // After the run: the set-aside files of a completed run go; any other
    // run is undone. Then the held failure boxes show.
    void End(bool completed);

    void ProcedureStarting(const Procedure& procedure, int depth) override;
    Status FileChanging(FileAction action, const char* path, const char* target) override;
    bool TakeChange(FileAction action, const char* path, const char* target,
                    Status* status) override;
    void FileActed(FileAction action, const char* path, const char* target,
                   uint32_t error) override;

private:
    // Where a path stands in the procedure under way.
    enum class Standing {
        kOriginal,  // a place of the procedure, as it was: kept before it changes
        kKept,      // a place already kept: what is there now is the run's own
        kNew,       // made by the run, or where nothing was
        kUnknown,   // outside the places: each change is recorded on its own
    };
    // How the change treats what is there, which decides whether renaming it
    // aside gives the change the outcome it would have had.
    enum class Use {
        kOverwrite,       // written over (CopyFileA, a shortcut's save)
        kDeleteAndWrite,  // deleted, then written (a move onto it)
        kDelete,          // deleted
        kRewriteInPlace,  // changed where it is: always copied
    };
    // A set-aside that goes back when the change then fails.
    struct Undoable {
        TextBuffer path;
        TextBuffer slot;
        int place = -1;
        int held = -1;  // its handle in held_, if it is held
    };
    // How a file goes aside.
    enum class Aside { kRename, kRenameOpen, kLink };

    // Files set aside by renaming them while they were open, held open until
    // the run ends: a completed run then deletes each through its handle,
    // without looking it up again; any other run lets them go untouched.
    class HeldFiles {
    public:
        HeldFiles() = default;
        HeldFiles(const HeldFiles&) = delete;
        HeldFiles& operator=(const HeldFiles&) = delete;
        ~HeldFiles() { Close(false); }
        // Its index; -1 when the file was closed instead (too many held).
        int Add(HANDLE file);
        HANDLE Get(int i) const { return files_[i]; }
        // Closes one without deleting it.
        void Release(int i);
        void Close(bool deleting);

    private:
        List<HANDLE> files_;
    };

    // Journal writing: each batch reaches the disk before its change is made.
    Status Write(JournalBatch& batch);
    Status Note(RecordType type, char how, const FileState& state, const TextBuffer& path,
                const TextBuffer& other = TextBuffer());
    // The places of one written item, with every missing folder above it.
    void NotePlaces(const TextBuffer& item);
    int AddPlace(PlaceKind kind, const TextBuffer& path, const FileState& state);
    void AddEntry(const TextBuffer& folder, const WIN32_FIND_DATAA& entry);
    void ListFolder(const TextBuffer& folder, int place);

    Standing StandingOf(const TextBuffer& full, bool exists, int* place) const;
    // The set-aside folder on full's volume; made (and recorded) when needed.
    Status AsideFolderFor(const TextBuffer& full, TextBuffer* folder);
    // Renames full (the open file, where one is given), or gives it a second
    // name, as name in the set-aside folder of its volume; recorded first
    // when asked.
    Status PutAside(const TextBuffer& full, const TextBuffer& name, Aside how, HANDLE file,
                    bool record, const FileState& state, TextBuffer* slot);
    // Keeps what is at full before the change: renamed aside where the
    // change could have removed it as well, copied otherwise.
    Status Keep(const TextBuffer& full, const FileState& state, int place, Use use, bool* renamed);

    Status BeforeWrite(const char* path, Use use);
    Status BeforeMove(const char* source, const char* target);
    Status NoteShellMove(const char* source, const char* target);
    Status NoteMade(const TextBuffer& full);
    Status NoteState(const char* path, char how);
    // What a deletion finds at path: a name that cannot be told (refused,
    // with *status), nothing (left to the deletion), or something to keep.
    enum class Deletion { kRefused, kNothingThere, kThere };
    Deletion DeletionOf(const char* path, TextBuffer& full, FileState& state, Status* status);
    bool TakeDeletion(const char* path, Status* status);
    bool TakeShellDeletion(const char* path, Status* status);
    bool TakeFolderRemoval(const char* path, Status* status);

    RunContext& run_;
    bool enabled_ = false;
    JournalPlace place_;
    UniqueHandle journal_;
    uint32_t run_number_ = 0;
    // The first failure to write the journal: every later change is refused with it.
    Status broken_ = Status::Done();
    uint32_t procedure_ = 0;
    uint32_t single_slots_ = 0;
    PlaceIndex places_;
    List<bool> kept_;
    PlaceIndex made_;
    List<TextBuffer> volume_roots_;
    List<TextBuffer> volume_asides_;
    TextBuffer other_volume_;  // the last volume found not to be the journal's
    HeldFiles held_;
    // What the change under way set aside or recorded.
    Undoable renamed_;
    Undoable linked_;
    TextBuffer moved_from_;
    TextBuffer moved_to_;
};
