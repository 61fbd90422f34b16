#include "check/name_index.h"

#include <cstring>

int NameIndex::Head(const TextBuffer& key) const {
    unsigned hash = 2166136261u;
    for (const char* p = key.c_str(); *p != '\0'; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
    return static_cast<int>(hash & static_cast<unsigned>(heads_.Count() - 1));
}

void NameIndex::Rehash() {
    const int buckets = heads_.Count() == 0 ? 16 : heads_.Count() * 2;
    heads_.Clear();
    for (int i = 0; i < buckets; ++i) heads_.Add(-1);
    for (int i = 0; i < entries_.Count(); ++i) {
        int& head = heads_[Head(entries_[i].key)];
        entries_[i].next = head;
        head = i;
    }
}

bool NameIndex::Add(const char* name, int value) {
    if (Find(name) >= 0)
        return false;
    if (entries_.Count() >= heads_.Count())
        Rehash();
    Entry entry;
    entry.key = FoldedName(name);
    entry.value = value;
    const int head = Head(entry.key);
    entry.next = heads_[head];
    if (!entries_.Add(std::move(entry)))
        return false;
    heads_[head] = entries_.Count() - 1;
    return true;
}

int NameIndex::Find(const char* name) const {
    if (heads_.Count() == 0)
        return -1;
    const TextBuffer key = FoldedName(name);
    for (int i = heads_[Head(key)]; i >= 0; i = entries_[i].next) {
        if (strcmp(entries_[i].key.c_str(), key.c_str()) == 0)
            return entries_[i].value;
    }
    return -1;
}

void NameIndex::Clear() {
    entries_.Clear();
    heads_.Clear();
}
