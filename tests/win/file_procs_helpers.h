// Shared by the end-to-end tests of the file procedures: scripts, the boxes a
// run must show, and files held open so that the program cannot take them.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "sandbox.h"

// A MAKEDIR section named AFTER that leaves the folder "after" in box: put it
// behind a procedure to see whether the run went on.
inline std::string AfterSection(const Sandbox& box) {
    return "[AFTER]\nMODE=MAKEDIR\nDIR=" + box.Path("after") + "\n";
}

// The run showed exactly these texts, in order, each in an error box.
inline void ExpectBoxes(const SpyResult& run, const std::vector<std::string>& texts) {
    ASSERT_TRUE(run.started) << run.problem;
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 0u);
    std::vector<std::string> shown;
    for (const ShownBox& box : run.boxes) {
        shown.push_back(Cp932ToUtf8(box.text));
        EXPECT_EQ(box.caption, "N");
        EXPECT_EQ(box.flags, kErrorBoxFlags);
    }
    std::vector<std::string> expected;
    for (const std::string& text : texts) expected.push_back(Cp932ToUtf8(text));
    EXPECT_EQ(shown, expected);
}

inline void ExpectNoBoxes(const SpyResult& run) {
    ExpectBoxes(run, {});
}

// The sections of a script and the one error text its run must show.
struct FailingScript {
    std::string sections;
    std::string text;
};

// Runs each script in turn, procedure first and AFTER behind it: each shows
// its error text alone, and the run stops before AFTER.
inline void ExpectEachFails(const Sandbox& box, const std::string& procedure,
                            const std::vector<FailingScript>& scripts) {
    for (const FailingScript& script : scripts) {
        SCOPED_TRACE(script.sections);
        box.WriteScript(Script(procedure + ",AFTER", script.sections + AfterSection(box)));
        ExpectBoxes(box.Run(), {script.text});
        EXPECT_FALSE(box.Exists("after"));
    }
}

// A file opened without sharing for as long as the object lives: the program
// under test can neither delete, move nor rename it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << path;
    }
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Lets the file go before the object does.
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

inline DWORD AttributesOf(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}
