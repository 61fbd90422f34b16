#include "script/profile_file.h"

#include <windows.h>

namespace {

const char kMissing[] = "NO_DATA";

}  // namespace

bool ProfileFile::ReadValue(const char* section, const char* key, size_t capacity,
                            TextBuffer& value) const {
    // One byte more than the system is told, so the value always ends in a zero.
    TextBuffer read;
    if (!read.Reserve(capacity + 1))
        return false;
    GetPrivateProfileStringA(section, key, kMissing, read.data(), static_cast<DWORD>(capacity),
                             path_.c_str());
    if (lstrcmpiA(read.c_str(), kMissing) == 0)
        return false;
    value = read;
    return true;
}

void ProfileFile::ReadSection(const char* section, size_t capacity, ByteArray& lines) const {
    if (!lines.Allocate(static_cast<uint32_t>(capacity + 1)))
        return;
    GetPrivateProfileSectionA(section, reinterpret_cast<char*>(lines.Data()),
                              static_cast<DWORD>(capacity), path_.c_str());
}
