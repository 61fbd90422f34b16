#include "undo/journal_format.h"

#include <cstring>
#include <new>

#include "base/path_text.h"
#include "text/crc32.h"

namespace {

// Reads hexadecimal digits, as AppendHex writes them, up to the next tab or the end; false for
// anything else.
bool ReadHex(const char*& at, const char* end, uint64_t* value) {
    *value = 0;
    const char* start = at;
    for (; at < end && *at != '\t'; ++at) {
        static const char kDigits[] = "0123456789ABCDEF";
        const char* digit = *at == '\0' ? nullptr : strchr(kDigits, *at);
        if (digit == nullptr || at - start >= 16)
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
    return c != '\0' && strchr("YHPEANWFMXTVDRLU", c) != nullptr;
}

// Numbers, each ended by a tab, in the order a line holds them.
bool ReadNumbers(const char*& at, const char* end, uint64_t* const* numbers, int count) {
    for (int i = 0; i < count; ++i) {
        if (!ReadHex(at, end, numbers[i]) || !Skip(at, end, '\t'))
            return false;
    }
    return true;
}

// One line without its line feed: type, how, number, attributes, times, size,
// volume, index, path and other, separated by tabs.
bool ParseRecord(const char* at, const char* end, Record& record) {
    if (at + 4 > end || !IsRecordType(at[0]) || at[1] != '\t' || at[3] != '\t')
        return false;
    record.type = static_cast<RecordType>(at[0]);
    record.how = at[2];
    at += 4;
    uint64_t number = 0, attributes = 0, volume = 0;
    uint64_t* const numbers[] = {
        &number,      &attributes, &record.state.created, &record.state.written,
        &record.size, &volume,     &record.index};
    if (!ReadNumbers(at, end, numbers, 7) || number > 0xFFFFFFFFu || attributes > 0xFFFFFFFFu ||
        volume > 0xFFFFFFFFu) {
        return false;
    }
    record.number = static_cast<uint32_t>(number);
    record.state.attributes = static_cast<uint32_t>(attributes);
    record.volume = static_cast<uint32_t>(volume);
    record.path = ReadField(at, end);
    if (!Skip(at, end, '\t'))
        return false;
    record.other = ReadField(at, end);
    return at == end;
}

}  // namespace

void PathIndex::Clear() {
    paths_.Clear();
    slots_.reset();
    capacity_ = 0;
}

int PathIndex::SlotOf(const char* path) const {
    const TextBuffer folded = FoldedName(path);
    const uint32_t mask = static_cast<uint32_t>(capacity_ - 1);
    for (uint32_t slot = Crc32(folded.c_str(), folded.Length()) & mask;; slot = (slot + 1) & mask) {
        const int held = slots_[slot];
        if (held == 0 || EqualsNoCase(paths_[held - 1].c_str(), path))
            return static_cast<int>(slot);
    }
}

bool PathIndex::Grow() {
    const int capacity = capacity_ == 0 ? 64 : capacity_ * 2;
    std::unique_ptr<int[]> slots(new (std::nothrow) int[capacity]());
    if (!slots)
        return false;
    slots_.swap(slots);
    capacity_ = capacity;
    for (int i = 0; i < paths_.Count(); ++i) slots_[SlotOf(paths_[i].c_str())] = i + 1;
    return true;
}

int PathIndex::Add(const char* path) {
    // At most half full, so that a search always ends at an empty slot soon.
    if ((paths_.Count() + 1) * 2 > capacity_ && !Grow())
        return -1;
    const int slot = SlotOf(path);
    if (slots_[slot] != 0)
        return slots_[slot] - 1;
    if (!paths_.Add(TextBuffer(path)))
        return -1;
    slots_[slot] = paths_.Count();
    return paths_.Count() - 1;
}

int PathIndex::Find(const char* path) const {
    if (capacity_ == 0)
        return -1;
    return slots_[SlotOf(path)] - 1;
}

int PlaceIndex::Add(const Place& place) {
    const int count = paths_.Count();
    const int index = paths_.Add(place.path.c_str());
    if (index == count && !places_.Add(place)) {
        paths_.Clear();  // out of step: nothing found from here on
        places_.Clear();
        return -1;
    }
    return index;
}

void PlaceIndex::Clear() {
    paths_.Clear();
    places_.Clear();
}

bool PlaceIndex::Covers(const TextBuffer& path) const {
    for (TextBuffer level = path; !level.IsEmpty(); level = FolderAbove(level)) {
        if (Find(level.c_str()) >= 0)
            return true;
    }
    return false;
}

TextBuffer HexName(uint32_t value) {
    return HexText(value, 8);
}

TextBuffer SlotName(uint32_t procedure, const char* group, uint32_t index) {
    TextBuilder name;
    AppendHex(name, procedure, 8);
    name.Append("\\");
    name.Append(group);
    AppendHex(name, index / 64, 6);
    name.Append("\\");
    AppendHex(name, index % 64, 2);
    return name.Text();
}

void Record::SetPrint(const Fingerprint& print) {
    size = print.size;
    state.written = print.written;
    volume = print.volume;
    index = print.index;
}

Record MakeRecord(RecordType type, char how, const TextBuffer& path, const TextBuffer& other) {
    Record record;
    record.type = type;
    record.how = how;
    record.path = path;
    record.other = other;
    return record;
}

void JournalBatch::Add(const Record& record) {
    const char head[] = {static_cast<char>(record.type), '\t', record.how, '\t'};
    text_.Append(head, sizeof head);
    const uint64_t numbers[] = {
        record.number, record.state.attributes, record.state.created, record.state.written,
        record.size,   record.volume,           record.index};
    for (uint64_t number : numbers) {
        AppendHex(text_, number);
        text_.Append("\t");
    }
    text_.Append(record.path.c_str());
    text_.Append("\t");
    text_.Append(record.other.c_str());
    text_.Append("\n");
}

void JournalBatch::AddPlace(const Place& place) {
    Record record = MakeRecord(RecordType::kPlace, static_cast<char>(place.kind), place.path);
    record.state = place.state;
    Add(record);
}

void JournalBatch::Seal() {
    const uint32_t crc = Crc32(text_.Data(), text_.Size());
    text_.Append(".\t");
    AppendHex(text_, crc, 8);
    text_.Append("\n");
}

size_t ParseJournal(const char* bytes, size_t size, List<Record>& records) {
    const char* end = bytes + size;
    const char* batch = bytes;
    List<Record> pending;
    for (const char* line = bytes; line < end;) {
        const char* stop = static_cast<const char*>(memchr(line, '\n', end - line));
        if (stop == nullptr)
            break;  // a line cut short: its batch was never sealed
        if (line[0] == '.') {
            const char* at = line + 1;
            uint64_t crc = 0;
            if (!Skip(at, stop, '\t') || !ReadHex(at, stop, &crc) || at != stop ||
                crc != Crc32(batch, static_cast<size_t>(line - batch))) {
                break;
            }
            for (Record& record : pending) {
                if (!records.Add(record))
                    return size;
            }
            pending.Clear();
            batch = stop + 1;
        } else {
            Record record;
            if (!ParseRecord(line, stop, record))
                break;
            if (!pending.Add(record))
                return size;
        }
        line = stop + 1;
    }
    return static_cast<size_t>(batch - bytes);
}

bool IsCurrentJournal(const List<Record>& records) {
    return records.Count() >= 2 && records[0].type == RecordType::kVersion &&
           records[0].number == kJournalVersion && records[1].type == RecordType::kHeader;
}
