// The script file read through the system's private-profile functions; every
// read sees the file as it is at that moment.
#pragma once

#include "script/script_source.h"

class ProfileFile : public ScriptSource {
public:
    ProfileFile() = default;
    explicit ProfileFile(const TextBuffer& path) : path_(path) {}

    bool ReadValue(const char* section, const char* key, size_t capacity,
                   TextBuffer& value) const override;
    void ReadSection(const char* section, size_t capacity, ByteArray& lines) const override;

private:
    TextBuffer path_;
};
