// Writing a journal. A batch that announces changes is on the disk before it
// returns; what the run makes and how it left what it wrote is handed to the
// system before the change it tells of, which a kill cannot undo, and reaches
// the disk with the next batch. The first failure sticks: every later write,
// and so every later change, is refused with it.
#pragma once

#include <cstddef>

#include "base/status.h"
#include "base/win_handles.h"
#include "undo/journal_format.h"

// Where a journal's bytes go: the seam through which tests see every write
// and every flush, in order.
class JournalOutput {
public:
    virtual ~JournalOutput() = default;
    // Hands bytes to the system, behind those written before.
    virtual Status Append(const char* bytes, size_t size) = 0;
    // Puts everything appended so far on the disk.
    virtual Status Flush() = 0;
};

// A journal file, made with the first append, never over one that is there;
// opened again to append after Close. Open for writing and shared for reading
// only: another start sees that a run that is going on holds it.
class JournalFile : public JournalOutput {
public:
    explicit JournalFile(const TextBuffer& path) : path_(path) {}
    Status Append(const char* bytes, size_t size) override;
    Status Flush() override;
    void Close() { file_.Reset(); }
    const TextBuffer& Path() const { return path_; }

private:
    TextBuffer path_;
    UniqueHandle file_;
    bool made_ = false;
};

class JournalWriter {
public:
    // header: the records the journal begins with, written with its first batch.
    JournalWriter(JournalOutput& output, const List<Record>& header);
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // A batch that announces changes: on the disk when this returns done.
    Status Announce(JournalBatch& batch);
    Status Announce(const Record& record);
    // A record of what the run is about to make or write: handed to the
    // system, with the notes waiting, before it returns done.
    Status Tell(const Record& record);
    // A record kept until the next write: how the run left what it wrote.
    void Note(const Record& record);
    // Writes the notes waiting.
    Status WriteNotes();

    // Every later write fails with status (unless one failed before).
    void Break(const Status& status) {
        if (broken_)
            broken_ = status;
    }
    // Done until the first failure, then that failure.
    const Status& State() const { return broken_; }
    // Anything has been written: the journal exists.
    bool Started() const { return started_; }

private:
    Status Write(JournalBatch& batch, bool flush);

    JournalOutput& output_;
    const List<Record>& header_;
    JournalBatch notes_;
    bool has_notes_ = false;
    bool started_ = false;
    Status broken_ = Status::Done();
};
