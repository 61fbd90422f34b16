// Runs a Windows program as its debugger and catches every MessageBoxA call
// it makes: the arguments are recorded and the call returns a chosen answer
// at once, so no box is ever shown and no display is needed. Calls of the
// other message-box functions of user32 are caught too, and only named. For
// test programs and tools only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One MessageBoxA call, as the program made it.
struct ShownBox {
    uintptr_t owner = 0;
    std::string text;     // the bytes the program passed (code page 932); null reads as ""
    std::string caption;  // likewise
    unsigned flags = 0;
};

struct SpyResult {
    bool started = false;    // the program could be started under the spy
    bool timed_out = false;  // it ran past the time limit and was ended
    unsigned long exit_code = 0;
    std::vector<ShownBox> boxes;  // in the order they were shown
    // Calls of MessageBoxW, MessageBoxExA and the like, by name: each
    // returned IDOK at once.
    std::vector<std::string> other_boxes;
    std::string problem;  // what went wrong in the spy itself; empty when nothing did
};

// Exit code given to a program that is ended at the time limit (WAIT_TIMEOUT).
constexpr unsigned long kSpyTimeoutExitCode = 258;

// Runs exe with arguments (the command-line text behind the program's name,
// passed on as it is) in working_folder (empty: the caller's). The boxes get
// answers in order; once they run out, every further box gets IDOK (1).
// A Unix path (starting with "/") is given to the program in its Z: form,
// as the program itself would see it. The calling thread becomes the
// program's debugger for the run. environment: "NAME=value" entries added to
// the caller's own environment for the program. while_shown, when given, is
// called with each MessageBoxA box before it is answered, while the program
// stands in the call: what it does happens while the box is up.
SpyResult RunWithBoxSpy(const std::string& exe, const std::string& arguments,
                        const std::string& working_folder, const std::vector<int>& answers,
                        unsigned long timeout_ms, const std::vector<std::string>& environment = {},
                        const std::function<void(const ShownBox&)>& while_shown = nullptr);

// "/a/b c" -> "Z:\a\b c", Wine's name for a Unix path; any other path is
// returned unchanged.
std::string WindowsPathOf(const std::string& path);

// Code page 932 bytes to UTF-8.
std::string Cp932ToUtf8(const std::string& bytes);
