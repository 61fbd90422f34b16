#include "app/undo_format.h"

#include <cstring>
#include <new>

#include "text/code_page.h"
#include "text/crc32.h"

namespace {

const char kDigits[] = "0123456789ABCDEF";

void AddHex(TextBuilder& text, uint64_t value, int digits) {
    char buffer[16];
    for (int i = digits - 1; i >= 0; --i, value >>= 4) buffer[i] = kDigits[value & 0xF];
    text.Append(buffer, static_cast<size_t>(digits));
}

// Reads hexadecimal digits up to the next tab or the end; false for anything else.
bool ReadHex(const char*& at, const char* end, uint64_t* value) {
    *value = 0;
    const char* start = at;
    for (; at < end && *at != '\t'; ++at) {
        const char* digit = strchr(kDigits, *at);
        if (*at == '\0' || digit == nullptr || at - start >= 16)
            return false;
        *value = (*value << 4) | static_cast<uint64_t>(digit - kDigits);
    }
    return at > start;
}

// The text up to the next tab or the end.
TextBuffer ReadField(const char*& at, const char* end) {
    const char* start = at;
    while (at < end && *at != '\t') ++at;
    TextBuilder field;
    field.Append(start, static_cast<size_t>(at - start));
    return field.Text();
}

bool Skip(const char*& at, const char* end, char c) {
    if (at >= end || *at != c)
        return false;
    ++at;
    return true;
}

bool IsRecordType(char c) {
    return strchr("HPEANMXTVDRU", c) != nullptr && c != '\0';
}

// One line without its line feed: type, how, number, attributes, times,
// path and other, separated by tabs.
bool ParseRecord(const char* at, const char* end, Record& record) {
    uint64_t number = 0, attributes = 0;
    if (at + 4 > end || !IsRecordType(at[0]) || at[1] != '\t' || at[3] != '\t')
        return false;
    record.type = static_cast<RecordType>(at[0]);
    record.how = at[2];
    at += 4;
    if (!ReadHex(at, end, &number) || !Skip(at, end, '\t') || !ReadHex(at, end, &attributes) ||
        !Skip(at, end, '\t') || !ReadHex(at, end, &record.state.created) || !Skip(at, end, '\t') ||
        !ReadHex(at, end, &record.state.written) || !Skip(at, end, '\t')) {
        return false;
    }
    record.number = static_cast<uint32_t>(number);
    record.state.attributes = static_cast<uint32_t>(attributes);
    record.path = ReadField(at, end);
    if (!Skip(at, end, '\t'))
        return false;
    record.other = ReadField(at, end);
    return at == end;
}

}  // namespace

TextBuffer FoldedPath(const char* path) {
    TextBuffer folded(path);
    char* p = folded.data();
    for (; p != nullptr && *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsLeadByte(c) && p[1] != '\0') {
            ++p;  // a trail byte is never a letter
        } else if (c >= 'a' && c <= 'z') {
            *p = static_cast<char>(c - 'a' + 'A');
        }
    }
    return folded;
}

bool IsAtOrBelow(const char* path, const char* folder) {
    const TextBuffer a = FoldedPath(path), b = FoldedPath(folder);
    const size_t length = b.Length();
    return strncmp(a.c_str(), b.c_str(), length) == 0 &&
           (a.c_str()[length] == '\0' || a.c_str()[length] == '\\');
}

TextBuffer SlotName(uint32_t procedure, const char* group, uint32_t index) {
    TextBuilder name;
    AddHex(name, procedure, 8);
    name.Append("\\");
    name.Append(group);
    AddHex(name, index / 64, 6);
    name.Append("\\");
    AddHex(name, index % 64, 2);
    return name.Text();
}

int PathDepth(const char* path) {
    int depth = 0;
    const ptrdiff_t start = (path[0] == '\\' && path[1] == '\\') ? 2 : 0;
    for (ptrdiff_t p = FindText(path, start, "\\"); p >= 0; p = FindText(path, p + 1, "\\")) {
        ++depth;
    }
    return depth;
}

TextBuffer JoinPath(const TextBuffer& folder, const char* name) {
    return folder.Item(-1, "\\").IsEmpty() ? folder + name : folder + "\\" + name;
}

void PlaceIndex::Clear() {
    places_.Clear();
    slots_.reset();
    capacity_ = 0;
}

int PlaceIndex::SlotOf(const char* path) const {
    const TextBuffer folded = FoldedPath(path);
    const uint32_t mask = static_cast<uint32_t>(capacity_ - 1);
    for (uint32_t slot = Crc32(folded.c_str(), folded.Length()) & mask;; slot = (slot + 1) & mask) {
        const int held = slots_[slot];
        if (held == 0 || EqualsNoCase(places_[held - 1].path.c_str(), path))
            return static_cast<int>(slot);
    }
}

bool PlaceIndex::Grow() {
    const int capacity = capacity_ == 0 ? 64 : capacity_ * 2;
    std::unique_ptr<int[]> slots(new (std::nothrow) int[capacity]());
    if (!slots)
        return false;
    slots_.swap(slots);
    capacity_ = capacity;
    for (int i = 0; i < places_.Count(); ++i) slots_[SlotOf(places_[i].path.c_str())] = i + 1;
    return true;
}

int PlaceIndex::Add(const Place& place) {
    // At most half full, so that a search always ends at an empty slot soon.
    if ((places_.Count() + 1) * 2 > capacity_ && !Grow())
        return -1;
    const int slot = SlotOf(place.path.c_str());
    if (slots_[slot] != 0)
        return slots_[slot] - 1;
    if (!places_.Add(place))
        return -1;
    slots_[slot] = places_.Count();
    return places_.Count() - 1;
}

int PlaceIndex::Find(const char* path) const {
    if (capacity_ == 0)
        return -1;
    return slots_[SlotOf(path)] - 1;
}

void JournalBatch::Add(const Record& record) {
    const char head[] = {static_cast<char>(record.type), '\t', record.how, '\t'};
    text_.Append(head, sizeof head);
    AddHex(text_, record.number, 8);
    text_.Append("\t");
    AddHex(text_, record.state.attributes, 8);
    text_.Append("\t");
    AddHex(text_, record.state.created, 16);
    text_.Append("\t");
    AddHex(text_, record.state.written, 16);
    text_.Append("\t");
    text_.Append(record.path.c_str());
    text_.Append("\t");
    text_.Append(record.other.c_str());
    text_.Append("\n");
}

void JournalBatch::AddPlace(const Place& place) {
    Record record;
    record.type = RecordType::kPlace;
    record.how = static_cast<char>(place.kind);
    record.state = place.state;
    record.path = place.path;
    Add(record);
}

void JournalBatch::Seal() {
    const uint32_t crc = Crc32(text_.Data(), text_.Size());
    text_.Append(".\t");
    AddHex(text_, crc, 8);
    text_.Append("\n");
}

void ParseJournal(const char* bytes, size_t size, List<Record>& records) {
    const char* end = bytes + size;
    const char* batch = bytes;
    List<Record> pending;
    for (const char* line = bytes; line < end;) {
        const char* stop = static_cast<const char*>(memchr(line, '\n', end - line));
        if (stop == nullptr)
            return;  // a line cut short: its batch was never sealed
        if (line[0] == '.') {
            const char* at = line + 1;
            uint64_t crc = 0;
            if (!Skip(at, stop, '\t') || !ReadHex(at, stop, &crc) || at != stop ||
                crc != Crc32(batch, static_cast<size_t>(line - batch))) {
                return;
            }
            for (Record& record : pending) {
                if (!records.Add(record))
                    return;
            }
            pending.Clear();
            batch = stop + 1;
        } else {
            Record record;
            if (!ParseRecord(line, stop, record) || !pending.Add(record))
                return;
        }
        line = stop + 1;
    }
}
