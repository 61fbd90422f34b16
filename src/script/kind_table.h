// The keys of [UPDATER] and of every procedure kind, as data: the program
// reads keys by this table, and a checker that knows no Win32 uses the same
// one, so the two can never disagree about what a section holds. A new key
// is a new row; a new kind is a line of kinds.def.
#pragma once

#include <cstdint>

enum class KindId : uint8_t {
#define KIND(name, ...) k##name,
#include "script/kinds.def"
#undef KIND
    kUpdater,  // not a kind: the keys of [UPDATER]
};

enum class KeyForm : uint8_t {
    kText,           // one value
    kList,           // items at ","
    kNumber,         // "%d", read without expansion
    kCondition,      // procedure names joined by NOT, AND and OR
    kProcedureList,  // procedure names at ","
    kFlag,           // a condition, then 0 or 1
};

// What each item of a key is taken as.
enum class ItemForm : uint8_t {
    kAny,      // any text
    kPath,     // a file, a folder or a pattern
    kDecimal,  // a number read as "%d": as far as it goes, 0 when none
    kHex,      // a number read as "%x": as far as it goes, 0 when none
    kWord,     // one of the key's words, compared without regard to ASCII case
    kVersion,  // a Windows version, "major.minor" or "major.minor.build"
    kYes,      // "YES" in any letter case turns it on; any other value leaves it off
    kProse,    // text shown to the user: may hold brackets and braces of its own
    kSeconds,  // whole seconds, spaces around them allowed, none for 0 (ParseRetrySeconds)
};

struct KeySpec {
    const char* name;
    KeyForm form;
    bool main;      // the list whose items the kind works through; empty: message 4
    bool paired;    // items pair with the main list's by position
    bool required;  // an empty value makes the procedure fail
    bool writes;    // its items name places that are written, moved or deleted
    ItemForm items;
    const char* const* words;  // for kWord: the words, ended by null
};

// The words of MSGBOX TYPE and of SHELL FUNC, by their index in the key's words.
enum BoxType { kBoxError, kBoxInformation, kBoxWarning, kBoxQuestion };
enum ShellFunction { kShellMove, kShellCopy, kShellDelete, kShellRename };

struct KindSpec {
    KindId id;
    const char* mode;         // the MODE value, compared without regard to ASCII case
    const char* object_name;  // named in message 3 when the record cannot be made
    const char* count_label;  // the key named in message 4; null: the main key's name
    const KeySpec* keys;      // in the order in which they are read
    int key_count;
    // Keys that may be left out, read after the others; a value that is
    // there must have the key's form (message 2 otherwise).
    const KeySpec* optional_keys = nullptr;
    int optional_count = 0;
};

// Whether a table of one row a kind holds the row of the kind of id i at i,
// for every kind: tables made from kinds.def check themselves with it.
template <typename Row, int N>
constexpr bool RowsInKindOrder(const Row (&rows)[N]) {
    for (int i = 0; i < N; ++i) {
        if (rows[i].id != static_cast<KindId>(i))
            return false;
    }
    return N == static_cast<int>(KindId::kUpdater);
}

// The keys of [UPDATER], as a kind of their own that no MODE names.
const KindSpec& UpdaterKeys();

// The kinds in the order in which a MODE value is compared with them.
int KindCount();
const KindSpec& KindAt(int index);
// The kind a MODE value names; null for none.
const KindSpec* FindKind(const char* mode);
// The main list key of a kind; null for kinds without one.
const KeySpec* MainKey(const KindSpec& kind);
// Position of key in the kind's keys, the optional ones counted after the
// others; -1 when it has no such key.
int KeyIndex(const KindSpec& kind, const char* key);
// The key of that name; null when the kind has none.
const KeySpec* FindKey(const KindSpec& kind, const char* key);
// Index of value among the key's words; -1 when it is none of them.
int WordIndex(const KeySpec& key, const char* value);

// Key i of the kind, the optional ones counted after the others.
const KeySpec& KeyAt(const KindSpec& kind, int i);
// The kind's keys, optional ones included.
inline int KeyCount(const KindSpec& kind) {
    return kind.key_count + kind.optional_count;
}
// No kind reads more keys than this, optional ones included.
const int kMostKeys = 6;

// Lists deeper than this are refused (message 11), so that a SWITCH that
// selects itself cannot recurse without end. PROC of UPDATER is the first.
const int kMaxListDepth = 64;
