// The progress window of PROGRESS=YES: the shell's own progress dialog,
// which runs its own window thread, so that the run keeps its one thread.
#pragma once

#include <shlobj.h>

#include "app/progress_meter.h"
#include "base/win_handles.h"
#include "text/text_builder.h"

class ShellProgress : public ProgressOutput {
public:
    ShellProgress() = default;
    ~ShellProgress() override { Close(); }
    ShellProgress(const ShellProgress&) = delete;
    ShellProgress& operator=(const ShellProgress&) = delete;

    bool Ready(TextBuffer* why) override;
    bool Show(const TextBuffer& title, const char* procedure, bool cancel, bool marquee) override;
    void Close() override;
    void SetText(int line, const char* text) override;
    void SetBytes(uint64_t done, uint64_t total) override;
    bool Cancelled() override;
    uint32_t Milliseconds() override { return GetTickCount(); }
    uint64_t FileBytes(const char* path) override;
    uint64_t ItemBytes(const TextBuffer& path) override;

private:
    // text in UTF-16, valid until the next call.
    const wchar_t* Wide(const char* text);

    ComPtr<IProgressDialog> dialog_;
    bool shown_ = false;
    TextBuilder wide_;
};

// The window a run asks for; made after start-up, it lives as long as the run.
class ProgressWindow {
public:
    ProgressWindow() = default;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // With PROGRESS=YES, outside an unattended run: shows the window, titled
    // with the run's caption, with Cancel only under ROLLBACK=YES, and
    // listens to the run. A window that cannot be shown is logged, and the
    // run goes on without it.
    void Start(RunContext& run);

private:
    ShellProgress output_;
    ProgressMeter meter_{output_};
};
