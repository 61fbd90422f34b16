#include "text/version_number.h"

namespace {

// Digits up to the next non-digit; false when there is none or the number
// does not fit.
bool ReadPart(const char*& p, uint32_t* part) {
    if (*p < '0' || *p > '9')
        return false;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (value > 0xFFFFFFFFu)
            return false;
    }
    *part = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

bool ParseVersion(const char* text, VersionNumber* version) {
    const char* p = text;
    while (*p == ' ') ++p;
    VersionNumber read;
    if (!ReadPart(p, &read.major) || *p++ != '.' || !ReadPart(p, &read.minor))
        return false;
    if (*p == '.' && !ReadPart(++p, &read.build))
        return false;
    while (*p == ' ') ++p;
    if (*p != '\0')
        return false;
    *version = read;
    return true;
}

bool IsAtLeast(const VersionNumber& running, const VersionNumber& wanted) {
    if (running.major != wanted.major)
        return running.major > wanted.major;
    if (running.minor != wanted.minor)
        return running.minor > wanted.minor;
    return running.build >= wanted.build;
}
