#include "undo/run_undo.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <new>

#include "base/paths.h"
#include "base/system.h"
#include "undo/recovery.h"
#include "undo/undo_files.h"

namespace {

// Set-aside folders whose journal is gone: a completed run's cleanup was cut short.
void RemoveStrayFolders(const TextBuffer& store) {
    List<TextBuffer> strays;
    ForEachMatch(JoinPath(store, "????????"),
                 [&](const TextBuffer& folder, const WIN32_FIND_DATAA& entry) {
                     if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                         !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                         strlen(entry.cFileName) == 8 && !Exists(folder + ".jnl")) {
                         strays.Add(folder);
                     }
                     return true;
                 });
    for (const TextBuffer& folder : strays) RemoveTree(folder);
}

}  // namespace

bool RunUndo::Report(JournalEnd end, const TextBuffer& failed, UndoOutcome* outcome) {
    if (end == JournalEnd::kNotRestored) {
        run_.reporter.Fail(kMsgNotRestored, {failed});
        *outcome = UndoOutcome::kNotFinished;
        return false;
    }
    if (end == JournalEnd::kRetired) {
        run_.reporter.Fail(kMsgPartlyRestored, {failed});
        *outcome = UndoOutcome::kPartly;
    }
    return true;
}

UndoOutcome RunUndo::Begin() {
    if (!run_.Keys().IsYes("ROLLBACK"))
        return UndoOutcome::kDone;
    // An elevated run trusts only what administrators alone can change.
    const bool elevated = IsElevated();
    TextBuffer base;
    run_.symbols.Lookups().SpecialFolder(elevated ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA,
                                         base);
    if (!store_.Open(base, elevated, run_.events)) {
        run_.reporter.Fail(kMsgPathFailed,
                           {base.IsEmpty() ? run_.script_path : JoinPath(base, "Updater\\Undo")});
        return UndoOutcome::kNoStore;
    }
    UndoOutcome outcome = UndoOutcome::kDone;
    List<TextBuffer> journals;
    ListJournals(store_.Folders(), journals);
    for (const TextBuffer& journal : journals) {
        TextBuffer failed;
        if (!Report(FinishJournalSoon(journal, store_.Rule(), run_.events, &failed), failed,
                    &outcome)) {
            return outcome;
        }
    }
    for (const TextBuffer& folder : store_.Folders()) RemoveStrayFolders(folder);

    // This run's journal, under a name no journal or set-aside folder has.
    uint32_t number = GetTickCount() ^ (GetCurrentProcessId() << 16);
    TextBuffer aside = JoinPath(store_.Folder(), HexName(number).c_str());
    while (GetFileAttributesA(aside.c_str()) != INVALID_FILE_ATTRIBUTES ||
           GetFileAttributesA((aside + ".jnl").c_str()) != INVALID_FILE_ATTRIBUTES) {
        aside = JoinPath(store_.Folder(), HexName(++number).c_str());
    }
    Record version = MakeRecord(RecordType::kVersion, '-', "");
    version.number = kJournalVersion;
    Record head = MakeRecord(RecordType::kHeader, '-', FullPathOf(run_.script_path.c_str()), aside);
    head.number = number;
    file_.reset(new (std::nothrow) JournalFile(aside + ".jnl"));
    if (file_ && header_.Add(version) && header_.Add(head))
        journal_.reset(new (std::nothrow) UndoJournal(*file_, header_, aside, store_.Maker(),
                                                      number, run_.events));
    // Without memory for its journal, the run's first change fails.
    if (!journal_ || !run_.events.AddListener(journal_.get())) {
        run_.reporter.Fail(kMsgOutOfMemory, {"UndoJournal"});
        return UndoOutcome::kNoStore;
    }
    run_.reporter.HoldFailures();
    return outcome;
}

UndoOutcome RunUndo::End(bool completed) {
    UndoOutcome outcome = UndoOutcome::kDone;
    if (!journal_)
        return outcome;
    if (journal_->Started()) {
        if (completed) {
            if (journal_->Complete(*file_))
                RemoveJournal(file_->Path(), journal_->OtherFolders());
        } else {
            journal_->Stop();
            file_->Close();
            TextBuffer failed;
            Report(FinishJournalSoon(file_->Path(), store_.Rule(), run_.events, &failed), failed,
                   &outcome);
        }
    }
    run_.reporter.ReleaseFailures();
    return outcome;
}
