// Looking for running programs.
#pragma once

#include <windows.h>

#include "text/text_buffer.h"

// Id of the first running process, other than the updater itself, whose
// executable matches target by lstrcmpiA (on NT the full path where the
// process can be opened); 0 when none matches or the search cannot be made.
DWORD FindRunningProcess(const char* target);

// The full path of the executable of process id, asking for no more rights
// than the system needs to tell it.
bool ProcessImagePath(DWORD id, TextBuffer& path);
