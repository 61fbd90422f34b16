// The bytes of a script file read as the system's private-profile functions
// read them, without Win32: what GetPrivateProfileStringA and
// GetPrivateProfileSectionA return for a name, where each section and value
// is in the file, and the lines whose reading depends on the system.
//
// How the functions read a file (checked against Wine, and against Windows
// where its behaviour is known):
// - A line ends at CR, LF or CRLF; blank lines are skipped. A lead byte takes
//   the next byte as its trail whatever it is (even CR or LF), except NUL.
// - Blanks are the bytes 0x09 to 0x0D, 0x1A and 0x20. Each line is trimmed of
//   them, and so are names around "=" and in brackets, and the names asked for
//   (a whole section read excepted: its name must match as given).
// - A line whose first character is "[" and that holds a "]" is a section
//   header: the name lies between the "[" and the last "]"; the rest is
//   ignored. Every other line is an entry: the name up to the first "=" and
//   the value behind it, or the whole line as a name without a value.
// - Names match ignoring the case of ASCII letters only; double-byte
//   characters are compared whole. Of several sections with one name only the
//   first is ever read; of several entries with one name the first counts.
// - A value between a pair of double or single quotes is given without them
//   by the string read, with them by the section read.
// - Lines beginning with ";" are left out of a section read but can be asked
//   for by name, as any other line.
// - A NUL byte ends the name or value it is in; the line goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Where the reading depends on the system. The reader reads as Windows does
// where that is known and Wine differs, and as Wine does where Windows'
// reading is not known; each issue says which.
enum class ProfileIssue : uint8_t {
    // The file begins with a UTF-8 byte-order mark. Wine reads the whole file
    // as UTF-8; Windows reads the mark as three characters of line 1, which
    // spoil a section header there. Read as Windows does.
    kUtf8Mark,
    // The file begins with a UTF-16 byte-order mark: both systems read it as
    // UTF-16 (Windows little-endian only). Not read here: no sections.
    kUtf16,
    // A lead byte without a valid, assigned trail byte: Wine gives back U+30FB
    // in its place (its trail byte is gone even when it was a line end).
    // Read as Windows reads ANSI files, byte for byte.
    kBadDoubleByte,
    // A double-byte code that is another code's duplicate (NEC and IBM
    // selections): Wine gives back the other code. Read byte for byte.
    kDuplicateCode,
    // An entry before the first section header: Wine reads such lines as a
    // section named "", Windows does not. Read as Windows does.
    kOutsideSection,
    // A header without a name, "[]": Windows finds it by the name "", Wine
    // never does. Read as Windows does.
    kUnnamedSection,
    // A NUL byte. Read as Wine does; Windows' reading is not known.
    kNulByte,
    // An entry without a name following another without a name: Wine drops
    // it. Read as Wine does; Windows' reading is not known.
    kRepeatedEmptyName,
};

struct ProfileNote {
    ProfileIssue issue;
    int line;
};

// One line of a section, as written, trimmed; comment lines included.
struct ProfileEntry {
    std::string name;
    std::string value;  // quotes kept; empty when there is no "="
    bool hasValue;      // the line has a "="
    int line;
};

struct ProfileSection {
    std::string name;
    int line;  // of the header; 0 for the entries before the first header
    std::vector<ProfileEntry> entries;
};

class ProfileText {
public:
    // bytes: the whole file. Code page 932 has its lead and trail bytes and
    // its assigned codes built in; any other code page takes its lead bytes
    // from code_page.h and every trail byte as valid.
    ProfileText(const char* bytes, size_t size, unsigned codePage = 932);

    // In file order, duplicates included; lines are counted from 1, each CR,
    // LF or CRLF ending one.
    const std::vector<ProfileSection>& Sections() const { return sections_; }
    // In file order, at most one of a kind per line.
    const std::vector<ProfileNote>& Notes() const { return notes_; }

    // What the string read finds: the first section named so, and in it the
    // first entry; null when there is none. The entry may lack a value.
    const ProfileSection* FindSection(const char* section) const;
    const ProfileEntry* FindEntry(const char* section, const char* key) const;
    // The same within a section already found.
    const ProfileEntry* FindEntry(const ProfileSection& section, const char* key) const;

    // GetPrivateProfileStringA(section, key, fallback, buffer, size) into a
    // zeroed buffer: the return value, and in text the bytes before the first
    // NUL. None of section, key and fallback may be null.
    uint32_t GetString(const char* section, const char* key, const char* fallback, uint32_t size,
                       std::string* text) const;
    // The same for an entry already found (null: the fallback).
    uint32_t GetString(const ProfileEntry* entry, const char* fallback, uint32_t size,
                       std::string* text) const;
    // GetPrivateProfileSectionA(section, buffer, size) into a zeroed buffer,
    // size at least 2: the return value, and in text the buffer's lines, each
    // followed by its NUL, without the final NUL.
    uint32_t GetSection(const char* section, uint32_t size, std::string* text) const;

private:
    void Parse(const char* bytes, size_t size);
    void AddLine(const char* bytes, size_t begin, size_t end, int line);
    void Note(ProfileIssue issue, int line);
    size_t UnitLength(const char* p, size_t left) const;
    const char* Trim(const char* text, size_t size, size_t* length) const;
    bool SameName(const std::string& stored, const char* name, size_t length) const;
    // A name as the matching sees it: ASCII letters folded, double-byte
    // characters whole.
    std::string NameKey(const char* name, size_t length) const;
    const ProfileSection* MatchSection(const char* name, size_t length) const;
    void AppendUnits(const char* text, size_t limit, std::vector<uint16_t>* units) const;

    unsigned codePage_;
    std::vector<ProfileSection> sections_;
    std::vector<ProfileNote> notes_;
    std::unordered_map<std::string, size_t> firstSections_;  // by NameKey
};
