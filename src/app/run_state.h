// The run's process-wide state: set once at start-up, read by every part.
#pragma once

#include "text/text_buffer.h"

extern TextBuffer CommandLine;  // what follows the program's own name
extern TextBuffer Caption;      // caption of every message box
extern TextBuffer ProgramPath;  // full path of the running executable
extern TextBuffer ScriptPath;   // the script file every read uses
extern TextBuffer UpdaterName;  // UPDATER/NAME, expanded
extern TextBuffer UpdaterProc;  // UPDATER/PROC, expanded: the top-level list

extern const char* const kDefaultCaption;
