// The book of places of the procedure under way: what every place its keys
// write, move or delete held before it ran (each entry of a folder listed as
// well), which of them are kept by now, and what the run has made.
#pragma once

#include "procs/procedure.h"
#include "undo/journal_format.h"

// Where a path stands in the procedure under way.
enum class Standing {
    kOriginal,  // a place of the procedure, as it was: kept before it changes
    kKept,      // a place already kept: what is there now is the run's own
    kNew,       // made by the run, or where nothing was
    kUnknown,   // outside the places: each change is recorded on its own
};

class PlaceBook {
public:
    // Lists the places of procedure, forgetting the last one's; false when
    // memory ran out.
    bool Begin(const Procedure& procedure);
    const PlaceIndex& Places() const { return places_; }

    // Where full stands, whether something is there (exists); *place is its
    // index among the places, or -1.
    Standing StandingOf(const TextBuffer& full, bool exists, int* place) const;
    void SetKept(int place, bool kept) { kept_[place] = kept; }
    // full was made by the run; later changes there need not be kept.
    void NoteMade(const TextBuffer& full) { made_.Add(full.c_str()); }

private:
    // The places of one written item, with every missing folder above it.
    void AddItem(const TextBuffer& item);
    int AddPlace(PlaceKind kind, const TextBuffer& path, const FileState& state);
    void ListFolder(const TextBuffer& folder, int place);

    PlaceIndex places_;
    List<bool> kept_;
    PathIndex made_;  // over the whole run; when memory runs out, changes there are kept again
    bool failed_ = false;
};
