#include "app/outcome.h"

Outcome OutcomeWatch::Result(bool not_undone) const {
    // A run that an unfinished undo kept from starting did run nothing, but
    // not because of its script.
    if (!ran_ && end_ == RunEnd::kFailed)
        return not_undone ? Outcome::kNotUndone : Outcome::kNothingRan;
    const Outcome ended = end_ == RunEnd::kCompleted ? Outcome::kCompleted
                          : end_ == RunEnd::kFailed  ? Outcome::kFailed
                                                     : Outcome::kStopped;
    return not_undone && ended < Outcome::kNotUndone ? Outcome::kNotUndone : ended;
}
