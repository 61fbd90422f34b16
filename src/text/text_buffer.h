// The one string type of the updater: an owning, zero-terminated byte string
// in the ANSI code page, with the item, word and group operations that all
// parsing rests on. No Win32 in here, so it also builds and is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/list.h"

class TextBuffer {
public:
    TextBuffer();
    TextBuffer(const char* text);  // NOLINT: texts convert freely, as string literals do
    // The count bytes at bytes, which hold no zero byte: a piece of a text
    // in time proportional to the piece.
    TextBuffer(const char* bytes, size_t count);
    TextBuffer(const TextBuffer& other);
    TextBuffer(TextBuffer&& other) noexcept;
    TextBuffer& operator=(const TextBuffer& other);
    TextBuffer& operator=(TextBuffer&& other) noexcept;
    TextBuffer& operator=(const char* text);
    ~TextBuffer();

    // Never null: a buffer whose allocation failed reads as the empty text.
    const char* c_str() const { return text_ ? text_ : ""; }
    // Writable storage, for system calls that fill a buffer made by Reserve.
    char* data() { return text_; }
    size_t Length() const;
    bool IsEmpty() const { return c_str()[0] == '\0'; }

    // Frees the content and allocates n zeroed bytes.
    bool Reserve(size_t n);
    bool Assign(const char* text);
    bool Append(const char* text);
    bool Append(const TextBuffer& text) { return Append(text.c_str()); }
    // Bytes first to last, both included, stopping early at the terminating zero.
    TextBuffer Slice(ptrdiff_t first, ptrdiff_t last) const;

    int32_t ToInt() const;   // "%d"; 0 when no number
    uint32_t ToHex() const;  // "%x"; 0 when no number

    // Token operations. Indexes count from 0; a negative index counts from the end.
    int CountOf(const char* pattern) const;
    int ItemCount(const char* delimiter) const;
    bool FindItems(int first, int last, const char* delimiter, ptrdiff_t* start,
                   ptrdiff_t* end) const;
    TextBuffer Items(int first, int last, const char* delimiter) const;
    TextBuffer Item(int k, const char* delimiter) const { return Items(k, k, delimiter); }
    void ReplaceItems(int first, int last, const char* delimiter, const char* text);

    int WordCount() const;
    bool FindWords(int first, int last, ptrdiff_t* start, ptrdiff_t* end) const;
    TextBuffer Words(int first, int last) const;

    int GroupCount(const char* open, const char* close) const;
    bool FindGroups(int first, int last, const char* open, const char* close, ptrdiff_t* start,
                    ptrdiff_t* end) const;
    TextBuffer Groups(int first, int last, const char* open, const char* close) const;
    void ReplaceGroups(int first, int last, const char* open, const char* close, const char* text);

    void ReplaceRange(ptrdiff_t first, ptrdiff_t last, const char* text);
    bool ReplaceAll(const char* pattern, const char* text);
    // Removes repeated head patterns from the start and tail patterns from the
    // end; byte comparison ignoring ASCII case; "" switches that end off.
    void Trim(const char* head, const char* tail);

private:
    char* text_ = nullptr;
};

TextBuffer operator+(const TextBuffer& left, const char* right);
TextBuffer operator+(const TextBuffer& left, const TextBuffer& right);
TextBuffer operator+(const char* left, const TextBuffer& right);

// Decides what a group becomes: true and its replacement, or false to keep it.
class GroupResolver {
public:
    virtual ~GroupResolver() = default;
    virtual bool Resolve(const TextBuffer& group, TextBuffer& replacement) = 0;
    // The group, bytes start to end of the text, has just been replaced by
    // length bytes: for a resolver that keeps track of where things went.
    virtual void Replaced(ptrdiff_t /*start*/, ptrdiff_t /*end*/, size_t /*length*/) {}
};

enum class GroupRounds { kUnchanged, kReplaced, kTooLong };

// As many rounds as text has groups at the start; each looks at group i
// (from 0): a group the resolver replaces is replaced and i stays, so a
// group the replacement brings is looked at while rounds remain; any other
// group stays and i moves on. Stops with kTooLong, before the replacement,
// when the text would grow longer than limit bytes. Costs time in
// proportion to the text handled.
GroupRounds ReplaceGroupsInRounds(TextBuffer& text, const char* open, const char* close,
                                  size_t limit, GroupResolver& resolver);

// Bytes first to last of a text, both included.
struct TextRange {
    ptrdiff_t first = 0;
    ptrdiff_t last = 0;
};

// What FindGroups(g, g) finds for each g from 0 to GroupCount - 1, in one
// pass over the text. False when memory runs out.
bool FindEachGroup(const TextBuffer& text, const char* open, const char* close,
                   List<TextRange>& groups);

// Item i of a "," list, trimmed of spaces at both ends; "" when absent.
TextBuffer ListItem(const TextBuffer& list, int i);

// Removes the backslashes at the end of path that are separators, never the
// trail byte of a double-byte character (which Trim would take).
void RemoveTrailingSeparators(TextBuffer& path);

// What scanf reads with "%d" and "%x": blanks, an optional sign, digits (and
// for hex an optional 0x); false when no number begins the text.
bool ScanDecimal(const char* text, int32_t* value);
bool ScanHex(const char* text, uint32_t* value);

// An ASCII letter in upper case, any other byte as it is: how the names that
// scripts write are compared. Never given a trail byte (it may be a letter).
inline char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
// Byte comparison with the ASCII letters folded; both bytes of a double-byte
// character must match exactly.
bool EqualsNoCase(const char* a, const char* b);
// The name with its ASCII letters folded, double-byte characters kept whole:
// names that EqualsNoCase takes for the same give the same text.
TextBuffer FoldedName(const char* name);

// An owning run of bytes with a size; data is null when empty.
class ByteArray {
public:
    ByteArray() = default;
    ByteArray(const ByteArray& other);
    ByteArray& operator=(const ByteArray& other);
    ~ByteArray() { Clear(); }

    void Clear();
    bool Allocate(uint32_t n);
    bool Assign(const void* bytes, uint32_t n);
    bool Append(const void* bytes, uint32_t n);
    bool Append(const ByteArray& other) { return Append(other.data_, other.size_); }
    ByteArray Concat(const ByteArray& other) const;
    ByteArray Sub(uint32_t offset, uint32_t n) const;
    void Remove(uint32_t offset, uint32_t n);
    bool Equals(const ByteArray& other) const;

    unsigned char* Data() { return data_; }
    const unsigned char* Data() const { return data_; }
    uint32_t Size() const { return size_; }

private:
    unsigned char* data_ = nullptr;
    uint32_t size_ = 0;
};
