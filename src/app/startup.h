// Start-up: the command line, the caption, the script file and its UPDATER section.
#pragma once

#include "text/text_buffer.h"

// True when the script file exists and the symbols and UPDATER keys were read.
bool InitializeRun(const char* command_line);
// The value written directly behind "/letter" (or "-letter"), up to the first
// space outside double quotes; false when there is none.
bool FindOption(char letter, TextBuffer& value);
bool ReadUpdaterSection();
