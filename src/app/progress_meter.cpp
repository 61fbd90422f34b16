#include "app/progress_meter.h"

namespace {

// The window is updated at most this often, not once per file; moving the
// bar costs it a repaint.
const uint32_t kFileEveryMs = 250;
const uint32_t kBarEveryMs = 1000;
// A file this large is shown at once: it takes a while by itself.
const uint64_t kLargeFile = 4u << 20;

// The kinds whose work is the bytes their main list names.
bool CountsBytes(KindId kind) {
    return kind == KindId::kCopy || kind == KindId::kMove || kind == KindId::kDelete ||
           kind == KindId::kCrc;
}

}  // namespace

bool ProgressMeter::Start(const TextBuffer& title, bool cancel, TextBuffer* why) {
    title_ = title;
    cancel_ = cancel;
    finished_ = !output_.Ready(why);
    return !finished_;
}

void ProgressMeter::Show(bool marquee) {
    if (open_) {
        StopRequested();  // a Cancel pressed in the old window counts
        output_.Close();
    }
    marquee_ = marquee;
    open_ = output_.Show(title_, procedure_.c_str(), cancel_, marquee_);
    finished_ = !open_;
    updated_ = moved_ = output_.Milliseconds();
}

void ProgressMeter::ProcedureStarting(const Procedure& procedure, int) {
    if (finished_)
        return;
    procedure_ = procedure.name;
    file_ = TextBuffer();
    done_ = total_ = pending_ = 0;
    const bool counted = procedure.kind != nullptr && CountsBytes(procedure.kind->id);
    if (counted) {
        const KindSpec& kind = *procedure.kind;
        const TextBuffer& items = procedure.values[KeyIndex(kind, MainKey(kind)->name)];
        const int count = items.ItemCount(",");
        for (int i = 0; i < count; ++i) total_ += output_.ItemBytes(ListItem(items, i));
    }
    // The shell's window takes its mode only when it is shown; it comes up
    // showing the procedure.
    if (open_ && counted != marquee_) {
        output_.SetText(1, procedure_.c_str());
        Refresh(true);
    } else {
        Show(!counted);
    }
}

Status ProgressMeter::FileChanging(FileAction action, const char* path, const char*) {
    if (StopRequested())
        return Status::Failed(kStoppedByUser);
    if (!open_)
        return Status::Done();
    file_ = path;
    pending_ = !marquee_ && TraitsOf(action).bytes ? output_.FileBytes(path) : 0;
    Refresh(pending_ >= kLargeFile);
    return Status::Done();
}

void ProgressMeter::FileActed(FileAction, const char*, const char*, uint32_t error) {
    if (error == 0)
        done_ += pending_;
    pending_ = 0;
    Refresh(false);
}

void ProgressMeter::FileHeld(FileAction, const char* path, const char*, uint32_t, uint32_t,
                             HeldWait wait) {
    // The user sees which file the run waits for.
    file_ = path;
    Refresh(wait == HeldWait::kBegins);
}

void ProgressMeter::CrcComputed(const char* file, bool read, uint32_t, bool, uint32_t) {
    if (!open_)
        return;
    file_ = file;
    if (read)
        done_ += output_.FileBytes(file);
    Refresh(false);
}

bool ProgressMeter::StopRequested() {
    if (cancel_ && open_ && !cancelled_)
        cancelled_ = output_.Cancelled();
    return cancelled_;
}

void ProgressMeter::RunEnded(RunEnd, const char*) {
    Finish();
}

void ProgressMeter::BoxComing(const ReportedBox& box) {
    if (box.purpose == BoxPurpose::kFailure)
        Finish();
}

void ProgressMeter::Refresh(bool now) {
    if (!open_)
        return;
    const uint32_t time = output_.Milliseconds();
    if (!now && time - updated_ < kFileEveryMs)
        return;
    updated_ = time;
    output_.SetText(2, file_.c_str());
    if (!marquee_ && (now || time - moved_ >= kBarEveryMs)) {
        moved_ = time;
        output_.SetBytes(done_ < total_ ? done_ : total_, total_);
    }
}

void ProgressMeter::Finish() {
    if (open_)
        output_.Close();
    open_ = false;
    finished_ = true;
}
