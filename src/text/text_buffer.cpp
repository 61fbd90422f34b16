#include "text/text_buffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "text/code_page.h"

bool EqualsNoCase(const char* a, const char* b) {
    for (;;) {
        // Both bytes of a double-byte character must match as they are: a
        // trail byte in the range of the ASCII letters is not a letter.
        if (IsLeadByte(static_cast<unsigned char>(*a))) {
            if (a[0] != b[0] || a[1] != b[1])
                return false;
            if (a[1] == '\0')
                return true;  // a lead byte cut off at the end
            a += 2;
            b += 2;
            continue;
        }
        if (FoldAscii(*a) != FoldAscii(*b))
            return false;
        if (*a == '\0')
            return true;
        ++a;
        ++b;
    }
}

TextBuffer FoldedName(const char* name) {
    TextBuffer folded(name);
    for (char* p = folded.data(); p != nullptr && *p != '\0'; ++p) {
        if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0')
            ++p;  // a trail byte is never a letter
        else
            *p = FoldAscii(*p);
    }
    return folded;
}

TextBuffer::TextBuffer() {
    Assign("");
}
TextBuffer::TextBuffer(const char* text) {
    Assign(text);
}
TextBuffer::TextBuffer(const char* bytes, size_t count) {
    if (Reserve(count + 1))
        memcpy(text_, bytes, count);
}
TextBuffer::TextBuffer(const TextBuffer& other) {
    Assign(other.c_str());
}
TextBuffer::TextBuffer(TextBuffer&& other) noexcept : text_(other.text_) {
    other.text_ = nullptr;
}

TextBuffer& TextBuffer::operator=(const TextBuffer& other) {
    if (this != &other) {
        TextBuffer copy(other);
        std::swap(text_, copy.text_);
    }
    return *this;
}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
    std::swap(text_, other.text_);
    return *this;
}

TextBuffer& TextBuffer::operator=(const char* text) {
    TextBuffer copy(text);  // text may lie in this buffer's own storage
    std::swap(text_, copy.text_);
    return *this;
}

TextBuffer::~TextBuffer() {
    free(text_);
}

size_t TextBuffer::Length() const {
    return strlen(c_str());
}

bool TextBuffer::Reserve(size_t n) {
    free(text_);
    text_ = static_cast<char*>(calloc(n == 0 ? 1 : n, 1));
    return text_ != nullptr;
}

bool TextBuffer::Assign(const char* text) {
    const size_t length = strlen(text);
    char* fresh = static_cast<char*>(malloc(length + 1));
    if (fresh == nullptr) {
        free(text_);
        text_ = nullptr;
        return false;
    }
    memcpy(fresh, text, length + 1);
    free(text_);
    text_ = fresh;
    return true;
}

bool TextBuffer::Append(const char* text) {
    const size_t old_length = Length();
    const size_t add = strlen(text);
    char* fresh = static_cast<char*>(malloc(old_length + add + 1));
    if (fresh == nullptr)
        return false;
    memcpy(fresh, c_str(), old_length);
    memcpy(fresh + old_length, text, add + 1);
    free(text_);
    text_ = fresh;
    return true;
}

TextBuffer TextBuffer::Slice(ptrdiff_t first, ptrdiff_t last) const {
    TextBuffer result;
    const ptrdiff_t length = static_cast<ptrdiff_t>(Length());
    if (first < 0 || first > length || last < first)
        return result;
    const ptrdiff_t count = (last < length ? last : length - 1) - first + 1;
    if (count <= 0 || !result.Reserve(static_cast<size_t>(count) + 1))
        return result;
    memcpy(result.text_, c_str() + first, static_cast<size_t>(count));
    return result;
}

int32_t TextBuffer::ToInt() const {
    int32_t value = 0;
    return ScanDecimal(c_str(), &value) ? value : 0;
}

uint32_t TextBuffer::ToHex() const {
    uint32_t value = 0;
    return ScanHex(c_str(), &value) ? value : 0;
}

namespace {

bool IsScanSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Blanks, then an optional sign, as scanf skips and reads them.
const char* SkipBlanksAndSign(const char* text, bool* negative) {
    while (IsScanSpace(*text)) ++text;
    *negative = (*text == '-');
    if (*text == '-' || *text == '+')
        ++text;
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ScanDecimal(const char* text, int32_t* value) {
    bool negative = false;
    text = SkipBlanksAndSign(text, &negative);
    if (*text < '0' || *text > '9')
        return false;
    uint32_t number = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        number = number * 10 + static_cast<uint32_t>(*text - '0');
    *value = static_cast<int32_t>(negative ? 0u - number : number);
    return true;
}

bool ScanHex(const char* text, uint32_t* value) {
    bool negative = false;
    text = SkipBlanksAndSign(text, &negative);
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // "0x" without digits is the number 0, as scanf reads it.
        text += 2;
        if (HexDigit(*text) < 0) {
            *value = 0;
            return true;
        }
    }
    if (HexDigit(*text) < 0)
        return false;
    uint32_t number = 0;
    for (; HexDigit(*text) >= 0; ++text)
        number = number * 16 + static_cast<uint32_t>(HexDigit(*text));
    *value = negative ? 0u - number : number;
    return true;
}

TextBuffer operator+(const TextBuffer& left, const char* right) {
    TextBuffer result(left);
    result.Append(right);
    return result;
}

TextBuffer operator+(const TextBuffer& left, const TextBuffer& right) {
    return left + right.c_str();
}

TextBuffer operator+(const char* left, const TextBuffer& right) {
    return TextBuffer(left) + right;
}

ByteArray::ByteArray(const ByteArray& other) {
    Assign(other.data_, other.size_);
}

ByteArray& ByteArray::operator=(const ByteArray& other) {
    if (this != &other) {
        ByteArray copy(other);
        std::swap(data_, copy.data_);
        std::swap(size_, copy.size_);
    }
    return *this;
}

void ByteArray::Clear() {
    free(data_);
    data_ = nullptr;
    size_ = 0;
}

bool ByteArray::Allocate(uint32_t n) {
    Clear();
    if (n == 0)
        return true;
    data_ = static_cast<unsigned char*>(calloc(n, 1));
    if (data_ == nullptr)
        return false;
    size_ = n;
    return true;
}

bool ByteArray::Assign(const void* bytes, uint32_t n) {
    ByteArray copy;
    if (!copy.Allocate(n))
        return false;
    if (n != 0)
        memcpy(copy.data_, bytes, n);
    std::swap(data_, copy.data_);
    std::swap(size_, copy.size_);
    return true;
}

bool ByteArray::Append(const void* bytes, uint32_t n) {
    ByteArray joined;
    // On failure the old content stays: the list stack must not lose its lists.
    if (!joined.Allocate(size_ + n))
        return false;
    if (size_ != 0)
        memcpy(joined.data_, data_, size_);
    if (n != 0)
        memcpy(joined.data_ + size_, bytes, n);
    std::swap(data_, joined.data_);
    std::swap(size_, joined.size_);
    return true;
}

ByteArray ByteArray::Concat(const ByteArray& other) const {
    ByteArray result(*this);
    result.Append(other);
    return result;
}

ByteArray ByteArray::Sub(uint32_t offset, uint32_t n) const {
    ByteArray result;
    if (offset <= size_ && n <= size_ - offset)
        result.Assign(data_ + offset, n);
    return result;
}

void ByteArray::Remove(uint32_t offset, uint32_t n) {
    if (n == 0 || offset >= size_)
        return;
    const uint32_t last = (n > size_ - offset) ? size_ - 1 : offset + n - 1;
    ByteArray rest = Sub(0, offset).Concat(Sub(last + 1, size_ - last - 1));
    *this = rest;
}

bool ByteArray::Equals(const ByteArray& other) const {
    return size_ == other.size_ && (size_ == 0 || memcmp(data_, other.data_, size_) == 0);
}
