// Long updates end to end: RETRY waits for a file that another program holds,
// PROGRESS=YES shows the shell's progress window while the run goes on, and
// its Cancel (with ROLLBACK=YES) puts everything back. The window's cases
// (suite Display) need a display: CTest runs them on a private Xvfb, and the
// others without one. Nothing here waits for time to pass: the test acts
// when the run's log says that the run waits for the file the test holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "file_procs_helpers.h"
#include "helper_programs.h"
#include "sandbox.h"
#include "tree_snapshot.h"

namespace {

const std::string kStatus = "UPDATER_EXIT_STATUS=1";
const char* const kWaiting = "waiting for ";
const int kNo = 7;

std::string LogOf(const Sandbox& box) {
    return box.Path("run.log");
}

// The installed file app\a.txt, its new version, and new\b.txt to add.
void Fill(const Sandbox& box) {
    box.MakeFolder("app");
    box.MakeFolder("new");
    box.WriteFile("app\\a.txt", "old");
    box.WriteFile("new\\a.txt", "new");
    box.WriteFile("new\\b.txt", "b");
}

// A script with the caption N, a log, and these keys of UPDATER.
std::string LongScript(const std::string& proc, const std::string& updater_keys,
                       const std::string& sections, const std::string& caption = "N") {
    return Script(proc, "LOG=<Src>\\run.log\n" + updater_keys + sections, caption);
}

std::string Copy(const std::string& name, const std::string& from, const std::string& to) {
    return Section(name, "MODE=COPY\nFROM=<Src>\\" + from + "\nTO=<Src>\\" + to + "\n");
}

// Runs the updater in box; once its log says that it waits for a file (or
// after the hang ceiling, in vain), act is called on another thread.
SpyResult RunActingWhenWaiting(const Sandbox& box, const std::vector<std::string>& environment,
                               unsigned long status, const std::function<void()>& act) {
    std::thread watcher([&] {
        const DWORD start = GetTickCount();
        while (Matching(LogLines(LogOf(box)), kWaiting).empty() &&
               GetTickCount() - start < kHangCeilingMs)
            Sleep(20);
        act();
    });
    SpyResult run = box.RunWith(environment, status);
    watcher.join();
    return run;
}

// Position of the first log line holding part; -1 for none.
int LineOf(const std::vector<std::string>& log, const std::string& part) {
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].find(part) != std::string::npos)
            return static_cast<int>(i);
    }
    return -1;
}

// --- RETRY --------------------------------------------------------------------------------

struct HeldCase {
    const char* what;
    std::string section;  // the procedure P
    const char* retry;    // the RETRY line, or ""
    const char* held;     // what the test holds open without sharing
    bool let_go;          // once the run waits (else only after the run)
    unsigned long status;
    int message;         // the failure box's message; 0 for none
    const char* error;   // the hold's error as the log gives it
    const char* ended;   // how the wait ended in the log; null for no wait at all
    const char* action;  // the log line of the change after the wait
    std::function<void(const Sandbox&)> check;
};

// Each file change waits for the file it needs while RETRY lasts, and only
// then fails as before; without RETRY nothing waits.
TEST(Retry, WaitsForAHeldFileWhileItLasts) {
    const auto content = [](const char* file, const char* bytes) {
        return [=](const Sandbox& box) { EXPECT_EQ(box.ReadFile(file), bytes) << file; };
    };
    const auto changed = [](const char* file) {
        return [=](const Sandbox& box) {
            EXPECT_TRUE(box.ReadFile(file) !=
                        ReadWholeFile(TestProgramFolder() + "rsrc_target.exe"));
        };
    };
    const std::string copy = "MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\a.txt\n";
    const HeldCase cases[] = {
        {"COPY onto a held target", copy, "RETRY=30\n", "app\\a.txt", true, 0, 0, "error 32",
         ": let go", "copied ", content("app\\a.txt", "new")},
        {"COPY without RETRY", copy, "", "app\\a.txt", false, 1, 8, "", nullptr, "failed to copy ",
         content("app\\a.txt", "old")},
        {"COPY past RETRY", copy, "RETRY=1\n", "app\\a.txt", false, 1, 8, "error 32",
         ": still held", "failed to copy ", content("app\\a.txt", "old")},
        {"MOVE of a held source", "MODE=MOVE\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\m.txt\n",
         "RETRY=30\n", "new\\a.txt", true, 0, 0, "error 32", ": let go", "moved ",
         content("app\\m.txt", "new")},
        {"DELETE of a held file", "MODE=DELETE\nFILE=<Src>\\app\\a.txt\n", "RETRY=30\n",
         "app\\a.txt", true, 0, 0, "error 32", ": let go", "deleted ",
         [](const Sandbox& box) { EXPECT_FALSE(box.Exists("app\\a.txt")); }},
        {"RSRC into a held module",
         "MODE=RSRC\nFROM=<Src>\\source.exe\nTO=<Src>\\target.exe\nTYPE=SETTINGS\nNAME=CONFIG\n",
         "RETRY=30\n", "target.exe", true, 0, 0, "error 32", ": let go", "copied resources ",
         changed("target.exe")},
        // IPersistFile names the hold as an HRESULT (0x80070020).
        {"LINK over a held shortcut",
         "MODE=LINK\nSRC=<Src>\\new\\a.txt\nPARAM=\nSHOWCMD=\nDST=<Src>\\app\\short\n",
         "RETRY=30\n", "app\\short.LNK", true, 0, 0, "error 2147942432", ": let go",
         "saved shortcut ",
         [](const Sandbox& box) { EXPECT_NE(box.ReadFile("app\\short.LNK"), "old link"); }},
    };
    for (const HeldCase& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box("long_retry");
        Fill(box);
        box.WriteFile("app\\short.LNK", "old link");
        CopyFileA((TestProgramFolder() + "rsrc_source.exe").c_str(), box.Path("source.exe").c_str(),
                  FALSE);
        CopyFileA((TestProgramFolder() + "rsrc_target.exe").c_str(), box.Path("target.exe").c_str(),
                  FALSE);
        box.WriteScript(LongScript("P", c.retry, Section("P", c.section)));
        HeldFile held(box.Path(c.held));
        const DWORD held_at = GetTickCount();
        const SpyResult run = c.let_go
                                  ? RunActingWhenWaiting(box, {kStatus}, c.status,
                                                         [&] {
                                                             // As a scanner would, a second at
                                                             // least.
                                                             while (GetTickCount() - held_at < 1000)
                                                                 Sleep(20);
                                                             held.Release();
                                                         })
                                  : box.RunWith({kStatus}, c.status);
        // Without let_go the file is held until here: the run ended while it was.
        held.Release();
        EXPECT_EQ(BoxTexts(run),
                  c.message == 0
                      ? std::vector<std::string>{}
                      : std::vector<std::string>{ExpectedMessage(
                            c.message, {box.Path("new\\a.txt"), box.Path("app\\a.txt")})});
        c.check(box);

        const std::vector<std::string> log = LogLines(LogOf(box));
        const std::vector<std::string> waits = Matching(log, kWaiting);
        const int acted = LineOf(log, c.action);
        EXPECT_GE(acted, 0);
        if (c.ended == nullptr) {
            EXPECT_TRUE(waits.empty());
            continue;
        }
        ASSERT_EQ(waits.size(), 1u);
        EXPECT_NE(waits[0].find(", held by another program: " + std::string(c.error)),
                  std::string::npos)
            << waits[0];
        const int began = LineOf(log, kWaiting), ended = LineOf(log, c.ended);
        EXPECT_TRUE(began < ended && ended < acted) << began << " " << ended << " " << acted;
        // "waited N ms for ...": the run gave up only once RETRY had passed.
        const std::string waited = Matching(log, "waited ").at(0);
        if (!c.let_go) {
            EXPECT_GE(atoi(waited.c_str() + 7), 1000) << waited;
        }
    }
}

// With ROLLBACK=YES the undo's own steps wait as the changes do: setting aside
// a file that the test holds (P's target), and putting back one that a
// program the run started holds (Hold) when F fails. Without RETRY the
// put-back waits for nothing: message 18, and the next start finishes it.
TEST(Retry, TheUndoWaitsForAHeldFileAsTheChangesDo) {
    const struct {
        const char* what;
        const char* retry;
        const char* proc;
        bool test_holds;  // the test holds P's target; else Hold's program holds it after P
        bool let_go;      // once the run waits, a second at least after the hold began
    } cases[] = {
        {"set aside", "RETRY=30\n", "P,F", true, true},
        {"put back", "RETRY=30\n", "P,Hold,F", false, true},
        {"put back without RETRY", "", "P,Hold,F", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box("long_retry_undo");
        Fill(box);
        helpers::Install(box, "helper_holder", "holder.exe");
        box.WriteScript(LongScript(
            c.proc, std::string("ROLLBACK=YES\n") + c.retry,
            Copy("P", "new\\a.txt", "app\\a.txt") + Copy("F", "new\\gone.txt", "app\\g.txt") +
                Section("Hold",
                        "MODE=LAUNCH\nFILE=<Src>\\holder.exe\nPARAM=<Src>\\app\\a.txt\n"
                        "ISWAIT=0\n")));
        std::optional<HeldFile> held;
        if (c.test_holds)
            held.emplace(box.Path("app\\a.txt"));
        const auto let_go = [&] {
            if (held)
                held->Release();
            else
                box.WriteFile("holder.exe.stop", "");
        };
        const DWORD held_at = GetTickCount();
        std::vector<std::string> boxes = {
            ExpectedMessage(8, {box.Path("new\\gone.txt"), box.Path("app\\g.txt")})};
        if (!c.let_go)
            boxes.push_back(ExpectedMessage(18, {box.Path("app\\a.txt")}));
        const SpyResult run = c.let_go
                                  ? RunActingWhenWaiting(box, {kStatus}, 1,
                                                         [&] {
                                                             while (GetTickCount() - held_at < 1000)
                                                                 Sleep(20);
                                                             let_go();
                                                         })
                                  : box.RunWith({kStatus}, 3);
        EXPECT_EQ(BoxTexts(run), boxes);
        const std::vector<std::string> log = LogLines(LogOf(box));
        const std::vector<std::string> waits = Matching(log, kWaiting);
        if (c.let_go) {
            ASSERT_EQ(waits.size(), 1u);
            EXPECT_NE(waits[0].find(kWaiting + box.Path("app\\a.txt") +
                                    ", held by another program: error 32"),
                      std::string::npos)
                << waits[0];
            EXPECT_EQ(Matching(log, ": let go").size(), 1u);
            EXPECT_EQ(box.ReadFile("app\\a.txt"), "old");
            EXPECT_GE(LineOf(log, "put back " + box.Path("app\\a.txt")), 0);
            continue;
        }
        EXPECT_TRUE(waits.empty());
        let_go();
        ASSERT_TRUE(helpers::WaitForFile(box.Path("holder.exe.ended")));
        EXPECT_EQ(box.ReadFile("app\\a.txt"), "new");
        box.WriteScript(LongScript("E", "ROLLBACK=YES\n",
                                   Section("E", "MODE=EXIST\nFILE=<Src>\\app\\a.txt\n")));
        EXPECT_EQ(BoxTexts(box.RunWith({kStatus}, 0)), std::vector<std::string>{});
        EXPECT_EQ(box.ReadFile("app\\a.txt"), "old");
    }
}

// A RETRY that is no number of seconds from 0 to 600 stops the run before it
// begins, as any malformed key of UPDATER does.
TEST(Retry, AValueThatIsNoWholeSecondsIsRefused) {
    for (const char* value : {"abc", "601", "-1", "1.5"}) {
        SCOPED_TRACE(value);
        Sandbox box("long_retry_value");
        Fill(box);
        box.WriteScript(LongScript("P", "RETRY=" + std::string(value) + "\n",
                                   Copy("P", "new\\a.txt", "app\\a.txt")));
        EXPECT_EQ(BoxTexts(box.RunWith({kStatus}, 4)),
                  std::vector<std::string>{ExpectedMessage(2, {"UPDATER", "RETRY"})});
        EXPECT_EQ(box.ReadFile("app\\a.txt"), "old");
    }
}

// --- PROGRESS -----------------------------------------------------------------------------

// What a run left: its boxes, the installed tree and its exit status.
struct Result {
    std::vector<ShownBox> boxes;
    unsigned long status;
    TreeSnapshot app;
    std::vector<std::string> log;
};

// Each box as one text: owner, caption, flags and text.
std::vector<std::string> Described(const std::vector<ShownBox>& boxes) {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes)
        texts.push_back(std::to_string(box.owner) + "|" + box.caption + "|" +
                        std::to_string(box.flags) + "|" + box.text);
    return texts;
}

Result RunScript(const std::string& script, unsigned long status, const std::vector<int>& answers) {
    Sandbox box("long_same");
    Fill(box);
    box.WriteScript(script);
    const SpyResult run =
        box.RunProgram("updater.exe", box.Path(), "", answers, kHangCeilingMs, {kStatus}, status);
    return {run.boxes, run.exit_code, SnapshotOf(box.Path("app")), LogLines(LogOf(box))};
}

// Boxes, files and outcome of a PROGRESS=YES run are those of the run
// without it; shown says whether the window can be shown here.
void ExpectSameRunsWithProgress(bool shown) {
    struct Case {
        const char* what;
        std::string sections;
        unsigned long status;
        std::vector<int> answers;
    };
    const Case cases[] = {
        {"a completed copy", Copy("P", "new", "app"), 0, {}},
        {"a failed copy",
         Copy("P", "new\\a.txt, new\\missing.txt", "app\\a.txt, app\\m.txt"),
         1,
         {}},
        {"a question answered No",
         Section("P", "MODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=Go on?\nISABORT=0,1\n"),
         2,
         {kNo}},
        {"a CRC report", Section("P", "MODE=CRC\nFILE=<Src>\\new\\a.txt\nTYPE=AND\nCRC=\n"), 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result plain = RunScript(LongScript("P", "", c.sections), c.status, c.answers);
        const Result progress =
            RunScript(LongScript("P", "PROGRESS=YES\n", c.sections), c.status, c.answers);
        EXPECT_EQ(Described(plain.boxes), Described(progress.boxes));
        EXPECT_EQ(plain.status, progress.status);
        EXPECT_EQ(TreeDifferences(plain.app, progress.app, false), "");
        EXPECT_EQ(Matching(progress.log, "progress window not available"),
                  shown ? std::vector<std::string>{}
                        : std::vector<std::string>{"progress window not available: no display"});
    }
}

TEST(Progress, WithoutADisplayTheRunIsTheSame) {
    ExpectSameRunsWithProgress(false);
}

TEST(Display, WithTheWindowTheRunIsTheSame) {
    ExpectSameRunsWithProgress(true);
}

// The window the caption names, and the texts of its controls.
struct Window {
    HWND handle = nullptr;
    std::vector<std::string> texts;
    HWND cancel = nullptr;
};

BOOL CALLBACK AddText(HWND child, LPARAM window) {
    char text[MAX_PATH] = {};
    GetWindowTextA(child, text, sizeof text);
    reinterpret_cast<Window*>(window)->texts.push_back(text);
    return TRUE;
}

Window FindProgressWindow(const std::string& caption) {
    std::wstring title(caption.size() + 1, L'\0');
    title.resize(MultiByteToWideChar(932, 0, caption.c_str(), -1, &title[0],
                                     static_cast<int>(title.size())) -
                 1);
    Window window;
    window.handle = FindWindowW(nullptr, title.c_str());
    if (window.handle == nullptr)
        return window;
    EnumChildWindows(window.handle, AddText, reinterpret_cast<LPARAM>(&window));
    HWND cancel = GetDlgItem(window.handle, IDCANCEL);
    if (cancel != nullptr && IsWindowVisible(cancel))
        window.cancel = cancel;
    return window;
}

bool Holds(const std::vector<std::string>& texts, const std::string& part) {
    for (const std::string& text : texts) {
        if (text.find(part) != std::string::npos)
            return true;
    }
    return false;
}

// The window once one of its texts holds part: the run tells the log first.
// After a while (against a hang) it is taken as it is.
Window WindowShowing(const std::string& caption, const std::string& part) {
    Window window = FindProgressWindow(caption);
    for (const DWORD start = GetTickCount();
         !Holds(window.texts, part) && GetTickCount() - start < kHangCeilingMs; Sleep(20)) {
        window = FindProgressWindow(caption);
    }
    return window;
}

// While a COPY waits for a held source, the window is there, titled with the
// caption (code page 932, a trail byte 0x5C in 表), showing the procedure and
// the file, and without ROLLBACK without Cancel: a Cancel sent to it anyway
// changes nothing. An unattended run shows no window.
TEST(Display, TheWindowShowsWhileACopyRuns) {
    const std::string caption = "表示の更新";
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "attended");
        Sandbox box("long_window");
        Fill(box);
        box.WriteScript(LongScript("Files", "PROGRESS=YES\nRETRY=60\n",
                                   Copy("Files", "new\\a.txt", "app\\a.txt"), caption));
        HeldFile held(box.Path("new\\a.txt"));
        Window seen;
        std::vector<std::string> environment = {kStatus};
        if (unattended)
            environment.push_back("UPDATER_UNATTENDED=1");
        const SpyResult run = RunActingWhenWaiting(box, environment, 0, [&] {
            // No window would be there before the log's line.
            seen = unattended ? FindProgressWindow(caption)
                              : WindowShowing(caption, box.Path("new\\a.txt"));
            if (seen.handle != nullptr)
                SendMessageA(seen.handle, WM_COMMAND, IDCANCEL, 0);
            held.Release();
        });
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(box.ReadFile("app\\a.txt"), "new");
        EXPECT_EQ(FindProgressWindow(caption).handle, nullptr);  // closed at the end
        if (unattended) {
            EXPECT_EQ(seen.handle, nullptr);
            continue;
        }
        ASSERT_NE(seen.handle, nullptr);
        EXPECT_TRUE(Holds(seen.texts, "Files"));
        EXPECT_TRUE(Holds(seen.texts, box.Path("new\\a.txt")));
        EXPECT_EQ(seen.cancel, nullptr);
    }
}

// With ROLLBACK=YES, Cancel pressed while the second COPY waits stops the run
// there, without a box, and the undo leaves the installation as it was.
TEST(Display, CancelStopsTheRunAndTheUndoPutsEverythingBack) {
    Sandbox box("long_cancel");
    Fill(box);
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    box.WriteScript(LongScript(
        "First,Second", "PROGRESS=YES\nROLLBACK=YES\nRETRY=60\n",
        Copy("First", "new\\a.txt", "app\\a.txt") + Copy("Second", "new\\b.txt", "app\\b.txt")));
    HeldFile held(box.Path("new\\b.txt"));
    bool pressed = false;
    const SpyResult run = RunActingWhenWaiting(box, {kStatus}, 2, [&] {
        const Window window = FindProgressWindow("N");
        pressed = window.cancel != nullptr;
        if (pressed)
            SendMessageA(window.cancel, BM_CLICK, 0, 0);
    });
    held.Release();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(TreeDifferences(before, SnapshotOf(box.Path("app"))), "");
    const std::vector<std::string> log = LogLines(LogOf(box));
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("run stopped by the user in procedure Second"), std::string::npos)
        << log.back();
}

}  // namespace
