// Patience with a file that another program holds for a moment: virus
// scanners, indexers and backup agents open freshly written files briefly,
// and a change that fails then succeeds a moment later. No Win32 in here:
// time comes from a WaitClock.
#pragma once

#include <cstdint>

#include "base/status.h"

// Whether error says that another program holds the file: a sharing or lock
// violation, as a Windows error code or as the HRESULT a COM call gives.
bool IsHeldFileError(uint32_t error);

// Time as a wait sees it.
class WaitClock {
public:
    virtual ~WaitClock() = default;
    virtual uint32_t Milliseconds() = 0;
    virtual void Pause(uint32_t ms) = 0;
};

// Told of the waits for one held file.
class HeldFileWaits {
public:
    virtual ~HeldFileWaits() = default;
    // The call failed with error because the file is held: waiting begins.
    virtual void Begins(uint32_t error) = 0;
    // Asked before each pause; false ends the waiting at once (the run is
    // being stopped).
    virtual bool GoOn() = 0;
    // Waiting is over after waited_ms; last is the outcome of the last call.
    virtual void Ended(const Status& last, uint32_t waited_ms) = 0;
};

// The pause after the one of last_ms (0 before the first): short at first,
// for a hold of a moment, then longer, never more than a quarter second.
uint32_t NextPause(uint32_t last_ms);

// Makes the call and, while it fails because the file is held, makes it
// again after short pauses, until it succeeds, fails otherwise, or limit_ms
// have passed since the first failure; the last try comes at the limit. A
// limit of 0 makes the call once.
template <typename Call>
Status RetryWhileHeld(uint32_t limit_ms, WaitClock& clock, HeldFileWaits& waits, Call call) {
    Status status = call();
    if (status || limit_ms == 0 || !IsHeldFileError(status.Error()))
        return status;
    waits.Begins(status.Error());
    const uint32_t start = clock.Milliseconds();
    uint32_t pause = 0;
    for (uint32_t waited = 0; waited < limit_ms && waits.GoOn();
         waited = clock.Milliseconds() - start) {
        pause = NextPause(pause);
        clock.Pause(pause < limit_ms - waited ? pause : limit_ms - waited);
        status = call();
        if (status || !IsHeldFileError(status.Error()))
            break;
    }
    waits.Ended(status, clock.Milliseconds() - start);
    return status;
}
