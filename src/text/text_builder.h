// Builds a text piece by piece in a buffer that grows by doubling, so that
// appending costs time in proportion to what is appended. Appending stops,
// and Complete turns false, when memory runs out.
#pragma once

#include <cstddef>

#include "text/text_buffer.h"

class TextBuilder {
public:
    TextBuilder() = default;
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;
    ~TextBuilder();

    void Append(const char* text);
    void Append(const char* bytes, size_t count);
    size_t Length() const { return length_; }
    bool Complete() const { return complete_; }
    const char* c_str() const { return bytes_ != nullptr ? bytes_ : ""; }
    TextBuffer Text() const { return TextBuffer(c_str()); }

private:
    char* bytes_ = nullptr;
    size_t length_ = 0;
    size_t capacity_ = 0;
    bool complete_ = true;
};
