// The publisher examples minimal, wait-for-app, replace-folder and crc-check,
// each copied as delivered into a sandbox beside the real updater.exe and run
// under the box spy: the boxes shown and the files replaced or left alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "helper_programs.h"
#include "sandbox.h"

namespace {

using Box = ExpectedBox;

Box Info(const std::string& text) {
    return {text, kInformationBoxFlags};
}
Box Error(const std::string& text) {
    return {text, kErrorBoxFlags};
}

// Every file below a folder, by its path relative to the folder, with its
// contents; folders are listed with a trailing backslash.
using Listing = std::map<std::string, std::string>;

void AddToListing(const Sandbox& box, const std::string& folder, const std::string& relative,
                  Listing* listing) {
    WIN32_FIND_DATAA entry;
    const std::string path = relative.empty() ? folder : folder + "\\" + relative;
    HANDLE search = FindFirstFileA((box.Path(path) + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string inner = relative.empty() ? name : relative + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*listing)[inner + "\\"] = "";
            AddToListing(box, folder, inner, listing);
        } else {
            (*listing)[inner] = box.ReadFile(folder + "\\" + inner);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

Listing ListFolder(const Sandbox& box, const std::string& folder) {
    Listing listing;
    AddToListing(box, folder, "", &listing);
    return listing;
}

// Edits the sandbox's updater.ini as a publisher would: the one occurrence
// of `what` becomes `by`.
void EditScript(const Sandbox& box, const std::string& what, const std::string& by) {
    std::string script = box.ReadFile("updater.ini");
    const size_t at = script.find(what);
    ASSERT_NE(at, std::string::npos) << what;
    ASSERT_EQ(script.find(what, at + 1), std::string::npos) << what;
    script.replace(at, what.size(), by);
    box.WriteScript(script);
}

// Appends a step to the script's PROC line that leaves after.txt behind: the
// README promises that such a step does not run once the update is refused.
void AddStepAtTheEnd(const Sandbox& box, const std::string& proc_line) {
    EditScript(box, proc_line, proc_line + ",After");
    box.WriteFile("marker.txt", "marker");
    box.WriteScript(box.ReadFile("updater.ini") +
                    "\n[After]\nMODE=COPY\nFROM=<Src>\\marker.txt\nTO=<Src>\\after.txt\n");
}

// A sandbox holding updater.exe and a copy of examples/<example>.
class ExampleTest : public testing::Test {
protected:
    explicit ExampleTest(const std::string& example)
        : box_("examples_" + example + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name()) {
        EXPECT_TRUE(CopyTree(WindowsPathOf(EXAMPLES_DIR "/" + example), box_.Path()));
    }

    Sandbox box_;
};

// --- minimal -----------------------------------------------------------------

class Minimal : public ExampleTest {
protected:
    Minimal() : ExampleTest("minimal") {}

    static Box Done() { return Info("SampleApp has been updated to version 2.0."); }

    // The installation holds the new program and every file of new\data.
    void ExpectUpdated(const std::string& app) const {
        EXPECT_EQ(box_.ReadFile(app + "\\sampleapp.exe"), "SampleApp 2.0 (pretend program)\n");
        for (const auto& file : ListFolder(box_, "new\\data"))
            EXPECT_EQ(box_.ReadFile(app + "\\data\\" + file.first), file.second) << file.first;
    }
};

TEST_F(Minimal, CopiesTheNewFilesAndKeepsTheUsersOwn) {
    const std::string settings = box_.ReadFile("installed\\SampleApp\\data\\settings.ini");
    const Listing delivered = ListFolder(box_, "new");
    ASSERT_FALSE(settings.empty());
    ASSERT_EQ(box_.ReadFile("installed\\SampleApp\\data\\help.txt"), "SampleApp 1.0 help\n");
    ExpectShownBoxes(box_.Run(), {Done()}, "SampleApp Update");
    ExpectUpdated("installed\\SampleApp");
    EXPECT_EQ(box_.ReadFile("installed\\SampleApp\\data\\help.txt"), "SampleApp 2.0 help\n");
    EXPECT_EQ(box_.ReadFile("installed\\SampleApp\\data\\settings.ini"), settings);
    EXPECT_EQ(ListFolder(box_, "installed\\SampleApp").size(), 5u);  // data\ and four files
    EXPECT_EQ(ListFolder(box_, "new"), delivered);
}

// The README's one line to change: <App> alone decides where the files go.
TEST_F(Minimal, TheDefineLineChoosesTheInstallation) {
    const Listing installed = ListFolder(box_, "installed");
    EditScript(box_, "<App>=<Src>\\installed\\SampleApp",
               "<App>=" + box_.Path("Program Files\\SampleApp"));
    ExpectShownBoxes(box_.Run(), {Done()}, "SampleApp Update");
    ExpectUpdated("Program Files\\SampleApp");
    EXPECT_EQ(ListFolder(box_, "installed"), installed);
}

TEST_F(Minimal, AFileThatCannotBeCopiedEndsTheRunBeforeTheClosingBox) {
    ASSERT_TRUE(DeleteFileA(box_.Path("new\\sampleapp.exe").c_str()));
    const Listing installed = ListFolder(box_, "installed");
    ExpectShownBoxes(box_.Run(),
                     {Error(ExpectedMessage(kMsgCopyFailed,
                                            {box_.Path("new\\sampleapp.exe"),
                                             box_.Path("installed\\SampleApp\\sampleapp.exe")}))},
                     "SampleApp Update");
    EXPECT_EQ(ListFolder(box_, "installed"), installed);  // the data folder is not copied either
}

// --- wait-for-app ------------------------------------------------------------

class WaitForApp : public ExampleTest {
protected:
    WaitForApp() : ExampleTest("wait-for-app") {}

    // Puts the sleeper in place of the installed tool.exe and starts it; it
    // ends by itself after lifetime_ms (20 s when empty).
    helpers::RunningHelper* StartTool(const std::string& lifetime_ms = "") {
        helpers::Install(box_, "helper_sleeper", "installed\\Tool\\tool.exe");
        tool_.reset(
            new helpers::RunningHelper(box_.Path("installed\\Tool\\tool.exe"), lifetime_ms));
        return tool_.get();
    }

    bool Updated() const {
        return box_.ReadFile("installed\\Tool\\tool.exe") == "Tool 2.0 (pretend program)\n" &&
               box_.ReadFile("installed\\Tool\\changes.txt") == box_.ReadFile("new\\changes.txt");
    }

    static const char* Proc() { return "PROC=Running,WaitClose,StillRunning,Decide"; }

    std::unique_ptr<helpers::RunningHelper> tool_;
};

TEST_F(WaitForApp, UpdatesAtOnceWhenToolIsNotRunning) {
    const DWORD start = GetTickCount();
    ExpectShownBoxes(box_.Run(), {Info("Tool has been updated to version 2.0.")}, "Tool Update");
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_TRUE(Updated());
}

TEST_F(WaitForApp, WaitsUntilToolHasEndedThenUpdates) {
    AddStepAtTheEnd(box_, Proc());
    ASSERT_TRUE(StartTool("1500")->Started());
    ExpectShownBoxes(box_.Run(),
                     {Info("Tool has been updated to version 2.0.\nYou can start Tool again now.")},
                     "Tool Update");
    EXPECT_TRUE(box_.Exists("installed\\Tool\\tool.exe.ended"));
    EXPECT_TRUE(Updated());
    EXPECT_TRUE(box_.Exists("after.txt"));
}

TEST_F(WaitForApp, ToolStillRunningAtTheLimitChangesNothing) {
    // The script's 30-second wait, shortened so that the test need not sit through it.
    EditScript(box_, "TICK=30000", "TICK=300");
    AddStepAtTheEnd(box_, Proc());
    helpers::RunningHelper* tool = StartTool();
    ASSERT_TRUE(tool->Started());
    const std::string running_program = box_.ReadFile("installed\\Tool\\tool.exe");
    const DWORD start = GetTickCount();
    ExpectShownBoxes(
        box_.Run(),
        {Error("Tool is still running, so it has not been updated.\nClose Tool and start "
               "the update again.")},
        "Tool Update");
    EXPECT_GE(GetTickCount() - start, 250u);  // it did wait
    EXPECT_TRUE(tool->StillRunning());
    EXPECT_EQ(box_.ReadFile("installed\\Tool\\tool.exe"), running_program);
    EXPECT_FALSE(box_.Exists("installed\\Tool\\changes.txt"));
    EXPECT_FALSE(box_.Exists("after.txt"));
}

// --- replace-folder ----------------------------------------------------------

class ReplaceFolder : public ExampleTest {
protected:
    ReplaceFolder() : ExampleTest("replace-folder") {}

    static Box Done() { return Info("The help of Viewer has been updated to version 2.0."); }
    static const char* Data() { return "installed\\Viewer\\data"; }
};

TEST_F(ReplaceFolder, TheFolderBecomesAnExactCopyOfTheDeliveredOne) {
    const Listing delivered = ListFolder(box_, "new\\data");
    const std::string program = box_.ReadFile("installed\\Viewer\\viewer.exe");
    ASSERT_TRUE(box_.Exists("installed\\Viewer\\data\\topics\\printing.txt"));
    ExpectShownBoxes(box_.Run(), {Done()}, "Viewer Update");
    EXPECT_EQ(ListFolder(box_, Data()), delivered);  // printing.txt is gone
    EXPECT_FALSE(box_.Exists("installed\\Viewer\\data.tmp"));
    EXPECT_EQ(box_.ReadFile("installed\\Viewer\\viewer.exe"), program);
    EXPECT_EQ(ListFolder(box_, "new\\data"), delivered);
}

TEST_F(ReplaceFolder, ATemporaryFolderLeftByAnEarlierRunIsClearedFirst) {
    const Listing delivered = ListFolder(box_, "new\\data");
    box_.MakeFolder("installed\\Viewer\\data.tmp\\topics");
    box_.WriteFile("installed\\Viewer\\data.tmp\\topics\\half-copied.txt", "stale");
    ExpectShownBoxes(box_.Run(), {Done()}, "Viewer Update");
    EXPECT_EQ(ListFolder(box_, Data()), delivered);
    EXPECT_FALSE(box_.Exists("installed\\Viewer\\data.tmp"));
}

TEST_F(ReplaceFolder, AFailedCopyLeavesTheOldFolderAsItWas) {
    ASSERT_TRUE(RemoveTree(box_.Path("new\\data")));
    const Listing installed = ListFolder(box_, "installed");
    ExpectShownBoxes(box_.Run(), {Error(ExpectedMessage(kMsgShellFailed))}, "Viewer Update");
    EXPECT_EQ(ListFolder(box_, "installed"), installed);  // no data.tmp either
}

// --- crc-check ---------------------------------------------------------------

class CrcCheck : public ExampleTest {
protected:
    CrcCheck() : ExampleTest("crc-check") {}

    static Box Done() { return Info("Tool has been updated to version 2.0."); }
    static Box Modified() {
        return Error(
            "The installation of Tool has been modified: its files are not those of Tool "
            "1.0.\nNothing has been replaced. Please reinstall Tool 1.0, then start the update "
            "again.");
    }

    void ExpectUpdated() const {
        EXPECT_EQ(box_.ReadFile("installed\\Tool\\tool.exe"), box_.ReadFile("new\\tool.exe"));
        EXPECT_EQ(box_.ReadFile("installed\\Tool\\engine.dll"), box_.ReadFile("new\\engine.dll"));
    }
};

TEST_F(CrcCheck, AnUnchangedInstallationIsUpdated) {
    ASSERT_NE(box_.ReadFile("installed\\Tool\\tool.exe"), box_.ReadFile("new\\tool.exe"));
    ExpectShownBoxes(box_.Run(), {Done()}, "Tool Update");
    ExpectUpdated();
}

TEST_F(CrcCheck, AModifiedFileRefusesTheUpdate) {
    // One character of the second file differs: the first still matches.
    std::string engine = box_.ReadFile("installed\\Tool\\engine.dll");
    engine[engine.size() - 1] ^= 1;
    box_.WriteFile("installed\\Tool\\engine.dll", engine);
    const Listing installed = ListFolder(box_, "installed");
    ExpectShownBoxes(box_.Run(), {Modified()}, "Tool Update");
    EXPECT_EQ(ListFolder(box_, "installed"), installed);
}

TEST_F(CrcCheck, AMissingFileRefusesTheUpdate) {
    ASSERT_TRUE(DeleteFileA(box_.Path("installed\\Tool\\tool.exe").c_str()));
    const Listing installed = ListFolder(box_, "installed");
    ExpectShownBoxes(box_.Run(), {Modified()}, "Tool Update");
    EXPECT_EQ(ListFolder(box_, "installed"), installed);
}

// A second run finds the 2.0 files, refuses, and ends before a step added
// after Decide.
TEST_F(CrcCheck, StepsAfterDecideRunOnlyAfterAnUpdate) {
    AddStepAtTheEnd(box_, "PROC=Unchanged,Decide");
    ExpectShownBoxes(box_.Run(), {Done()}, "Tool Update");
    EXPECT_TRUE(box_.Exists("after.txt"));
    ASSERT_TRUE(DeleteFileA(box_.Path("after.txt").c_str()));
    ExpectShownBoxes(box_.Run(), {Modified()}, "Tool Update");
    EXPECT_FALSE(box_.Exists("after.txt"));
    ExpectUpdated();
}

// measure.ini, the README's report run, shows the values that updater.ini
// checks, and changes nothing.
TEST_F(CrcCheck, TheReportRunShowsTheValuesTheScriptChecks) {
    char expected[256] = {};
    GetPrivateProfileStringA("Unchanged", "CRC", "", expected, sizeof expected,
                             box_.Path("updater.ini").c_str());
    const std::string values = expected;
    const size_t comma = values.find(", ");
    ASSERT_NE(comma, std::string::npos) << values;
    const Listing installed = ListFolder(box_, "installed");
    auto report = [this](const std::string& file, const std::string& crc) {
        return Info("PROC\t: Measure\nFILE\t: " + box_.Path("installed\\Tool\\" + file) +
                    "\nCRC32\t: " + crc);
    };
    ExpectShownBoxes(box_.Run("/imeasure.ini"),
                     {report("tool.exe", values.substr(0, comma)),
                      report("engine.dll", values.substr(comma + 2))},
                     "Measure");
    EXPECT_EQ(ListFolder(box_, "installed"), installed);
}

}  // namespace
