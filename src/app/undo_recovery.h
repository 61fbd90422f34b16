// What a journal asks for when it is read back: the undo of a run that
// stopped before its end (in the same process, or at the next start after a
// crash), or the cleanup after one that completed. Every step looks at what
// is on disk first, so an undo cut short can simply be started again.
#pragma once

#include "app/undo_format.h"

enum class JournalEnd {
    kNone,         // no journal of this script
    kInUse,        // a run of the script is going on now and holds it
    kCompleted,    // its run had completed: only the set-aside files went
    kRestored,     // everything is back as it was before its run
    kNotRestored,  // something could not be put back; the journal stays
};

struct JournalPlace {
    TextBuffer file;    // the journal
    TextBuffer aside;   // the set-aside folder beside it, on its volume
    TextBuffer script;  // the full path of the script it must belong to
};

// Finishes the journal at place: undone, cleaned up and deleted unless
// kNotRestored, when failed names the first path that could not be put back.
JournalEnd FinishJournal(const JournalPlace& place, TextBuffer* failed);

// FinishJournal, tried again for about two seconds while the journal or a
// file to put back is held: a run that was just ended from outside, or a
// program that reads new files, may hold them a moment longer.
JournalEnd FinishJournalSoon(const JournalPlace& place, TextBuffer* failed);

// Removes the set-aside folders, then the journal: what a completed or fully
// undone run leaves. other_asides: the folders made on other volumes.
void RemoveJournal(const JournalPlace& place, const List<TextBuffer>& other_asides);
