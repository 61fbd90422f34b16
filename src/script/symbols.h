// The symbol table (<Name> entries from DEFINE and the built-in folders) and
// the expansion that every string value of the script passes through:
// symbols, then functions, then "\.." steps. No Win32 in here: what the
// functions ask the system goes through SystemLookups.
#pragma once

#include <cstdint>

#include "script/script_source.h"
#include "text/list.h"
#include "text/text_buffer.h"

enum AppPathValue { kAppPathDefault, kAppPathPath };

// Expansion is bounded, so that no script can make it run long or take much
// memory: a value may grow to the longest value the script reader delivers,
// and the symbol table's values together to 1 MiB.
const size_t kMostExpandedLength = kValueCapacity - 1;
const size_t kMostSymbolBytes = 1024 * 1024;

// Where expansion put nothing: the offsets, in an expanded value, at which a
// symbol or function stood whose result was the empty text (and each empty
// word of a {?Param\a\b} range). A mark at the start of an item tells that
// the item may be a path only because something there expanded to nothing.
class EmptyExpansions {
public:
    // Something empty stood at offset.
    void Add(size_t offset) { Merge(&offset, 1, 0); }
    // Bytes first to last were replaced by length bytes: marks inside them
    // go, later ones move; a mark at first stays, before the replacement.
    void Replace(size_t first, size_t last, size_t length);
    // The marks of a replacement that now stands at offset.
    void AddAt(const EmptyExpansions& inner, size_t offset) {
        Merge(inner.offsets_.begin(), inner.offsets_.Count(), offset);
    }
    // Whether a mark lies at an offset from first to last.
    bool AnyIn(size_t first, size_t last) const;

private:
    // In order and each once, so there are never more than the value has
    // bytes, however often a symbol that is empty is doubled.
    void Merge(const size_t* more, int count, size_t shift);
    List<size_t> offsets_;
};

class SystemLookups {
public:
    virtual ~SystemLookups() = default;
    // A value of the App Paths key of an executable name.
    virtual bool AppPath(const char* name, AppPathValue which, TextBuffer& value) const = 0;
    // The folder of a shell folder number (CSIDL).
    virtual bool SpecialFolder(int csidl, TextBuffer& path) const = 0;
};

class SymbolTable {
public:
    // words: the command line, whose words {?Param} gives. absent_word, when
    // given, stands for every word that the command line lacks: a checker
    // that cannot know the command line tries a word in each place.
    SymbolTable(const SystemLookups& lookups, const TextBuffer& words,
                const char* absent_word = nullptr)
        : lookups_(lookups), words_(words), absent_word_(absent_word) {}

    // A DEFINE line "<Name>=value": the name is what comes before the first
    // "=", the value what lies between it and a second "=".
    void AddDefinition(const TextBuffer& line);
    // Adds an entry, or replaces the value of the first entry of that name:
    // so a DEFINE line cannot change a built-in.
    void Define(const char* name, const char* value);
    // name includes its angle brackets; compared without regard to ASCII case.
    bool Lookup(const char* name, TextBuffer& value) const;
    // Expands every entry's value once, in table order: an entry sees the
    // expanded entries above it and the raw values below it. False, with
    // the name of the entry, when a value would grow beyond the limits.
    bool ExpandDefinitions(TextBuffer& too_long);
    int Count() const { return entries_.Count(); }
    const SystemLookups& Lookups() const { return lookups_; }

    // Symbols, then functions, then "\.." steps, in place. False when the
    // value would grow longer than kMostExpandedLength. empties, when given,
    // receives where a symbol or function expanded to nothing.
    bool ExpandValue(TextBuffer& value, EmptyExpansions* empties = nullptr) const;

private:
    struct Entry {
        TextBuffer name;
        TextBuffer value;
        EmptyExpansions empties;  // in value, once it is expanded
    };
    Entry* Find(const char* name);
    const Entry* Find(const char* name) const;
    void Append(const TextBuffer& name, const TextBuffer& value);
    class EmptyTracker;
    class SymbolResolver;
    class FunctionResolver;
    bool FunctionResult(TextBuffer& expression, EmptyExpansions& empties) const;
    // Word k of the command line, counted from 0 (from the end when
    // negative); where there is none, absent_word_ or "".
    TextBuffer Word(int64_t k) const;

    const SystemLookups& lookups_;
    const TextBuffer& words_;
    const char* absent_word_;
    List<Entry> entries_;
};

// Removes each "\.." step with the folder before it; component 0 (the drive)
// is never removed. True when something was removed. The marks of empties,
// when given, move with the text.
bool CollapseParentDirs(TextBuffer& value, EmptyExpansions* empties = nullptr);
