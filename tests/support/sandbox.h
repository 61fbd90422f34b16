// End-to-end test support: a fresh folder holding a copy of the shipped
// updater.exe and a script, run under the box spy.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "base/messages.h"
#include "box_spy.h"

// How long a program the tests start may take before it counts as hung. Only
// a ceiling: a run still going on a busy machine must not fail for its time.
constexpr unsigned long kHangCeilingMs = 120000;

class Sandbox {
public:
    // Creates an empty folder for this test (removing an old one of the same
    // name) in parent (empty: the tests' folder under the temporary folder)
    // and copies the shipped updater.exe into it as updater.exe.
    explicit Sandbox(const std::string& name, const std::string& parent = "");
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Windows path of a name inside the sandbox ("" gives the folder itself,
    // without a trailing backslash).
    std::string Path(const std::string& relative = "") const;
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    void MakeFolder(const std::string& relative) const;
    // The script beside updater.exe; bytes are written as given (code page 932).
    void WriteScript(const std::string& ini, const std::string& name = "updater.ini") const;
    // Runs updater.exe with the command-line text; boxes answered in order.
    // A run that could not start, crashed, did not end within the time limit
    // or ended with an exit code other than 0 fails the test that ran it.
    SpyResult Run(const std::string& arguments = "", const std::vector<int>& answers = {},
                  unsigned long timeout_ms = kHangCeilingMs) const;
    // Runs updater.exe as Run does, with these variables ("NAME=value") added
    // to its environment; it must end with exit_code instead of 0.
    SpyResult RunWith(const std::vector<std::string>& environment, unsigned long exit_code,
                      const std::vector<int>& answers = {},
                      const std::string& arguments = "") const;
    // Runs the program of that name in the sandbox from working_folder, as Run does.
    SpyResult RunProgram(const std::string& program, const std::string& working_folder,
                         const std::string& arguments = "", const std::vector<int>& answers = {},
                         unsigned long timeout_ms = kHangCeilingMs,
                         const std::vector<std::string>& environment = {},
                         unsigned long exit_code = 0) const;

private:
    std::string root_;
};

// Path of the shipped updater.exe, from the UPDATER_EXE environment variable.
std::string ShippedUpdaterPath();

// The folder of the running test program, with a trailing backslash: the
// helper programs and modules are built beside it.
std::string TestProgramFolder();

// The bytes of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);

// The catalogue message id formatted with the arguments, as the program must show it.
std::string ExpectedMessage(int id, std::initializer_list<std::string> arguments = {});

// The default caption, "フォルネア アップデータ", in code page 932.
extern const char* const kExpectedDefaultCaption;

// Flags of every error box: MB_ICONERROR | MB_SETFOREGROUND.
constexpr unsigned kErrorBoxFlags = 0x10010;
// An information box: MB_ICONINFORMATION | MB_SETFOREGROUND.
constexpr unsigned kInformationBoxFlags = 0x10040;
// A question: MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND.
constexpr unsigned kQuestionBoxFlags = 0x10024;

// A box the program is expected to show.
struct ExpectedBox {
    std::string text;
    unsigned flags;
};

// The run ended by itself, with exit code 0.
void ExpectCleanEnd(const SpyResult& run);
// The run ended cleanly after showing exactly these boxes, in this order, all
// with this caption and no owner window.
void ExpectShownBoxes(const SpyResult& run, const std::vector<ExpectedBox>& expected,
                      const std::string& caption);
// The texts of the boxes a run showed, in order.
std::vector<std::string> BoxTexts(const SpyResult& run);

// The lines of a run's log file, from UTF-8 to code page 932 as the tests
// write their texts.
std::vector<std::string> LogLines(const std::string& path);
// The lines of a log that hold part, each from part on.
std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& part);

// A script with the caption NAME running the sections of proc (a PROC list).
std::string Script(const std::string& proc, const std::string& sections,
                   const std::string& caption = "N");

// A script section: "[name]" and its lines.
std::string Section(const std::string& name, const std::string& lines);

// Copies the folder tree from into to, creating to and its folders; false
// when anything could not be copied.
bool CopyTree(const std::string& from, const std::string& to);

// Removes a folder with everything in it; true when it is gone.
bool RemoveTree(const std::string& path);
