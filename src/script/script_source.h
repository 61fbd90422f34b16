// Where the script's raw text comes from: the system's profile functions in
// the program, a reader of its own in the checker.
#pragma once

#include <cstddef>

#include "text/text_buffer.h"

class ScriptSource {
public:
    virtual ~ScriptSource() = default;
    // The value of key in section, as read into a buffer of capacity bytes
    // (longer values are cut there). False when the key or its section is
    // missing, or the value is "NO_DATA" in any letter case; value is then unchanged.
    virtual bool ReadValue(const char* section, const char* key, size_t capacity,
                           TextBuffer& value) const = 0;
    // The lines of section, as read into a buffer of capacity bytes: each
    // line followed by a zero byte, the last one by two.
    virtual void ReadSection(const char* section, size_t capacity, ByteArray& lines) const = 0;
};

// What the program reads into: values of up to 32,766 bytes, numbers of up to 259.
const size_t kValueCapacity = 32767;
const size_t kNumberCapacity = 260;
