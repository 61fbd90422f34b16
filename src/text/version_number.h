// A Windows version as scripts write it: "major.minor" or "major.minor.build".
#pragma once

#include <cstdint>

struct VersionNumber {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// Decimal digits only, two or three parts, spaces allowed around the whole;
// false for anything else, also for a part beyond 32 bits. A missing build is 0.
bool ParseVersion(const char* text, VersionNumber* version);

// Compared part by part, major first.
bool IsAtLeast(const VersionNumber& running, const VersionNumber& wanted);
