// Bytes that grow as they are appended to, by doubling, and keep their room
// when cleared: a text is built piece by piece in time proportional to what
// is appended, and a line without an allocation each time. An append that
// finds no memory adds nothing and returns false, and the text is no longer
// complete until it is cleared.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/text_buffer.h"

class TextBuilder {
public:
    TextBuilder() = default;
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;
    ~TextBuilder();

    bool Append(const char* bytes, size_t count);
    bool Append(const char* text);
    // Room for count more bytes behind the content; null when there is no memory.
    char* Room(size_t count);
    // Counts count bytes written into Room as content.
    void Grow(size_t count) { size_ += count; }
    void Clear() {
        size_ = 0;
        complete_ = true;
    }
    // No append has failed since the text was begun or cleared.
    bool Complete() const { return complete_; }
    char* Data() { return bytes_; }
    const char* Data() const { return bytes_; }
    size_t Size() const { return size_; }
    // The content as a text, up to its first zero byte.
    TextBuffer Text() const;

private:
    char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool complete_ = true;
};

// value in decimal, right-aligned in width columns, padded with pad.
void AppendDecimal(TextBuilder& line, uint64_t value, int width = 1, char pad = '0');
// value in decimal, with leading zeros up to width digits.
TextBuffer DecimalText(uint64_t value, int width = 1);
// value in upper-case hexadecimal, with leading zeros up to width digits.
void AppendHex(TextBuilder& line, uint64_t value, int width = 1);
TextBuffer HexText(uint64_t value, int width = 1);
