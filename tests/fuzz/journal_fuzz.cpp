// The undo journal's reader over any bytes: it must never crash, hang or
// misread memory, and what it reads must read back the same once written
// again, since the undo obeys exactly those records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "undo/journal_format.h"

namespace {

bool SameRecord(const Record& a, const Record& b) {
    return a.type == b.type && a.how == b.how && a.number == b.number &&
           a.state.attributes == b.state.attributes && a.state.created == b.state.created &&
           a.state.written == b.state.written && a.size == b.size && a.volume == b.volume &&
           a.index == b.index && strcmp(a.path.c_str(), b.path.c_str()) == 0 &&
           strcmp(a.other.c_str(), b.other.c_str()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    List<Record> records;
    ParseJournal(reinterpret_cast<const char*>(data), size, records);
    IsCurrentJournal(records);

    JournalBatch batch;
    for (const Record& record : records) batch.Add(record);
    batch.Seal();
    if (!batch.Complete())
        return 0;
    List<Record> again;
    ParseJournal(batch.Bytes(), batch.Length(), again);
    if (again.Count() != records.Count())
        abort();
    for (int i = 0; i < records.Count(); ++i) {
        if (!SameRecord(records[i], again[i]))
            abort();
    }
    return 0;
}
