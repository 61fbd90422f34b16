#include "app/progress_window.h"

#include <cstring>

#include "procs/file/tree.h"

namespace {

// Known from Vista on: Windows XP shows the bar empty, and a Cancel button
// (which the meter then does not heed).
const DWORD kMarqueeProgress = 0x20;  // PROGDLG_MARQUEEPROGRESS
const DWORD kNoCancel = 0x40;         // PROGDLG_NOCANCEL

}  // namespace

bool ShellProgress::Ready(TextBuffer* why) {
    // Without a display the dialog's thread can make no window, and the
    // dialog would wait for it for ever.
    if (OwnedWindow(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr))
            .Get() == nullptr) {
        *why = "no display";
        return false;
    }
    const HRESULT made = CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IProgressDialog, dialog_.Out());
    if (FAILED(made)) {
        *why = FormatText("the shell's progress dialog cannot be made (0x%08X)",
                          {static_cast<uint32_t>(made)});
        return false;
    }
    return true;
}

bool ShellProgress::Show(const TextBuffer& title, const char* procedure, bool cancel,
                         bool marquee) {
    // Set before the window is made, they cost no update of it.
    SetText(1, procedure);
    SetText(2, "");
    if (!marquee)
        SetBytes(0, 1);
    dialog_->SetTitle(Wide(title.c_str()));
    if (FAILED(dialog_->StartProgressDialog(
            nullptr, nullptr, (cancel ? 0 : kNoCancel) | (marquee ? kMarqueeProgress : 0),
            nullptr))) {
        return false;
    }
    shown_ = true;
    return true;
}

void ShellProgress::Close() {
    if (shown_)
        dialog_->StopProgressDialog();
    shown_ = false;
}

void ShellProgress::SetText(int line, const char* text) {
    dialog_->SetLine(line, Wide(text), line == 2, nullptr);  // a long path is shortened to fit
}

void ShellProgress::SetBytes(uint64_t done, uint64_t total) {
    dialog_->SetProgress64(done, total);
}

bool ShellProgress::Cancelled() {
    return shown_ && dialog_->HasUserCancelled();
}

uint64_t ShellProgress::FileBytes(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

uint64_t ShellProgress::ItemBytes(const TextBuffer& path) {
    return SizeOfTree(path, true).bytes;
}

const wchar_t* ShellProgress::Wide(const char* text) {
    const size_t length = strlen(text) + 1;
    wide_.Clear();
    wchar_t* wide = reinterpret_cast<wchar_t*>(wide_.Room(length * sizeof(wchar_t)));
    if (wide == nullptr ||
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(length)) == 0) {
        return L"";
    }
    return wide;
}

void ProgressWindow::Start(RunContext& run) {
    const ScriptKeys keys = run.Keys();
    if (run.unattended || !keys.IsYes("PROGRESS"))
        return;
    TextBuffer why;
    if (!meter_.Start(run.reporter.Caption(), keys.IsYes("ROLLBACK"), &why)) {
        run.events.Unavailable("progress window", why.c_str());
        return;
    }
    run.events.AddListener(&meter_);
    run.reporter.AddListener(&meter_);
}
