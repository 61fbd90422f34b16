// Names and a number for each, found in one step. Names compare as the
// program compares procedure, symbol and keyword names: ASCII letters
// without regard to case, double-byte characters whole.
#pragma once

#include "text/list.h"
#include "text/text_buffer.h"

class NameIndex {
public:
    // Adds name with value; false, and nothing changes, when the name is
    // there already (or memory runs out).
    bool Add(const char* name, int value);
    // The number of name; -1 when it is not there.
    int Find(const char* name) const;
    void Clear();

private:
    struct Entry {
        TextBuffer key;  // folded
        int value = 0;
        int next = -1;
    };
    int Head(const TextBuffer& key) const;
    void Rehash();

    List<Entry> entries_;
    List<int> heads_;  // first entry of each bucket, -1 for none
};
