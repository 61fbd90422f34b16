// What the program that starts the updater asks of the run, through the
// environment. The command line and the script keep their meaning; without
// these variables a run is exactly what it is without them.
#pragma once

#include <cstdint>

#include "text/text_buffer.h"

struct CallerRequest {
    bool exit_status = false;  // UPDATER_EXIT_STATUS=1: the exit status tells the outcome
    bool unattended = false;   // UPDATER_UNATTENDED=1: no box, nothing waits for a person
    TextBuffer answers;        // UPDATER_ANSWERS: the boxes' answers, in order
    TextBuffer log;            // UPDATER_LOG, as given: the run's log instead of LOG
    // Each variable that is set, "NAME=value" separated by ", ", for the
    // log's header; a refused UPDATER_LOG says why.
    TextBuffer summary;

    // UPDATER_LOG when it may be used: a path ending in ".log".
    TextBuffer AcceptedLog() const;
};

// Reads the request. UPDATER_ANSWERS is then taken out of the environment,
// so that programs the run starts do not take this run's answers; the other
// variables stay, so that an updater started by LAUNCH runs as this one does.
CallerRequest ReadCallerRequest();

// Under UPDATER_UNATTENDED no wait lasts longer than this: a WAITAPP goes on
// as when its time is up, a LAUNCH item fails with message 9.
const uint32_t kUnattendedLongestWaitMs = 10 * 60 * 1000;
