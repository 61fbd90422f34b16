// Items of a key that writes, moves or deletes that would aim the change at a
// place the script never named: the root of the current drive, the current
// folder itself, or a relative path that only an empty expansion made. The
// program refuses such items and the checker reports them, by these rules.
#pragma once

#include <cstddef>

#include "script/symbols.h"
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
