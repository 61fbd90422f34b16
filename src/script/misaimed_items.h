// Items of a key that writes, moves or deletes that would aim the change at a
// place the script never named: the root of the current drive, the current
// folder itself, or a relative path that only an empty expansion made. The
// program refuses such items and the checker reports them, by these rules.
#pragma once

#include <cstddef>

#include "script/kind_table.h"
#include "script/symbols.h"
#include "text/list.h"
#include "text/text_buffer.h"

enum class Misaim {
    kNone,
    kDriveRoot,       // "\x" or "/x": the root of the current drive, without a letter
    kCurrentFolder,   // ".", "..", "Q:", "Q:.": the current folder, or a drive's
    kEmptyExpansion,  // relative only because a symbol or function at its start was empty
};

// The item of an expanded value from byte first to byte last (spaces around
// it do not count); empties are the value's empty expansions. An empty item,
// a path with a drive and a backslash (C:\x), a network path and a relative
// path that the script wrote as such are kNone.
Misaim MisaimOf(const TextBuffer& value, ptrdiff_t first, ptrdiff_t last,
                const EmptyExpansions& empties);

struct MisaimedItem {
    int key = 0;                     // its key, by KeyAt
    int item = 0;                    // its position in the key's list; 0 in a key of one value
    ptrdiff_t first = 0, last = -1;  // its bytes in the value
    Misaim misaim = Misaim::kNone;
};

// The misaimed items, in the order of the keys and their items, among the
// items that a procedure of the kind writes, moves or deletes through: every
// key marked so, each of its items up to the number of the main list's (the
// others are never used). values and empties: the procedure's expanded
// values and their empty expansions, by KeyAt.
void FindMisaimedItems(const KindSpec& kind, const TextBuffer* values,
                       const EmptyExpansions* empties, List<MisaimedItem>& found);
