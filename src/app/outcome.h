// How a run ended, as the exit status tells it when the caller asks for it
// (UPDATER_EXIT_STATUS=1). Where two apply, the higher wins.
#pragma once

#include "procs/run_events.h"

enum class Outcome {
    kCompleted = 0,
    kFailed = 1,      // stopped at a failed procedure
    kStopped = 2,     // stopped by the user (an answer with ISABORT, or Cancel)
    kNotUndone = 3,   // an undo could not finish (message 18)
    kNothingRan = 4,  // the script could not be read, or NAME, PROC or a procedure built
    kCrashed = 5,     // the program itself failed: set by the exception filter
};

// Listens to the run for how it ended.
class OutcomeWatch : public RunEvents {
public:
    void ProcedureStarting(const Procedure&, int) override { ran_ = true; }
    void RunEnded(RunEnd end, const char*) override { end_ = end; }

    // not_undone: an undo left something undone (message 18 or 19), at the
    // start or after the run.
    Outcome Result(bool not_undone) const;

private:
    bool ran_ = false;
    RunEnd end_ = RunEnd::kFailed;
};
