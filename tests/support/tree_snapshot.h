// What a folder tree holds, to compare it before and after a run: every file
// and folder below it by relative path, with attributes, creation and
// last-write times, and each file's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct TreeEntry {
    bool folder = false;
    unsigned long attributes = 0;
    uint64_t created = 0;
    uint64_t written = 0;
    std::string bytes;
};

// Relative path (ASCII letters upper-cased, as the system compares names) to entry.
using TreeSnapshot = std::map<std::string, TreeEntry>;

TreeSnapshot SnapshotOf(const std::string& folder);

// What differs, one line each, the first few of them; "" when the trees are
// equal. Times are compared only when asked (a completed update gives new
// folders and files times of their own).
std::string TreeDifferences(const TreeSnapshot& expected, const TreeSnapshot& actual,
                            bool times = true);

// One line an entry, files with the size and a hash of their bytes: the form
// the kill test compares.
std::string SnapshotText(const TreeSnapshot& snapshot, bool times = true);
