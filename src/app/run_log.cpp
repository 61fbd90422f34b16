#include "app/run_log.h"

#include <cstdlib>
#include <cstring>

#include "base/path_text.h"

namespace {

// "1234567 ms  ": the time column is this wide, and text lines are
// indented to begin under the entries.
const int kTimeDigits = 7;
const int kTimeWidth = kTimeDigits + 5;

void AppendSpaces(TextBuilder& line, int count) {
    char* room = line.Room(static_cast<size_t>(count));
    if (room == nullptr)
        return;
    memset(room, ' ', static_cast<size_t>(count));
    line.Grow(static_cast<size_t>(count));
}

const char* WaitEndText(WaitEnd end) {
    switch (end) {
        case WaitEnd::kEnded:
            return "it ended";
        case WaitEnd::kReady:
            return "ready for input";
        case WaitEnd::kTimedOut:
            return "time limit reached";
        case WaitEnd::kFailed:
            return "the wait failed";
        case WaitEnd::kNotRunning:
            break;
    }
    return "not running";
}

const unsigned kBoxIcons = 0xF0;
const unsigned kBoxButtons = 0xF;

const char* BoxName(const ReportedBox& box) {
    if (box.purpose == BoxPurpose::kFailure)
        return "error box:";
    if (box.purpose == BoxPurpose::kReport)
        return "report box:";
    // A box of the script's own, by its icon, as the user sees it.
    switch (box.style & kBoxIcons) {
        case kBoxIconError:
            return "error box:";
        case kBoxIconWarning:
            return "warning box:";
        case kBoxIconInformation:
            return "information box:";
    }
    return "question box:";
}

// What the action does to its path: reads it or rewrites it in place; null
// when it moves or deletes it, or makes or removes a folder.
const char* UseOfPath(FileAction action) {
    const FileEffect effect = TraitsOf(action).effect;
    return effect == FileEffect::kWritesTarget                                    ? "reads"
           : effect == FileEffect::kWritesPath || effect == FileEffect::kSetsPath ? "writes"
                                                                                  : nullptr;
}

const char* ReasonText(UndoReason reason) {
    switch (reason) {
        case UndoReason::kNone:
            return "";
        case UndoReason::kChanged:
            return "it changed since its run";
        case UndoReason::kNotMade:
            return "its run did not make it";
        case UndoReason::kHoldsOthers:
            return "it holds what its run did not make";
        case UndoReason::kNoCopy:
            return "its set-aside copy is gone";
        case UndoReason::kOutside:
            return "it lies outside the places its journal listed";
        case UndoReason::kOwner:
            return "another account owns it";
        case UndoReason::kOthersWrite:
            return "others may change what it holds, or who may";
        case UndoReason::kInherits:
            return "its access list takes entries from the folder above";
        case UndoReason::kUnreadable:
            return "its owner and access list cannot be read";
        case UndoReason::kLink:
            return "it, or a folder on its way, is a link";
        case UndoReason::kNoVersion:
            return "it is of another version, or of none";
        case UndoReason::kIncomplete:
            break;
    }
    return "some of it can never be put back";
}

const char* AnswerName(int answer) {
    switch (answer) {
        case kAnswerOk:
            return "OK";
        case kAnswerCancel:
            return "Cancel";
        case kAnswerYes:
            return "Yes";
        case kAnswerNo:
            return "No";
    }
    return nullptr;
}

}  // namespace

bool ChangeReaches(const char* changed, const char* log_path) {
    TextBuffer place(changed);
    // A pattern may reach everything in its folder and below it.
    const TextBuffer name = place.Item(-1, "\\");
    if (name.CountOf("*") > 0 || name.CountOf("?") > 0)
        place = place.Items(0, -2, "\\");
    RemoveTrailingSeparators(place);
    return IsAtOrBelow(log_path, place.c_str());
}

TextBuilder& RunLog::Entry(int indent) {
    line_.Clear();
    AppendDecimal(line_, sink_.Milliseconds(), kTimeDigits, ' ');
    line_.Append(" ms  ");
    AppendSpaces(line_, indent);
    return line_;
}

void RunLog::WriteEntry() {
    // One entry, one line: a value never breaks it.
    char* text = line_.Data();
    for (size_t i = 0; i < line_.Size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n')
            text[i] = ' ';
    }
    sink_.WriteLine(text, line_.Size());
}

void RunLog::WriteText(const TextBuffer& text, int indent) {
    // Line feeds are never trail bytes, so the text is cut at each one.
    const char* rest = text.c_str();
    for (;;) {
        const char* end = strchr(rest, '\n');
        size_t length = end != nullptr ? static_cast<size_t>(end - rest) : strlen(rest);
        if (length > 0 && rest[length - 1] == '\r')
            --length;
        line_.Clear();
        AppendSpaces(line_, kTimeWidth + indent);
        line_.Append(length > 0 ? "| " : "|");
        line_.Append(rest, length);
        sink_.WriteLine(line_.Data(), line_.Size());
        if (end == nullptr)
            break;
        rest = end + 1;
    }
}

void RunLog::AppendError(uint32_t error) {
    line_.Append("error ");
    AppendDecimal(line_, error);
    const TextBuffer text = sink_.ErrorText(error);
    if (!text.IsEmpty()) {
        line_.Append(": ");
        line_.Append(text.c_str());
    }
}

void RunLog::Begin(const LogHeader& header, const TextBuffer& log_path) {
    log_path_ = log_path;
    auto write = [this](const char* label, const TextBuffer& value) {
        line_.Clear();
        line_.Append(label);
        line_.Append(value.c_str());
        WriteEntry();
    };
    write(kRunMarker, header.local_time);
    write("program: ", header.program_path + ", version " + header.version);
    write("script: ", header.script_path);
    write("command line: ", header.command_line);
    write("windows: ", header.windows);
    write("elevated: ", header.elevated);
    if (!header.caller.IsEmpty())
        write("caller: ", header.caller);
    write("undo (ROLLBACK): ", header.undo ? "on" : "off");
    sink_.HeaderWritten();
    sink_.Flush();
}

void RunLog::GiveUpFile(const char* use) {
    sink_.GiveUpFile("procedure " + procedure_ + " " + use + " it");
}

void RunLog::ProcedureStarting(const Procedure& procedure, int depth) {
    depth_ = depth;
    kind_ = procedure.kind;
    procedure_ = procedure.name;
    // A file the procedure reads must be as it was: the log lets go of its
    // own before it writes this procedure's lines. What it writes is seen
    // file by file, as the change comes.
    for (int k = 0; kind_ != nullptr && k < kind_->key_count; ++k) {
        const KeySpec& key = kind_->keys[k];
        if (key.items != ItemForm::kPath || key.writes)
            continue;
        const TextBuffer& value = procedure.values[k];
        const bool list = key.form == KeyForm::kList;
        for (int i = 0; i < (list ? value.ItemCount(",") : 1); ++i) {
            TextBuffer item = list ? value.Item(i, ",") : value;
            item.Trim(" ", " ");
            if (sink_.IsOwnFile(item.c_str()))
                GiveUpFile("reads");
        }
    }
    TextBuilder& head = Entry(HeadIndent());
    head.Append("[");
    head.Append(procedure.name.c_str());
    head.Append("] MODE=");
    head.Append(procedure.mode.c_str());
    WriteEntry();
    const int keys = kind_ != nullptr ? kind_->key_count + kind_->optional_count : 0;
    for (int i = 0; i < keys; ++i) {
        if (i >= kind_->key_count && procedure.values[i].IsEmpty())
            continue;  // an optional key left out
        TextBuilder& key = Entry(ItemIndent());
        key.Append(KeyAt(*kind_, i).name);
        key.Append("=");
        key.Append(procedure.values[i].c_str());
        WriteEntry();
    }
}

void RunLog::ProcedureEnded(const Procedure& procedure, int depth, bool went_on) {
    depth_ = depth;
    TextBuilder& line = Entry(ItemIndent());
    line.Append(procedure.result ? "=> flag 1" : "=> flag 0");
    if (!went_on)
        line.Append(", the run stops here");
    WriteEntry();
    sink_.Flush();
    depth_ = depth - 1;
}

Status RunLog::FileChanging(FileAction action, const char* path, const char* target) {
    // A file the update reads or writes is never written into again. One it
    // moves away or deletes, or a folder above it, must not be open while it
    // changes: the log goes on in a file of that name afterwards.
    const bool own_path = sink_.IsOwnFile(path);
    if (*target != '\0' && sink_.IsOwnFile(target)) {
        GiveUpFile("writes");
    } else if (own_path && UseOfPath(action) != nullptr) {
        GiveUpFile(UseOfPath(action));
    } else if (own_path || ChangeReaches(path, log_path_.c_str()) ||
               ChangeReaches(target, log_path_.c_str())) {
        sink_.Close();
    }
    return Status::Done();
}

void RunLog::AppendPaths(const char* path, const char* target) {
    line_.Append(path);
    if (*target != '\0') {
        line_.Append(" -> ");
        line_.Append(target);
    }
}

void RunLog::FileActed(FileAction action, const char* path, const char* target, uint32_t error) {
    const FileActionTraits& traits = TraitsOf(action);
    TextBuilder& line = Entry(ItemIndent());
    line.Append(error == 0 ? traits.done : traits.failed);
    AppendPaths(path, target);
    if (error != 0) {
        line.Append(": ");
        AppendError(error);
    }
    WriteEntry();
}

void RunLog::FileHeld(FileAction, const char* path, const char* target, uint32_t error,
                      uint32_t waited_ms, HeldWait wait) {
    // Outside a procedure only an undo waits: among its steps.
    TextBuilder& line = Entry(depth_ > 0 ? ItemIndent() : 2);
    if (wait == HeldWait::kBegins) {
        line.Append("waiting for ");
        AppendPaths(path, target);
        line.Append(", held by another program: ");
        AppendError(error);
    } else {
        line.Append("waited ");
        AppendDecimal(line, waited_ms);
        line.Append(" ms for ");
        AppendPaths(path, target);
        line.Append(wait == HeldWait::kLetGo ? ": let go" : ": still held");
    }
    WriteEntry();
}

void RunLog::Unavailable(const char* what, const char* why) {
    TextBuilder& line = Entry(ItemIndent());
    line.Append(what);
    line.Append(" not available: ");
    line.Append(why);
    WriteEntry();
}

void RunLog::Waited(const char* program, uint32_t waited_ms, WaitEnd end) {
    const bool launched = kind_ != nullptr && kind_->id == KindId::kLaunch;
    TextBuilder& line = Entry(ItemIndent());
    if (end == WaitEnd::kNotRunning) {
        line.Append(launched ? "launched " : "did not wait for ");
        line.Append(program);
        line.Append(launched ? ": no process of its own to wait for" : ": not running");
    } else {
        line.Append(launched ? "launched " : "waited for ");
        line.Append(program);
        line.Append(launched ? ", waited " : ": ");
        AppendDecimal(line, waited_ms);
        line.Append(" ms, ");
        line.Append(WaitEndText(end));
    }
    WriteEntry();
}

void RunLog::CrcComputed(const char* file, bool read, uint32_t crc, bool checked,
                         uint32_t expected) {
    TextBuilder& line = Entry(ItemIndent());
    line.Append("CRC-32 of ");
    line.Append(file);
    if (read) {
        line.Append(": 0x");
        AppendHex(line, crc, 8);
    } else {
        line.Append(": cannot be read");
    }
    if (checked) {
        line.Append(", expected 0x");
        AppendHex(line, expected, 8);
        if (read)
            line.Append(crc == expected ? ": matches" : ": does not match");
    }
    WriteEntry();
}

void RunLog::Undone(const UndoEvent& event) {
    // The steps of one undo are indented under the line that begins it.
    const bool step = event.step >= UndoStep::kPutBack;
    TextBuilder& line = Entry(step ? 2 : 0);
    switch (event.step) {
        case UndoStep::kStore:
            line.Append("undo store: ");
            break;
        case UndoStep::kStoreRefused:
            line.Append("left undo store ");
            break;
        case UndoStep::kBegun:
            line.Append("undo of the run of ");
            break;
        case UndoStep::kInUse:
            line.Append("left journal ");
            break;
        case UndoStep::kPutBack:
            line.Append("put back ");
            break;
        case UndoStep::kRemoved:
            line.Append("removed ");
            break;
        case UndoStep::kLeft:
            line.Append("left ");
            break;
        case UndoStep::kFailed:
            line.Append("failed to put back ");
            break;
        case UndoStep::kFinished:
            line.Append("undo finished: everything is put back");
            break;
        case UndoStep::kRetired:
            line.Append("kept journal ");
            line.Append(event.other);
            line.Append(" as ");
            break;
    }
    if (event.step != UndoStep::kFinished)
        line.Append(event.path);
    if (event.step == UndoStep::kBegun) {
        line.Append(", journal ");
        line.Append(event.other);
    } else if (event.step == UndoStep::kInUse) {
        line.Append(" to the update that holds it");
    } else if (event.step == UndoStep::kRetired) {
        line.Append(", never to be obeyed");
    } else if (event.step == UndoStep::kFailed) {
        line.Append(": ");
        AppendError(event.error);
        line.Append("; the next start tries again");
    }
    if (event.reason != UndoReason::kNone) {
        line.Append(event.step == UndoStep::kRetired ? ": " : " as it is: ");
        line.Append(ReasonText(event.reason));
    }
    WriteEntry();
}

void RunLog::RunEnded(RunEnd end, const char* procedure) {
    depth_ = 0;
    TextBuilder& line = Entry(0);
    if (end == RunEnd::kCompleted) {
        line.Append("run completed");
    } else if (*procedure == '\0') {
        line.Append("run stopped before any procedure ran");
    } else if (end == RunEnd::kAnswered && ok_only_box_) {
        // The user could only acknowledge the box: ISABORT chose the stop.
        line.Append("run stopped by ISABORT in procedure ");
        line.Append(procedure);
        line.Append(": its box has only an OK button");
    } else {
        line.Append(end == RunEnd::kAnswered    ? "run stopped by the user's answer in procedure "
                    : end == RunEnd::kCancelled ? "run stopped by the user in procedure "
                                                : "run stopped at procedure ");
        line.Append(procedure);
    }
    WriteEntry();
    sink_.Flush();
}

void RunLog::BoxComing(const ReportedBox& box) {
    Entry(ItemIndent()).Append(BoxName(box));
    WriteEntry();
    WriteText(box.text, ItemIndent() + 2);
    if (box.system_error != 0) {
        Entry(ItemIndent());
        AppendError(box.system_error);
        WriteEntry();
    }
    // The box may stay up for long, and the run may be ended while it does.
    sink_.Flush();
}

void RunLog::BoxAnswered(const ReportedBox& box) {
    if (box.purpose == BoxPurpose::kScript)
        ok_only_box_ = (box.style & kBoxButtons) == 0;
    TextBuilder& line = Entry(ItemIndent());
    line.Append("answer: ");
    const char* name = AnswerName(box.answer);
    if (name != nullptr) {
        line.Append(name);
    } else {
        // The box could not be shown: this is what the system returned.
        const uint32_t value = static_cast<uint32_t>(box.answer);
        line.Append(box.answer < 0 ? "none (-" : "none (");
        AppendDecimal(line, box.answer < 0 ? 0u - value : value);
        line.Append(")");
    }
    if (*box.answered_how != '\0') {
        line.Append(" (");
        line.Append(box.answered_how);
        line.Append(")");
    }
    WriteEntry();
}

bool IsLogFileName(const char* path) {
    const TextBuffer text(path);
    const size_t length = text.Length();
    if (length < 5 || !EqualsNoCase(path + length - 4, ".log"))
        return false;
    // No device path ("\\.\", "\\?\"), and no stream of another file
    // ("app.exe:x.log"): a colon stands only behind a drive letter. Neither
    // a colon nor a dot is ever a trail byte.
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (separator(path[0]) && separator(path[1]) && (path[2] == '.' || path[2] == '?'))
        return false;
    const char* colon = strchr(path, ':');
    if (colon != nullptr && (colon != path + 1 || strchr(colon + 1, ':') != nullptr))
        return false;
    // Windows takes these names for devices whatever their extension.
    TextBuffer stem = text.Item(-1, "\\").Item(-1, "/").Item(0, ".");
    stem.Trim(" ", " ");
    const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (EqualsNoCase(stem.c_str(), device))
            return false;
    }
    const char* s = stem.c_str();
    const TextBuffer letters = stem.Slice(0, 2);
    const bool port =
        stem.Length() == 4 && s[3] >= '1' && s[3] <= '9' &&
        (EqualsNoCase(letters.c_str(), "COM") || EqualsNoCase(letters.c_str(), "LPT"));
    return !port;
}
