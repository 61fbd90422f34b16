#include "text/text_builder.h"

#include <cstdlib>
#include <cstring>

TextBuilder::~TextBuilder() {
    free(bytes_);
}

void TextBuilder::Append(const char* text) {
    Append(text, strlen(text));
}

void TextBuilder::Append(const char* bytes, size_t count) {
    if (!complete_)
        return;
    if (length_ + count + 1 > capacity_) {
        size_t capacity = capacity_ == 0 ? 64 : capacity_;
        while (capacity < length_ + count + 1) capacity *= 2;
        char* grown = static_cast<char*>(realloc(bytes_, capacity));
        if (grown == nullptr) {
            complete_ = false;
            return;
        }
        bytes_ = grown;
        capacity_ = capacity;
    }
    memcpy(bytes_ + length_, bytes, count);
    length_ += count;
    bytes_[length_] = '\0';
}
