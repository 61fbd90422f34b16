// The undo journal's contents, without Win32: what a procedure's places were
// before it ran, what single changes set aside, and the journal's text. The
// text is written in batches, each ended by a seal line holding its CRC-32:
// a batch that a crash cut short fails its seal and is never read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "text/list.h"
#include "text/text_buffer.h"
#include "text/text_builder.h"

// Attributes and times of a file or folder, as the system reports them.
struct FileState {
    uint32_t attributes = 0;
    uint64_t created = 0;
    uint64_t written = 0;
};

// What a place was before a procedure ran.
enum class PlaceKind : char {
    kFile = 'f',
    kFolder = 'd',          // a folder, every entry below it listed as well
    kUnlistedFolder = 'u',  // a folder whose entries are not known: a link, or too many
    kAbsent = 'a',          // nothing was there
    kEnclosing = 't',       // a folder around the places: only its times are kept
};

struct Place {
    PlaceKind kind = PlaceKind::kAbsent;
    FileState state;
    TextBuffer path;  // full path
};

// The places of one procedure, found by path without regard to the case of
// ASCII letters; double-byte characters are compared whole.
class PlaceIndex {
public:
    // Adds place unless a place of that path is there. The index of the place
    // with that path; -1 when memory ran out.
    int Add(const Place& place);
    int Find(const char* path) const;
    int Count() const { return places_.Count(); }
    const Place& operator[](int i) const { return places_[i]; }
    void SetKind(int i, PlaceKind kind) { places_[i].kind = kind; }
    void Clear();

private:
    // Where path is in slots_, or the empty slot where it would go.
    int SlotOf(const char* path) const;
    bool Grow();

    List<Place> places_;
    std::unique_ptr<int[]> slots_;  // place index + 1; 0 for an empty slot
    int capacity_ = 0;
};

// The same path as the index sees it: ASCII letters in upper case.
TextBuffer FoldedPath(const char* path);
// Whether path is folder or lies below it, compared as the index compares.
bool IsAtOrBelow(const char* path, const char* folder);
// Where a set-aside file goes, below a set-aside folder: the procedure's
// number, then the group (its places, or "e" for single changes) with the
// index. Few names to a folder keep every lookup there fast.
TextBuffer SlotName(uint32_t procedure, const char* group, uint32_t index);
// Backslashes that separate components, the one of a UNC name's start excepted.
int PathDepth(const char* path);
// A name in a folder; a drive's root ends in its backslash already.
TextBuffer JoinPath(const TextBuffer& folder, const char* name);

enum class RecordType : char {
    kHeader = 'H',       // number: the run; path: the script; other: the set-aside folder
    kProcedure = 'P',    // number: the procedure's; its places follow
    kPlace = 'E',        // how: the PlaceKind; state and path
    kSetAside = 'A',     // how: 'r' renamed, 'c' copied; path was moved or copied to other
    kCreated = 'N',      // path did not exist
    kMoved = 'M',        // path, with state, was moved to other
    kCancelled = 'X',    // the move of path to other recorded before failed: nothing moved
    kState = 'T',        // how: 'f' file, 'd' folder; path had state
    kAsideFolder = 'V',  // path: a set-aside folder on another volume
    kCompleted = 'D',    // the run completed: nothing is to be undone
    kUndone = 'R',       // how: 'r' the single records, 'p' the places, of procedure number undone
    kRestored = 'U',     // everything was put back
};

struct Record {
    RecordType type = RecordType::kCompleted;
    char how = '-';
    uint32_t number = 0;
    FileState state;
    TextBuffer path;
    TextBuffer other;
};

// One batch of journal lines, then its seal.
class JournalBatch {
public:
    void Add(const Record& record);
    void AddPlace(const Place& place);
    // Ends the batch; nothing may be added after.
    void Seal();
    const char* Bytes() const { return text_.Data(); }
    size_t Length() const { return text_.Size(); }
    // False when memory ran out while it was built.
    bool Complete() const { return text_.Complete(); }

private:
    TextBuilder text_;
};

// The records of the batches of a journal's bytes, in order, up to the first
// batch whose seal is missing or does not match.
void ParseJournal(const char* bytes, size_t size, List<Record>& records);
