// Where a run sets files aside: its folder in the undo store, and a folder of
// its own at the root of each other volume, made when a file there is first
// set aside. A file is renamed aside on its own volume, or given a second
// name there; it is copied only where neither gives the change its outcome.
#pragma once

#include <windows.h>

#include "base/status.h"
#include "text/list.h"
#include "undo/journal_writer.h"

// How a file goes aside.
enum class Aside { kRename, kRenameOpen, kLink };

class AsideStore {
public:
    // folder: the run's set-aside folder in the store; maker: who besides
    // SYSTEM and Administrators may use the folders made on other volumes.
    AsideStore(JournalWriter& writer, const TextBuffer& folder, PSID maker, uint32_t run_number)
        : writer_(writer), folder_(folder), maker_(maker), run_number_(run_number) {}
    AsideStore(const AsideStore&) = delete;
    AsideStore& operator=(const AsideStore&) = delete;
    ~AsideStore() { CloseHeld(false); }

    // Renames full (the open file, where one is given), or gives it a second
    // name, as name in the set-aside folder of its volume; *slot is where it
    // went. With record, the set-aside is announced in the journal first.
    Status PutAside(const TextBuffer& full, const TextBuffer& name, Aside how, HANDLE file,
                    bool record, const FileState& state, TextBuffer* slot);
    // Copies full as name + "c" in the run's folder, under that name only once
    // it is whole and on the disk; announced first with record.
    Status CopyAside(const TextBuffer& full, const TextBuffer& name, bool record,
                     const FileState& state, TextBuffer* slot);

    // Files renamed aside while open stay open until the run ends: a
    // completed run then deletes each through its handle, without looking it
    // up again; any other run lets them go untouched. Its index; -1 when the
    // file was closed instead (too many held).
    int Hold(HANDLE file);
    HANDLE Held(int i) const { return held_[i]; }
    // Closes one without deleting it.
    void Release(int i);
    void CloseHeld(bool deleting);

    const TextBuffer& Folder() const { return folder_; }
    // The folders made on other volumes.
    const List<TextBuffer>& OtherFolders() const { return other_folders_; }

private:
    // The set-aside folder on full's volume; made (and announced) when needed.
    Status FolderFor(const TextBuffer& full, TextBuffer* folder);

    JournalWriter& writer_;
    TextBuffer folder_;
    PSID maker_;
    uint32_t run_number_;
    List<TextBuffer> volume_roots_;
    List<TextBuffer> other_folders_;
    TextBuffer other_volume_;  // the last volume found not to be the store's
    List<HANDLE> held_;
};
