#include "script/profile_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/code_page.h"
#include "text/text_buffer.h"

namespace {

struct CodeRange {
    uint16_t first;
    uint16_t last;
};

// Double-byte codes of code page 932 that have no character (both systems
// share the table). Only codes with a valid trail byte are looked up, so a
// range may run across lead bytes.
const CodeRange kUnassigned932[] = {
    {0x81AD, 0x81B7}, {0x81C0, 0x81C7}, {0x81CF, 0x81D9}, {0x81E9, 0x81EF}, {0x81F8, 0x81FB},
    {0x8240, 0x824E}, {0x8259, 0x825F}, {0x827A, 0x8280}, {0x829B, 0x829E}, {0x82F2, 0x82FC},
    {0x8397, 0x839E}, {0x83B7, 0x83BE}, {0x83D7, 0x83FC}, {0x8461, 0x846F}, {0x8492, 0x849E},
    {0x84BF, 0x86FC}, {0x875E, 0x875E}, {0x8776, 0x877D}, {0x879D, 0x889E}, {0x9873, 0x989E},
    {0xEAA5, 0xECFC}, {0xEEED, 0xEEEE}, {0xEF40, 0xEFFC}, {0xFC4C, 0xFCFC},
};

// Codes whose character also has another code, the one a conversion back
// from Unicode gives: NEC row 13 symbols found in JIS row 2, the NEC
// selection of IBM extensions, IBM Roman numerals and symbols.
const CodeRange kDuplicates932[] = {
    {0x8790, 0x8792}, {0x8795, 0x8797}, {0x879A, 0x879C}, {0xED40, 0xEEEC},
    {0xEEEF, 0xEEFC}, {0xFA4A, 0xFA54}, {0xFA58, 0xFA5B},
};

bool IsLead932(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

template <size_t N>
bool InRanges(const CodeRange (&ranges)[N], unsigned code) {
    for (const CodeRange& r : ranges) {
        if (code >= r.first && code <= r.last)
            return true;
    }
    return false;
}

bool IsBlank(unsigned char b) {
    return (b >= 0x09 && b <= 0x0D) || b == 0x1A || b == 0x20;
}

// A buffer's characters: a single byte, or lead byte << 8 | trail byte.
using Units = std::vector<uint16_t>;

size_t UnitBytes(uint16_t unit) {
    return unit > 0xFF ? 2 : 1;
}

}  // namespace

ProfileText::ProfileText(const char* bytes, size_t size, unsigned codePage) : codePage_(codePage) {
    Parse(bytes, size);
}

size_t ProfileText::UnitLength(const char* p, size_t left) const {
    const unsigned char b = static_cast<unsigned char>(p[0]);
    const bool lead = codePage_ == 932 ? IsLead932(b) : IsLeadByte(b);
    // A lead byte takes any next byte but NUL, even a line end.
    return (lead && left >= 2 && p[1] != '\0') ? 2 : 1;
}

void ProfileText::Note(ProfileIssue issue, int line) {
    // Notes come in line order: only the last line's need looking at.
    for (size_t i = notes_.size(); i > 0 && notes_[i - 1].line == line; --i) {
        if (notes_[i - 1].issue == issue)
            return;
    }
    notes_.push_back({issue, line});
}

void ProfileText::Parse(const char* bytes, size_t size) {
    if (size >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                      (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        Note(ProfileIssue::kUtf16, 1);
        return;
    }
    const size_t markEnd = (size >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) ? 3 : 0;
    if (markEnd != 0)
        Note(ProfileIssue::kUtf8Mark, 1);

    // Physical lines for the line numbers: each CR, LF or CRLF ends one, also
    // where a bad lead byte has taken the CR or LF as its trail.
    int line = 1;
    size_t counted = 0;
    auto lineAt = [&](size_t offset) {
        while (counted < offset) {
            if (bytes[counted] == '\n' || bytes[counted] == '\r') {
                ++line;
                counted +=
                    (bytes[counted] == '\r' && counted + 1 < size && bytes[counted + 1] == '\n')
                        ? 2
                        : 1;
            } else {
                ++counted;
            }
        }
        return line;
    };

    size_t pos = 0;
    while (pos < size) {
        const size_t begin = pos;
        const int first = lineAt(begin);
        while (pos < size && bytes[pos] != '\r' && bytes[pos] != '\n') {
            const size_t n = UnitLength(bytes + pos, size - pos);
            if (pos >= markEnd) {
                const unsigned char b = static_cast<unsigned char>(bytes[pos]);
                if (b == 0)
                    Note(ProfileIssue::kNulByte, lineAt(pos));
                if (codePage_ == 932 && IsLead932(b)) {
                    const unsigned char t = n == 2 ? static_cast<unsigned char>(bytes[pos + 1]) : 0;
                    const unsigned code = b << 8 | t;
                    if (t < 0x40 || t == 0x7F || t > 0xFC || InRanges(kUnassigned932, code))
                        Note(ProfileIssue::kBadDoubleByte, lineAt(pos));
                    else if (InRanges(kDuplicates932, code))
                        Note(ProfileIssue::kDuplicateCode, lineAt(pos));
                }
            }
            pos += n;
        }
        AddLine(bytes, begin, pos, first);
        while (pos < size && (bytes[pos] == '\r' || bytes[pos] == '\n')) ++pos;
    }
    // Found by name in one step: the first section of each name.
    for (size_t i = 0; i < sections_.size(); ++i) {
        const char* name = sections_[i].name.c_str();
        if (sections_[i].line != 0)
            firstSections_.emplace(NameKey(name, strlen(name)), i);
    }
    // A line that took a line end into a bad character noted the next
    // physical line before its own.
    std::stable_sort(notes_.begin(), notes_.end(),
                     [](const ProfileNote& a, const ProfileNote& b) { return a.line < b.line; });
}

void ProfileText::AddLine(const char* bytes, size_t begin, size_t end, int line) {
    // One pass over the characters: the first and last that are not blank,
    // the first "=" and the last "]".
    size_t first = end, last = end, equals = end, bracket = end;
    for (size_t p = begin; p < end;) {
        const size_t n = UnitLength(bytes + p, end - p);
        if (n == 2 || !IsBlank(static_cast<unsigned char>(bytes[p]))) {
            if (first == end)
                first = p;
            last = p + n;
        }
        if (n == 1 && bytes[p] == '=' && equals == end)
            equals = p;
        if (n == 1 && bytes[p] == ']')
            bracket = p;
        p += n;
    }
    if (first == end)
        return;  // a blank line

    // Trims [from, to) of blanks at both ends, character by character.
    auto trimmed = [&](size_t from, size_t to) {
        size_t length = 0;
        const char* text = Trim(bytes + from, to - from, &length);
        return std::string(text, length);
    };

    if (bytes[first] == '[' && bracket != end && bracket > first) {
        ProfileSection section{trimmed(first + 1, bracket), line, {}};
        if (section.name.c_str()[0] == '\0')
            Note(ProfileIssue::kUnnamedSection, line);
        sections_.push_back(std::move(section));
        return;
    }

    ProfileEntry entry;
    entry.line = line;
    entry.hasValue = equals != end;
    if (entry.hasValue) {
        entry.name = trimmed(first, equals);
        entry.value = trimmed(equals + 1, last);
    } else {
        entry.name = std::string(bytes + first, last - first);
    }
    if (sections_.empty())
        sections_.push_back(ProfileSection{std::string(), 0, {}});
    ProfileSection& section = sections_.back();
    // Wine keeps one entry without a name, not a second in a row.
    if (entry.name.empty() && !section.entries.empty() &&
        section.entries.back().name.c_str()[0] == '\0') {
        Note(ProfileIssue::kRepeatedEmptyName, line);
        return;
    }
    if (section.line == 0 && entry.name.c_str()[0] != ';')
        Note(ProfileIssue::kOutsideSection, line);
    section.entries.push_back(std::move(entry));
}

const char* ProfileText::Trim(const char* text, size_t size, size_t* length) const {
    const char* first = text + size;
    const char* last = first;
    for (size_t p = 0; p < size;) {
        const size_t n = UnitLength(text + p, size - p);
        if (n == 2 || !IsBlank(static_cast<unsigned char>(text[p]))) {
            if (first == text + size)
                first = text + p;
            last = text + p + n;
        }
        p += n;
    }
    *length = static_cast<size_t>(last - first);
    return first;
}

// Whether stored, up to its first NUL, is name[0, length) ignoring the case of
// ASCII letters; double-byte characters are compared whole.
bool ProfileText::SameName(const std::string& stored, const char* name, size_t length) const {
    const char* text = stored.c_str();
    if (strlen(text) != length)
        return false;
    for (size_t p = 0; p < length;) {
        const size_t n = UnitLength(text + p, length - p);
        if (n == 2 ? (text[p] != name[p] || text[p + 1] != name[p + 1])
                   : FoldAscii(text[p]) != FoldAscii(name[p]))
            return false;
        p += n;
    }
    return true;
}

std::string ProfileText::NameKey(const char* name, size_t length) const {
    std::string key;
    for (size_t p = 0; p < length;) {
        const size_t n = UnitLength(name + p, length - p);
        key += n == 2 ? name[p] : FoldAscii(name[p]);
        if (n == 2)
            key += name[p + 1];
        p += n;
    }
    return key;
}

// The first section named so; the entries before the first header are never
// found.
const ProfileSection* ProfileText::MatchSection(const char* name, size_t length) const {
    const auto found = firstSections_.find(NameKey(name, length));
    return found != firstSections_.end() ? &sections_[found->second] : nullptr;
}

const ProfileSection* ProfileText::FindSection(const char* section) const {
    size_t length = 0;
    const char* name = Trim(section, strlen(section), &length);
    return MatchSection(name, length);
}

const ProfileEntry* ProfileText::FindEntry(const char* section, const char* key) const {
    const ProfileSection* found = FindSection(section);
    return found != nullptr ? FindEntry(*found, key) : nullptr;
}

const ProfileEntry* ProfileText::FindEntry(const ProfileSection& section, const char* key) const {
    size_t length = 0;
    const char* name = Trim(key, strlen(key), &length);
    for (const ProfileEntry& entry : section.entries) {
        if (SameName(entry.name, name, length))
            return &entry;
    }
    return nullptr;
}

void ProfileText::AppendUnits(const char* text, size_t limit, std::vector<uint16_t>* units) const {
    const size_t size = strlen(text);
    for (size_t p = 0; p < size && limit > 0; --limit) {
        const size_t n = UnitLength(text + p, size - p);
        const unsigned char b = static_cast<unsigned char>(text[p]);
        units->push_back(
            static_cast<uint16_t>(n == 2 ? (b << 8 | static_cast<unsigned char>(text[p + 1])) : b));
        p += n;
    }
}

uint32_t ProfileText::GetString(const char* section, const char* key, const char* fallback,
                                uint32_t size, std::string* text) const {
    return GetString(FindEntry(section, key), fallback, size, text);
}

uint32_t ProfileText::GetString(const ProfileEntry* entry, const char* fallback, uint32_t size,
                                std::string* text) const {
    text->clear();
    if (size == 0)
        return 0;
    std::string source;
    if (entry != nullptr && entry->hasValue) {
        source = entry->value.c_str();
    } else {
        // Blanks at the end of the fallback go, but never its first character.
        source = fallback;
        size_t keep = source.size();
        while (keep > 1 && source[keep - 1] == ' ') --keep;
        source.resize(keep);
    }

    // The value as characters, cut to size - 1 of them, without a pair of
    // quotes around it; where the cut leaves the closing quote out, the
    // character before it goes too (as Wine does).
    Units units;
    AppendUnits(source.c_str(), source.size(), &units);
    size_t from = 0;
    size_t count = units.size();
    const bool quoted =
        count > 1 && (units[0] == '"' || units[0] == '\'') && units[count - 1] == units[0];
    if (quoted) {
        from = 1;
        --count;
    }
    size_t copied = count < size - 1 ? count : size - 1;
    if (quoted && size >= count && copied > 0)
        --copied;

    // Back to bytes in size - 1 of them, whole characters only; when they do
    // not all fit, the result is size - 1 whatever fitted.
    size_t room = size - 1;
    for (size_t i = from; i < from + copied; ++i) {
        const size_t n = UnitBytes(units[i]);
        if (n > room)
            return size - 1;
        if (n == 2)
            text->push_back(static_cast<char>(units[i] >> 8));
        text->push_back(static_cast<char>(units[i] & 0xFF));
        room -= n;
    }
    return static_cast<uint32_t>(text->size());
}

uint32_t ProfileText::GetSection(const char* section, uint32_t size, std::string* text) const {
    text->clear();
    const ProfileSection* found = MatchSection(section, strlen(section));
    if (found == nullptr)
        return 0;

    // The lines as characters into a buffer of 2 * size of them, each line
    // followed by a NUL; on overflow the last line is cut and ends the buffer
    // with two NULs.
    const size_t total = 2 * static_cast<size_t>(size);
    size_t left = total;
    Units units;
    for (const ProfileEntry& entry : found->entries) {
        if (left <= 2)
            break;
        const char* name = entry.name.c_str();
        if ((name[0] == '\0' && !entry.hasValue) || name[0] == ';')
            continue;
        size_t before = units.size();
        AppendUnits(name, left - 2, &units);
        units.push_back(0);
        left -= units.size() - before;
        if (left < 2)
            break;
        if (entry.hasValue) {
            units.back() = '=';
            before = units.size();
            AppendUnits(entry.value.c_str(), left - 2, &units);
            units.push_back(0);
            left -= units.size() - before;
        }
    }
    size_t length = total - left;
    if (left <= 1) {
        units.back() = 0;
        length = total - 2;
    }
    if (length == 0)
        return 0;

    // Back to bytes into size of them, whole characters only: the lines and
    // the last line's NUL. A buffer filled up or overflowing is cut to
    // size - 2 bytes and two NULs.
    if (length == total - 2)
        ++length;
    units.resize(length + 1, 0);
    std::string bytes;
    bool whole = true;
    for (uint16_t unit : units) {
        const size_t n = UnitBytes(unit);
        if (bytes.size() + n > size) {
            whole = false;
            break;
        }
        if (n == 2)
            bytes.push_back(static_cast<char>(unit >> 8));
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    uint32_t result = 0;
    if (!whole || bytes.size() == size) {
        bytes.resize(size - 2);
        result = size - 2;
    } else {
        result = static_cast<uint32_t>(bytes.size() - 1);
    }
    // The lines, each with its NUL, up to the first empty one.
    for (size_t p = 0; p < bytes.size() && bytes[p] != '\0';) {
        const size_t end = bytes.find('\0', p);
        const size_t stop = end == std::string::npos ? bytes.size() : end;
        text->append(bytes, p, stop - p);
        text->push_back('\0');
        p = stop + 1;
    }
    return result;
}
