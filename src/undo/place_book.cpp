#include "undo/place_book.h"

#include <windows.h>

#include "base/paths.h"
#include "base/win_handles.h"
#include "undo/undo_files.h"

namespace {

// A procedure lists at most this many places. Folders beyond stay unlisted,
// and every change there is recorded by itself.
const int kMostPlaces = 50000;

// A file, a folder to list, or a link to a folder, which is never entered.
PlaceKind KindOf(const FileState& state) {
    if (!IsFolderState(state))
        return PlaceKind::kFile;
    return (state.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PlaceKind::kUnlistedFolder
                                                             : PlaceKind::kFolder;
}

FileState StateOf(const WIN32_FIND_DATAA& entry) {
    FileState state;
    state.attributes = entry.dwFileAttributes;
    state.created = (static_cast<uint64_t>(entry.ftCreationTime.dwHighDateTime) << 32) |
                    entry.ftCreationTime.dwLowDateTime;
    state.written = (static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                    entry.ftLastWriteTime.dwLowDateTime;
    return state;
}

}  // namespace

bool PlaceBook::Begin(const Procedure& procedure) {
    places_.Clear();
    kept_.Clear();
    failed_ = false;
    const KindSpec& kind = *procedure.kind;
    for (int k = 0; k < kind.key_count; ++k) {
        if (!kind.keys[k].writes)
            continue;
        const TextBuffer& value = procedure.values[k];
        if (kind.keys[k].form != KeyForm::kList) {
            AddItem(value);
            continue;
        }
        const int count = value.ItemCount(",");
        for (int i = 0; i < count; ++i) AddItem(ListItem(value, i));
    }
    for (int i = 0; i < places_.Count(); ++i) failed_ = failed_ || !kept_.Add(false);
    return !failed_;
}

void PlaceBook::AddItem(const TextBuffer& item) {
    // An item at the current drive's root is refused before the procedure runs.
    if (item.IsEmpty() || IsCurrentDriveRootPath(item))
        return;
    const TextBuffer full = FullPathOf(item.c_str());
    if (full.IsEmpty())
        return;
    FileState state;
    if (HasWildcard(full)) {
        ForEachMatch(full, [this](const TextBuffer& match, const WIN32_FIND_DATAA& entry) {
            AddPlace(KindOf(StateOf(entry)), match, StateOf(entry));
            return true;
        });
        const TextBuffer folder = FolderAbove(full);
        if (ReadState(folder.c_str(), &state))
            AddPlace(PlaceKind::kEnclosing, folder, state);
        return;
    }
    if (ReadState(full.c_str(), &state)) {
        AddPlace(KindOf(state), full, state);
        const TextBuffer folder = FolderAbove(full);
        if (ReadState(folder.c_str(), &state))
            AddPlace(PlaceKind::kEnclosing, folder, state);
        return;
    }
    // Nothing there: it and each missing folder above it, up to the first that exists.
    TextBuffer level = full;
    while (!level.IsEmpty() && !ReadState(level.c_str(), &state)) {
        AddPlace(PlaceKind::kAbsent, level, FileState());
        level = FolderAbove(level);
    }
    if (!level.IsEmpty())
        AddPlace(PlaceKind::kEnclosing, level, state);
}

int PlaceBook::AddPlace(PlaceKind kind, const TextBuffer& path, const FileState& state) {
    int place = places_.Find(path.c_str());
    if (place >= 0) {
        // An enclosing folder may turn out to be a place itself; nothing else changes.
        if (places_[place].kind != PlaceKind::kEnclosing || kind == PlaceKind::kEnclosing)
            return place;
        places_.SetKind(place, kind);
    } else {
        if (places_.Count() >= kMostPlaces)
            return -1;
        Place added;
        added.kind = kind;
        added.state = state;
        added.path = path;
        place = places_.Add(added);
        if (place < 0) {
            failed_ = true;
            return -1;
        }
    }
    if (kind == PlaceKind::kFolder)
        ListFolder(path, place);
    return place;
}

void PlaceBook::ListFolder(const TextBuffer& folder, int place) {
    WIN32_FIND_DATAA entry;
    FindHandle search(JoinPath(folder, "*").c_str(), &entry);
    bool listed = search.IsValid();
    if (listed) {
        do {
            if (IsDotsName(entry.cFileName))
                continue;
            if (places_.Count() >= kMostPlaces) {
                listed = false;
                break;
            }
            const FileState state = StateOf(entry);
            AddPlace(KindOf(state), JoinPath(folder, entry.cFileName), state);
        } while (FindNextFileA(search.Get(), &entry));
        listed = listed && GetLastError() == ERROR_NO_MORE_FILES;
    }
    // Only a folder listed to its end is known to hold nothing else.
    if (!listed)
        places_.SetKind(place, PlaceKind::kUnlistedFolder);
}

Standing PlaceBook::StandingOf(const TextBuffer& full, bool exists, int* place) const {
    const int found = places_.Find(full.c_str());
    *place = -1;
    if (found >= 0) {
        switch (places_[found].kind) {
            case PlaceKind::kFile:
            case PlaceKind::kFolder:
            case PlaceKind::kUnlistedFolder:
                *place = found;
                return kept_[found] ? Standing::kKept : Standing::kOriginal;
            case PlaceKind::kAbsent:
                if (!exists || made_.Find(full.c_str()) >= 0)
                    return Standing::kNew;
                return Standing::kUnknown;
            default:
                return Standing::kUnknown;
        }
    }
    for (TextBuffer level = full; !level.IsEmpty(); level = FolderAbove(level)) {
        if (made_.Find(level.c_str()) >= 0)
            return Standing::kNew;
    }
    // Something there that the places do not know: another spelling, or
    // made by someone else.
    if (exists)
        return Standing::kUnknown;
    // Below a listed folder or a missing one, anything new is the run's.
    for (TextBuffer level = FolderAbove(full); !level.IsEmpty(); level = FolderAbove(level)) {
        const int above = places_.Find(level.c_str());
        if (above >= 0) {
            const PlaceKind kind = places_[above].kind;
            return kind == PlaceKind::kFolder || kind == PlaceKind::kAbsent ? Standing::kNew
                                                                            : Standing::kUnknown;
        }
    }
    return Standing::kUnknown;
}
