#include "script/reader.h"

#include <windows.h>

#include <cstdlib>

#include "app/messages.h"
#include "app/run_state.h"
#include "script/symbols.h"

namespace {

const char kMissing[] = "NO_DATA";
const DWORD kStringBuffer = 32768;
const DWORD kIntBuffer = 260;

// A heap buffer for one profile read, freed on every path.
struct ReadBuffer {
    explicit ReadBuffer(DWORD size) : bytes(static_cast<char*>(calloc(size, 1))) {}
    ~ReadBuffer() { free(bytes); }
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;
    char* bytes;
};

}  // namespace

bool ReadRawString(const char* section, const char* key, TextBuffer& target) {
    ReadBuffer value(kStringBuffer);
    if (value.bytes == nullptr)
        return false;
    GetPrivateProfileStringA(section, key, kMissing, value.bytes, kStringBuffer - 1,
                             ScriptPath.c_str());
    if (lstrcmpiA(value.bytes, kMissing) == 0)
        return false;
    target = value.bytes;
    return true;
}

bool ReadRawInt(const char* section, const char* key, int32_t& target) {
    char value[kIntBuffer] = {};
    GetPrivateProfileStringA(section, key, kMissing, value, kIntBuffer, ScriptPath.c_str());
    if (lstrcmpiA(value, kMissing) == 0)
        return false;
    int32_t number = 0;
    if (ScanDecimal(value, &number))
        target = number;
    return true;
}

int ReadSection(const char* section, TextBuffer& target) {
    ReadBuffer lines(kStringBuffer);
    if (lines.bytes == nullptr)
        return 0;
    GetPrivateProfileSectionA(section, lines.bytes, kStringBuffer - 1, ScriptPath.c_str());
    int count = 0;
    for (const char* line = lines.bytes; *line != '\0'; line += lstrlenA(line) + 1) {
        if (line[0] == ';')
            continue;
        if (!target.IsEmpty())
            target.Append("\n");
        target.Append(line);
        ++count;
    }
    return count;
}

bool ReadStringKey(const char* section, const char* key, TextBuffer& target) {
    if (!ReadRawString(section, key, target)) {
        ShowMessage(kMsgBadFormat, section, key);
        return false;
    }
    ExpandValue(target);
    return true;
}

bool ReadIntKey(const char* section, const char* key, int32_t& target) {
    if (!ReadRawInt(section, key, target)) {
        ShowMessage(kMsgBadFormat, section, key);
        return false;
    }
    return true;
}
