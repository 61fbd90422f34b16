// Paths as text, without asking the system: folder parts, names, patterns,
// and the comparison the system makes of names (ASCII letters without regard
// to case, double-byte characters whole). The only separator is the
// backslash, and a trail byte 0x5C is never taken for one.
#pragma once

#include "text/text_buffer.h"

// The part of path before its last backslash; false when there is none or it
// is the first byte.
bool FolderOfPath(const char* path, TextBuffer& folder);
// The folder part of path, cut at its last backslash ("" for a bare name).
TextBuffer ParentOf(const TextBuffer& path);
// The folder a full path is in: "C:\" for "C:\x"; "" above a root.
TextBuffer FolderAbove(const TextBuffer& path);
// A name in a folder; a drive's root ends in its backslash already.
TextBuffer JoinPath(const TextBuffer& folder, const char* name);
// The last components differ, if only in the case of their letters.
bool IsSpelledDifferently(const TextBuffer& a, const TextBuffer& b);

// A pattern of COPY, MOVE and the walker: a "*" in the last component. A "?"
// alone is taken as part of a name.
bool IsPattern(const TextBuffer& path);
// Any wildcard anywhere: the shell expands both "*" and "?".
bool HasWildcard(const TextBuffer& path);

// "." or "..", which a folder's listing holds besides its entries.
bool IsDotsName(const char* name);

// Whether path is folder or lies below it, compared as the system compares names.
bool IsAtOrBelow(const char* path, const char* folder);
// Backslashes that separate components, the one of a UNC name's start excepted.
int PathDepth(const char* path);
