#include "base/retry.h"

namespace {

// ERROR_SHARING_VIOLATION and ERROR_LOCK_VIOLATION, and the same two as a COM
// call reports them: as Win32 HRESULTs, and as the storage errors of
// IPersistFile.
const uint32_t kHeldErrors[] = {32, 33, 0x80070020, 0x80070021, 0x80030020, 0x80030021};

const uint32_t kFirstPause = 50;
const uint32_t kLongestPause = 250;

}  // namespace

bool IsHeldFileError(uint32_t error) {
    for (uint32_t held : kHeldErrors) {
        if (error == held)
            return true;
    }
    return false;
}

uint32_t NextPause(uint32_t last_ms) {
    if (last_ms == 0)
        return kFirstPause;
    return last_ms * 2 < kLongestPause ? last_ms * 2 : kLongestPause;
}
