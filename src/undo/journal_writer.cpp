#include "undo/journal_writer.h"

#include <windows.h>

#include "base/system.h"

Status JournalFile::Append(const char* bytes, size_t size) {
    if (!file_.IsValid()) {
        file_.Reset(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                made_ ? OPEN_EXISTING : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
        if (!file_.IsValid())
            return LastErrorStatus();
        if (made_)
            SetFilePointer(file_.Get(), 0, nullptr, FILE_END);
        made_ = true;
    }
    DWORD written = 0;
    return CallStatus(WriteFile(file_.Get(), bytes, static_cast<DWORD>(size), &written, nullptr));
}

Status JournalFile::Flush() {
    return CallStatus(FlushFileBuffers(file_.Get()));
}

JournalWriter::JournalWriter(JournalOutput& output, const List<Record>& header)
    : output_(output), header_(header) {}

Status JournalWriter::Write(JournalBatch& batch, bool flush) {
    if (!broken_)
        return broken_;
    if (!started_) {
        // The header goes first, in a batch of its own.
        started_ = true;
        JournalBatch head;
        for (const Record& record : header_) head.Add(record);
        const Status headed = Write(head, false);
        if (!headed)
            return headed;
    }
    batch.Seal();
    Status status = batch.Complete() ? output_.Append(batch.Bytes(), batch.Length())
                                     : Status::Failed(ERROR_NOT_ENOUGH_MEMORY);
    if (status && flush)
        status = output_.Flush();
    if (!status)
        broken_ = status;
    return status;
}

Status JournalWriter::Announce(JournalBatch& batch) {
    const Status notes = WriteNotes();
    return notes ? Write(batch, true) : notes;
}

Status JournalWriter::Announce(const Record& record) {
    JournalBatch batch;
    batch.Add(record);
    return Announce(batch);
}

Status JournalWriter::Tell(const Record& record) {
    notes_.Add(record);
    has_notes_ = true;
    return WriteNotes();
}

void JournalWriter::Note(const Record& record) {
    notes_.Add(record);
    has_notes_ = true;
}

Status JournalWriter::WriteNotes() {
    if (!has_notes_)
        return broken_;
    has_notes_ = false;
    const Status written = Write(notes_, false);
    notes_.Clear();
    return written;
}
