// ROLLBACK=YES for one run: the store, the undo of earlier runs that stopped
// before their end, this run's journal, and its undo when it stops. A run
// without ROLLBACK=YES touches nothing of it. Wired by the program's entry.
#pragma once

#include <memory>

#include "procs/run_context.h"
#include "undo/recovery.h"
#include "undo/store.h"
#include "undo/undo_journal.h"

// How an undo came out.
enum class UndoOutcome {
    kDone,         // nothing to undo, or everything put back
    kPartly,       // put back what could be; the rest never can be (message 19)
    kNotFinished,  // something could not be put back yet; the next start tries again (message 18)
    kNoStore,      // no store could be trusted or made (message 5): nothing runs
};

// Whether an undo left something as its stopped run had made it (messages 18
// and 19).
inline bool LeftUndone(UndoOutcome outcome) {
    return outcome == UndoOutcome::kPartly || outcome == UndoOutcome::kNotFinished;
}

class RunUndo {
public:
    explicit RunUndo(RunContext& run) : run_(run) {}
    RunUndo(const RunUndo&) = delete;
    RunUndo& operator=(const RunUndo&) = delete;

    // Before the first procedure, with ROLLBACK=YES: finds the stores,
    // finishes every unfinished journal in them, newest first, and then
    // listens to the run, holding failure boxes back until its undo is over.
    // The run must not start after kNotFinished or kNoStore.
    UndoOutcome Begin();
    // After the run: a completed run's set-aside files go; any other run is
    // undone. Then the failure boxes held back show.
    UndoOutcome End(bool completed);

private:
    // Shows what finishing a journal came to; false when nothing may follow.
    bool Report(JournalEnd end, const TextBuffer& failed, UndoOutcome* outcome);

    RunContext& run_;
    UndoStore store_;
    List<Record> header_;
    std::unique_ptr<JournalFile> file_;
    std::unique_ptr<UndoJournal> journal_;
};
