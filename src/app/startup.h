// Start-up: the command line, the caption, the script file and its UPDATER section.
#pragma once

#include "app/log_file.h"
#include "procs/run_context.h"
#include "script/profile_file.h"

// The caption of the boxes until the command line or the script names one.
extern const char* const kDefaultCaption;

// Reads the command line, finds the script (message 1 when it is missing),
// builds the symbol table, starts the log the caller or the script asks for,
// and reads UPDATER/NAME, PROC and RETRY into run; script is the file every
// later read uses. False when the run cannot start.
bool InitializeRun(RunContext& run, ProfileFile& script, const char* command_line,
                   const CallerRequest& caller, RunLogger& log);
