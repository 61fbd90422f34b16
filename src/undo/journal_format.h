// The undo journal's contents, without Win32: what a procedure's places were
// before it ran, what the run set aside, made and wrote, and the journal's
// text. The text is written in batches, each ended by a seal line holding its
// CRC-32: a batch that a crash cut short fails its seal and is never read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "text/list.h"
#include "text/text_buffer.h"
#include "text/text_builder.h"

// The version of the journal's text. A journal of any other version, or of
// none, is never obeyed.
const uint32_t kJournalVersion = 2;

// Attributes and times of a file or folder, as the system reports them.
struct FileState {
    uint32_t attributes = 0;
    uint64_t created = 0;
    uint64_t written = 0;
};

// What a file the run wrote was once written: a file that differs in any of
// these is no longer what the run left.
struct Fingerprint {
    uint64_t size = 0;
    uint64_t written = 0;
    uint32_t volume = 0;
    uint64_t index = 0;
    bool operator==(const Fingerprint& other) const {
        return size == other.size && written == other.written && volume == other.volume &&
               index == other.index;
    }
};

// Paths found without regard to the case of ASCII letters, double-byte
// characters compared whole: each added path gets the next number.
class PathIndex {
public:
    // The number of path, added when it is new; -1 when memory ran out.
    int Add(const char* path);
    int Find(const char* path) const;
    int Count() const { return paths_.Count(); }
    const TextBuffer& operator[](int i) const { return paths_[i]; }
    void Clear();

private:
    // Where path is in slots_, or the empty slot where it would go.
    int SlotOf(const char* path) const;
    bool Grow();

    List<TextBuffer> paths_;
    std::unique_ptr<int[]> slots_;  // path number + 1; 0 for an empty slot
    int capacity_ = 0;
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

// The places of one procedure, by path.
class PlaceIndex {
public:
    // Adds place unless a place of that path is there. The index of the place
    // with that path; -1 when memory ran out.
    int Add(const Place& place);
    int Find(const char* path) const { return paths_.Find(path); }
    int Count() const { return places_.Count(); }
    const Place& operator[](int i) const { return places_[i]; }
    void SetKind(int i, PlaceKind kind) { places_[i].kind = kind; }
    void Clear();
    // Whether path is a place or lies below one: a record is obeyed only there.
    bool Covers(const TextBuffer& path) const;

private:
    PathIndex paths_;
    List<Place> places_;
};

// Eight hexadecimal digits: the names of journals and of the run's folders.
TextBuffer HexName(uint32_t value);

// Where a set-aside file goes, below a set-aside folder: the procedure's
// number, then the group (its places, or "e" for single changes) with the
// index. Few names to a folder keep every lookup there fast.
TextBuffer SlotName(uint32_t procedure, const char* group, uint32_t index);

enum class RecordType : char {
    kVersion = 'Y',      // number: the journal's version; always the first record
    kHeader = 'H',       // number: the run; path: the script; other: the set-aside folder
    kProcedure = 'P',    // number: the procedure's; its places follow
    kPlace = 'E',        // how: the PlaceKind; state and path
    kSetAside = 'A',     // how: 'r' renamed, 'c' copied; path was moved or copied to other
    kMade = 'N',         // how: 'f' file, 'd' folder, 't' a tree the shell makes; path was
                         // not there and the run makes it
    kWritten = 'W',      // the run writes path, which it has kept first
    kPrint = 'F',        // the fingerprint of path once written; how 't': the records of
                         // every entry of the tree path follow
    kMoved = 'M',        // path, with state, was moved to other; how 'n': path was the
                         // run's own, no state
    kCancelled = 'X',    // the move of path to other recorded before failed: nothing moved
    kState = 'T',        // how: 'f' file, 'd' folder; path had state
    kAsideFolder = 'V',  // path: a set-aside folder on another volume
    kCompleted = 'D',    // the run completed: nothing is to be undone
    kUndone = 'R',       // how: 'r' the records, 'p' the places, of procedure number undone;
                         // 'c': the undo copies other, set aside, back into path
    kLeft = 'L',         // the undo left path as it is and goes on: it cannot be whole
    kRestored = 'U',     // everything was put back
};

struct Record {
    RecordType type = RecordType::kCompleted;
    char how = '-';
    uint32_t number = 0;
    FileState state;
    // A fingerprint's other fields (its last write is state.written).
    uint64_t size = 0;
    uint32_t volume = 0;
    uint64_t index = 0;
    TextBuffer path;
    TextBuffer other;

    Fingerprint Print() const { return {size, state.written, volume, index}; }
    void SetPrint(const Fingerprint& print);
};

Record MakeRecord(RecordType type, char how, const TextBuffer& path,
                  const TextBuffer& other = TextBuffer());

// One batch of journal lines, then its seal.
class JournalBatch {
public:
    void Add(const Record& record);
    void AddPlace(const Place& place);
    // Ends the batch; nothing may be added after.
    void Seal();
    // Empty again, to be begun anew.
    void Clear() { text_.Clear(); }
    bool IsEmpty() const { return text_.Size() == 0; }
    const char* Bytes() const { return text_.Data(); }
    size_t Length() const { return text_.Size(); }
    // False when memory ran out while it was built.
    bool Complete() const { return text_.Complete(); }

private:
    TextBuilder text_;
};

// The records of the batches of a journal's bytes, in order, up to the first
// batch whose seal is missing or does not match. The length of those batches:
// what lies beyond was never sealed. Where memory ran out, size, as nothing
// is known of the rest.
size_t ParseJournal(const char* bytes, size_t size, List<Record>& records);

// The records begin with this version's record and a header.
bool IsCurrentJournal(const List<Record>& records);
