// What a journal asks for when it is read back: the undo of a run that
// stopped before its end (in the same process, or at a later start), or the
// cleanup after one that completed. The undo puts a file back, or removes one,
// only where it is still what the run left there, and only inside the places
// the journal listed. Every step looks at what is on disk first, so an undo
// cut short can simply be started again.
#pragma once

#include "procs/run_events.h"
#include "undo/store.h"

enum class JournalEnd {
    kInUse,        // a run that is going on holds it: left to that run
    kCompleted,    // its run had completed, or never changed anything
    kRestored,     // everything is back as it was before its run
    kNotRestored,  // something could not be put back yet: the journal stays
    kRetired,      // the rest can never be put back: the journal is kept aside
    kRefused,      // of another version, or of none: kept aside, never obeyed
};

// Finishes the journal at path, telling events every step: undone unless its
// run completed, then removed with its set-aside files; or retired into the
// store's "Retired" folder with them, where it is never obeyed again. failed
// names the first path that was not put back (kNotRestored, kRetired).
JournalEnd FinishJournal(const TextBuffer& path, const TrustRule& rule, RunEvents& events,
                         TextBuffer* failed);

// FinishJournal, tried again for about two seconds while the journal or a
// file to put back is held: a run that was just ended from outside, or a
// program that reads new files, may hold them a moment longer. With the
// run's patience (RETRY), each step of the first attempt waits for a held
// file as long as that first.
JournalEnd FinishJournalSoon(const TextBuffer& path, const TrustRule& rule, RunEvents& events,
                             TextBuffer* failed);

// The journals in the folders, newest first.
void ListJournals(const List<TextBuffer>& folders, List<TextBuffer>& journals);

// Removes the set-aside folders, then the journal: what a completed or fully
// undone run leaves. others: the folders made on other volumes.
void RemoveJournal(const TextBuffer& path, const List<TextBuffer>& others);

// The run's set-aside folder in the store, beside its journal.
TextBuffer AsideFolderOf(const TextBuffer& journal);
