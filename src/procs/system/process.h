// Looking at the system the updater runs on.
#pragma once

#include <windows.h>

// True on the NT platform family; asked anew on every call.
bool IsNtPlatform();
// Id of the first running process, other than the updater itself, whose
// executable matches target by lstrcmpiA (on NT the full path where the
// process can be opened); 0 when none matches or the search cannot be made.
DWORD FindRunningProcess(const char* target);
