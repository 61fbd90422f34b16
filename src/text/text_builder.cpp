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
