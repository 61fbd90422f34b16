// What the system says of paths: whether something is there, a path made
// full, and what a path is whatever its spelling (its volume and its index
// there). Patterns and folder parts as text are in base/path_text.h.
#pragma once

#include <cstdint>

#include "base/path_text.h"
#include "text/text_buffer.h"

// True when the system's find function finds anything under path; patterns
// count when they match. A path ending in a backslash is never found.
bool FileExists(const char* path);
bool IsFolder(const char* path);

// The full path, with ".", ".." and doubled backslashes resolved and no
// backslash at its end (a drive's root keeps its own); "" when the system
// cannot make one.
TextBuffer FullPathOf(const char* path);

// What a path is, whatever its spelling (case, ".\" steps, short names, two
// names of one share): its volume and its index there.
struct FileIdentity {
    uint32_t volume = 0;
    uint32_t index_high = 0;
    uint32_t index_low = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index_high == other.index_high &&
               index_low == other.index_low;
    }
};
// False when path cannot be opened to ask (it is missing, or no rights).
bool IdentityOf(const TextBuffer& path, FileIdentity& identity);
// Both exist and are one file or folder.
bool IsSameFile(const TextBuffer& a, const TextBuffer& b);
// a and b name one place: one file or folder where both exist, else the same
// name in one folder (compared the same way), where neither does. Spellings
// the system takes as one ("..", "/", letter case, trailing dots and spaces,
// short names, links, two names of one drive) count as the same.
bool IsSamePlace(const TextBuffer& a, const TextBuffer& b);
// path, or the nearest of its folders that exists, is the folder or lies below it.
bool IsSameOrInside(const TextBuffer& path, const FileIdentity& folder);
