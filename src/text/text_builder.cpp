#include "text/text_builder.h"

#include <cstdlib>
#include <cstring>

TextBuilder::~TextBuilder() {
    free(bytes_);
}

char* TextBuilder::Room(size_t count) {
    if (capacity_ - size_ < count) {
        size_t capacity = capacity_ == 0 ? 256 : capacity_;
        while (capacity - size_ < count) capacity *= 2;
        char* grown = static_cast<char*>(realloc(bytes_, capacity));
        if (grown == nullptr) {
            complete_ = false;
            return nullptr;
        }
        bytes_ = grown;
        capacity_ = capacity;
    }
    return bytes_ + size_;
}

bool TextBuilder::Append(const char* bytes, size_t count) {
    char* room = Room(count);
    if (room == nullptr)
        return false;
    memcpy(room, bytes, count);
    size_ += count;
    return true;
}

bool TextBuilder::Append(const char* text) {
    return Append(text, strlen(text));
}

TextBuffer TextBuilder::Text() const {
    TextBuffer text;
    if (size_ != 0 && text.Reserve(size_ + 1))
        memcpy(text.data(), bytes_, size_);
    return text;
}

void AppendDecimal(TextBuilder& line, uint64_t value, int width, char pad) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < width; ++i) line.Append(&pad, 1);
    while (count > 0) line.Append(&digits[--count], 1);
}

TextBuffer DecimalText(uint64_t value, int width) {
    TextBuilder digits;
    AppendDecimal(digits, value, width);
    return digits.Text();
}

void AppendHex(TextBuilder& line, uint64_t value, int width) {
    char digits[16];
    int count = 0;
    do {
        digits[15 - count++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0 || count < width);
    line.Append(digits + 16 - count, static_cast<size_t>(count));
}

TextBuffer HexText(uint64_t value, int width) {
    TextBuilder digits;
    AppendHex(digits, value, width);
    return digits.Text();
}
