// Path tests, folder creation and the file-system walker on which the file
// procedures are built. Nothing here shows a message: callers report.
#pragma once

#include <cstdint>

#include "text/text_buffer.h"

enum VisitKind { VisitFile = 0, EnterFolder = 1, LeaveFolder = 2 };

// Called for every entry a walk meets; false stops the walk with failure.
typedef bool (*WalkVisitor)(const TextBuffer& path, int kind, void* context);

// True when the system's find function finds anything under path; patterns
// count when they match. A path ending in a backslash is never found.
bool FileExists(const char* path);
bool IsFolder(const char* path);
// Creates every missing level of path (component 0, the drive, excepted).
bool MakeFolderPath(const TextBuffer& path);
// The part of path before its last backslash; false when there is none or it
// is the first byte.
bool FolderOfPath(const char* path, TextBuffer& folder);

// Visits one file, the matches of a pattern in the last component, or a
// folder with everything below it (when recursive). A failure below a folder
// ends only the walk of that folder.
bool WalkFiles(const TextBuffer& path, WalkVisitor visitor, bool recursive, void* context);

bool CopyItem(const TextBuffer& source, const TextBuffer& target);
bool MoveItem(const TextBuffer& source, const TextBuffer& target);
bool DeleteItem(const TextBuffer& path);
bool SetItemAttributes(const TextBuffer& path, uint32_t attributes);
