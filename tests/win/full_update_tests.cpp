// The full-update example (examples/full-update), which uses every procedure
// kind, run as a whole through the real updater.exe; its visible result is
// checked file by file.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "rsrc/readback.h"
#include "sandbox.h"

namespace {

const WORD kEnglish = 0x0409;
const int kYes = 6;
const int kNo = 7;

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}

// A sandbox holding the example as it is delivered: updater.exe, the script
// and "new" beside it, and the 1.x installation it updates.
class FullUpdate : public testing::Test {
protected:
    void SetUp() override {
        box_.reset(new Sandbox(
            "fullupdate_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name())));
        const std::string example = WindowsPathOf(FULL_UPDATE_DIR);
        ASSERT_TRUE(CopyFileA((example + "\\updater.ini").c_str(),
                              box_->Path("updater.ini").c_str(), FALSE));
        ASSERT_TRUE(CopyTree(example + "\\installed", box_->Path("installed")));
        ASSERT_TRUE(CopyTree(example + "\\new", box_->Path("new")));
        ASSERT_TRUE(CopyFileA((TestProgramFolder() + "sampleapp_v1.exe").c_str(),
                              App("sampleapp.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((TestProgramFolder() + "sampleapp_v2.exe").c_str(),
                              box_->Path("new\\sampleapp.exe").c_str(), FALSE));
        installed_program_ = ReadWholeFile(App("sampleapp.exe"));
        old_settings_ = ReadWholeFile(App("settings.ini"));
        RemoveShortcuts();
    }
    void TearDown() override {
        if (box_)
            RemoveShortcuts();
    }

    // Where the script puts its shortcuts: the all-users folders on NT.
    static std::string DesktopLink() {
        return SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\SampleApp.LNK";
    }
    static std::string MenuFolder() { return SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\SampleApp"; }
    static void RemoveShortcuts() {
        DeleteFileA(DesktopLink().c_str());
        RemoveTree(MenuFolder());
    }

    std::string App(const std::string& relative) const {
        return box_->Path("installed\\SampleApp\\" + relative);
    }
    std::string New(const std::string& relative) const { return box_->Path("new\\" + relative); }

    std::unique_ptr<Sandbox> box_;
    std::string installed_program_;
    std::string old_settings_;
};

TEST_F(FullUpdate, UpdatesTheInstallationStepByStep) {
    const SpyResult result = box_->Run("", {kYes});
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_FALSE(result.timed_out);

    // Only the question before and the notice after; no error box.
    ASSERT_EQ(2u, result.boxes.size());
    EXPECT_EQ("This updates SampleApp to version 2.0.\nDo you want to update now?",
              result.boxes[0].text);
    EXPECT_EQ("SampleApp 2.0 Update", result.boxes[0].caption);
    EXPECT_EQ(0x10024u, result.boxes[0].flags);
    EXPECT_EQ("SampleApp has been updated to version 2.0.\nIt will start now.",
              result.boxes[1].text);
    EXPECT_EQ(kInformationBoxFlags, result.boxes[1].flags);

    // Backup, then the logs moved and the obsolete files deleted.
    EXPECT_EQ(installed_program_, ReadWholeFile(App("backup\\1.x\\sampleapp.exe")));
    EXPECT_EQ(old_settings_, ReadWholeFile(App("backup\\1.x\\settings.ini")));
    EXPECT_TRUE(Exists(App("logs\\app.log")));
    EXPECT_TRUE(Exists(App("logs\\error.log")));
    EXPECT_FALSE(Exists(App("app.log")));
    EXPECT_FALSE(Exists(App("plugins\\legacy.dll")));
    EXPECT_FALSE(Exists(App("obsolete.txt")));

    // The data folder replaced as a whole, then made read-only.
    EXPECT_FALSE(Exists(App("data\\old-topics.txt")));
    EXPECT_FALSE(Exists(App("data.tmp")));
    EXPECT_EQ(ReadWholeFile(New("data\\help.txt")), ReadWholeFile(App("data\\help.txt")));
    EXPECT_EQ(ReadWholeFile(New("data\\tutorial.txt")), ReadWholeFile(App("data\\tutorial.txt")));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY),
              GetFileAttributesA(App("data\\help.txt").c_str()));

    // New and changed files; the untouched 1.x settings replaced by 2.0's.
    EXPECT_EQ(ReadWholeFile(New("plugins\\spell.dll")), ReadWholeFile(App("plugins\\spell.dll")));
    EXPECT_EQ(ReadWholeFile(New("plugins\\export.dll")), ReadWholeFile(App("plugins\\export.dll")));
    EXPECT_EQ(ReadWholeFile(New("changes.txt")), ReadWholeFile(App("changes.txt")));
    EXPECT_EQ(ReadWholeFile(New("settings.ini")), ReadWholeFile(App("settings.ini")));

    // The program was updated in place: 2.0's icon and version record, and
    // still the customer's licence.
    for (const char* type : {"#14", "#3", "#16"}) {
        const auto installed = readback::ResourceBytes(App("sampleapp.exe"), type, "#1", kEnglish);
        ASSERT_TRUE(installed.has_value()) << type;
        EXPECT_EQ(readback::ResourceBytes(New("sampleapp.exe"), type, "#1", kEnglish), installed)
            << type;
    }
    EXPECT_EQ(std::string("Licensed to: Example Trading Ltd.\0", 34),
              readback::ResourceBytes(App("sampleapp.exe"), "#10", "LICENCE", kEnglish));

    // Shortcuts on the desktop and in the programs menu.
    const readback::Shortcut desktop = readback::ReadShortcut(DesktopLink());
    ASSERT_TRUE(desktop.loaded);
    EXPECT_EQ(readback::Lower(App("sampleapp.exe")), readback::Lower(desktop.path));
    EXPECT_EQ(readback::Lower(box_->Path("installed\\SampleApp")), readback::Lower(desktop.folder));
    EXPECT_EQ("", desktop.arguments);
    const readback::Shortcut help = readback::ReadShortcut(MenuFolder() + "\\SampleApp Help.LNK");
    ASSERT_TRUE(help.loaded);
    EXPECT_EQ("/help", help.arguments);
    EXPECT_EQ(SW_SHOWMAXIMIZED, help.show);

    // Last of all the updated program was started.
    EXPECT_EQ("SampleApp started: /updated", ReadWholeFile(App("started.txt")));
}

TEST_F(FullUpdate, AnsweringNoChangesNothing) {
    const SpyResult result = box_->Run("", {kNo});
    ASSERT_TRUE(result.started) << result.problem;
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(0x10024u, result.boxes[0].flags);

    EXPECT_EQ(installed_program_, ReadWholeFile(App("sampleapp.exe")));
    EXPECT_EQ(old_settings_, ReadWholeFile(App("settings.ini")));
    EXPECT_TRUE(Exists(App("app.log")));
    EXPECT_TRUE(Exists(App("data\\old-topics.txt")));
    EXPECT_FALSE(Exists(App("backup")));
    EXPECT_FALSE(Exists(App("started.txt")));
    EXPECT_FALSE(Exists(DesktopLink()));
}

TEST_F(FullUpdate, SilentOptionUpdatesWithoutAnyBox) {
    const SpyResult result = box_->Run("/silent");
    ASSERT_TRUE(result.started) << result.problem;
    for (const ShownBox& shown : result.boxes) ADD_FAILURE() << "unexpected box: " << shown.text;
    EXPECT_EQ(ReadWholeFile(New("settings.ini")), ReadWholeFile(App("settings.ini")));
    EXPECT_TRUE(Exists(DesktopLink()));
    EXPECT_EQ("SampleApp started: /updated", ReadWholeFile(App("started.txt")));
}

}  // namespace
