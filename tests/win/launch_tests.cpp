// LAUNCH seen from outside: the real updater.exe starts the helper programs
// (helper_marker, helper_idle) through the shell, and the test checks what
// they were started with, what the run waited for and the boxes it showed.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "helper_programs.h"
#include "sandbox.h"

namespace {

using helpers::Install;
using helpers::ReadStartRecord;
using helpers::StartRecord;

std::string Launch(const std::string& name, const std::string& file, const std::string& param,
                   const std::string& wait) {
    return Section(name,
                   "MODE=LAUNCH\nFILE=" + file + "\nPARAM=" + param + "\nISWAIT=" + wait + "\n");
}

std::string Copy(const std::string& name, const std::string& from, const std::string& to) {
    return Section(name, "MODE=COPY\nFROM=" + from + "\nTO=" + to + "\n");
}

// An information box shown only when procedure flag_of has set its flag.
std::string ShowIfSet(const std::string& name, const std::string& flag_of) {
    return Section(name, "MODE=MSGBOX\nFLAG=" + flag_of + ",1\nTYPE=INFORMATION\nTEXT=" + name +
                             "\nISABORT=\n");
}

// Tells a helper_idle copy to end and waits until it has.
class IdleStopper {
public:
    explicit IdleStopper(std::string exe) : exe_(std::move(exe)) {}
    ~IdleStopper() { Stop(); }
    bool Stop() {
        const std::string stop = exe_ + ".stop";
        HANDLE file =
            CreateFileA(stop.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return helpers::WaitForFile(exe_ + ".done", 3000);
    }

private:
    std::string exe_;
};

TEST(Launch, WaitsForTheEndAndStartsInTheProgramFolder) {
    Sandbox box("launch_wait_end");
    box.MakeFolder("tools");
    const std::string marker = Install(box, "helper_marker", "tools\\marker.exe");
    const std::string idle = Install(box, "helper_idle", "idle.exe");
    // Any ISWAIT other than 0 waits for the end, also of a program that is
    // ready for input long before it ends: the files the helpers write when
    // they end are there when the next procedure copies them.
    box.WriteScript("[UPDATER]\nNAME=\nPROC=RUN,CHECK,DONE\n" +
                    Launch("RUN", marker + "," + idle, "one  \"two three\" /x, 300", "2") +
                    Copy("CHECK", marker + ".txt," + idle + ".done",
                         box.Path("marker.txt") + "," + box.Path("idle.done")) +
                    ShowIfSet("DONE", "RUN"));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run), std::vector<std::string>({"DONE"}));
    EXPECT_TRUE(box.Exists("marker.txt"));
    EXPECT_TRUE(box.Exists("idle.done"));
    const StartRecord record = ReadStartRecord(box, "tools\\marker.exe");
    EXPECT_EQ(record.arguments, "one  \"two three\" /x");
    EXPECT_EQ(record.folder, box.Path("tools"));
}

TEST(Launch, IdleWaitGoesOnWhileTheProgramRuns) {
    // ISWAIT 0, and ISWAIT that is not a number (read as 0): the run goes on
    // once the helper waits for input; waiting for its end would outlast the
    // time limit of the run.
    for (const std::string wait : {"0", "x1"}) {
        SCOPED_TRACE("ISWAIT=" + wait);
        Sandbox box("launch_idle");
        const std::string idle = Install(box, "helper_idle", "idle.exe");
        IdleStopper stopper(idle);
        box.WriteScript("[UPDATER]\nNAME=\nPROC=RUN,CHECK\n" + Launch("RUN", idle, "ready", wait) +
                        Copy("CHECK", idle + ".txt", box.Path("copied.txt")));
        const SpyResult run = box.Run("", {}, 8000);
        ExpectCleanEnd(run);
        EXPECT_TRUE(run.boxes.empty());
        // It was ready before the next procedure ran, and it still runs.
        EXPECT_TRUE(box.Exists("copied.txt"));
        EXPECT_FALSE(box.Exists("idle.exe.done"));
        EXPECT_EQ(ReadStartRecord(box, "idle.exe").arguments, "ready");
        EXPECT_TRUE(stopper.Stop());
    }
}

TEST(Launch, ParametersFollowTheFilesByPosition) {
    Sandbox box("launch_params");
    box.MakeFolder("sub");
    const std::string first = Install(box, "helper_marker", "first.exe");
    Install(box, "helper_marker", "bare.exe");
    const std::string third = Install(box, "helper_marker", "sub\\third.exe");
    const std::string fourth = Install(box, "helper_marker", "sub\\fourth.exe");
    // Spaces around items are removed; an item without a folder part starts
    // in the updater's own working folder (the sandbox); extra PARAM items
    // are ignored; an empty PARAM gives no parameters at all.
    box.WriteScript("[UPDATER]\nNAME=\nPROC=ITEMS,EMPTY\n" +
                    Launch("ITEMS", first + " ,  bare.exe  ," + third, "a b  , c ,d,e", "1") +
                    Launch("EMPTY", fourth, "", "1"));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_TRUE(run.boxes.empty());

    const StartRecord a = ReadStartRecord(box, "first.exe");
    EXPECT_EQ(a.arguments, "a b");
    EXPECT_EQ(a.folder, box.Path());
    const StartRecord b = ReadStartRecord(box, "bare.exe");
    EXPECT_EQ(b.arguments, "c");
    EXPECT_EQ(b.folder, box.Path());
    const StartRecord c = ReadStartRecord(box, "sub\\third.exe");
    EXPECT_EQ(c.arguments, "d");
    EXPECT_EQ(c.folder, box.Path("sub"));
    const StartRecord d = ReadStartRecord(box, "sub\\fourth.exe");
    EXPECT_TRUE(d.exists);
    EXPECT_EQ(d.arguments, "");
    EXPECT_EQ(d.folder, box.Path("sub"));
}

TEST(Launch, DoubleByteNameKeepsItsFolderWhole) {
    Sandbox box("launch_dbcs");
    box.MakeFolder("表");
    // The trail byte of 表 is a backslash: the folder is cut at the real
    // separator, not inside the file name.
    const std::string exe = Install(box, "helper_marker", "表\\表.exe");
    box.WriteScript("[UPDATER]\nNAME=\nPROC=RUN\n" + Launch("RUN", exe, "表", "1"));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_TRUE(run.boxes.empty());
    const StartRecord record = ReadStartRecord(box, "表\\表.exe");
    EXPECT_EQ(record.arguments, "表");
    EXPECT_EQ(record.folder, box.Path("表"));
}

TEST(Launch, FailingItemStopsTheRun) {
    Sandbox box("launch_second_fails");
    const std::string first = Install(box, "helper_marker", "first.exe");
    const std::string third = Install(box, "helper_marker", "third.exe");
    const std::string missing = box.Path("表示なし.exe");
    box.WriteScript("[UPDATER]\nNAME=\nPROC=RUN,AFTER\n" +
                    Launch("RUN", first + ", " + missing + " ,  " + third, "p1, p2  x ,p3", "1") +
                    Copy("AFTER", first + ".txt", box.Path("after.txt")));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, ExpectedMessage(kMsgLaunchFailed, {missing, "p2  x"}));
    EXPECT_EQ(run.boxes[0].flags, kErrorBoxFlags);
    EXPECT_EQ(run.boxes[0].caption, kExpectedDefaultCaption);
    // The first stays launched; the third and the next procedure never run.
    EXPECT_TRUE(box.Exists("first.exe.txt"));
    EXPECT_FALSE(box.Exists("third.exe.txt"));
    EXPECT_FALSE(box.Exists("after.txt"));
}

TEST(Launch, MissingProgramWithoutFolderAndNoParameters) {
    Sandbox box("launch_missing");
    box.WriteScript("[UPDATER]\nNAME=起動\nPROC=RUN\n" + Launch("RUN", "nothere.exe", "", "0"));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, ExpectedMessage(kMsgLaunchFailed, {"nothere.exe", ""}));
    EXPECT_EQ(run.boxes[0].caption, "起動");
}

TEST(Launch, KeysAreCheckedBeforeAnythingStarts) {
    Sandbox box("launch_keys");
    const std::string marker = Install(box, "helper_marker", "marker.exe");
    // A missing ISWAIT abandons the whole list: the LAUNCH before it never runs.
    box.WriteScript("[UPDATER]\nNAME=\nPROC=FIRST,BAD\n" + Launch("FIRST", marker, "", "1") +
                    Section("BAD", "MODE=launch\nFILE=" + marker + "\nPARAM=\n"));
    SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run),
              std::vector<std::string>({ExpectedMessage(kMsgBadFormat, {"BAD", "ISWAIT"})}));
    EXPECT_FALSE(box.Exists("marker.exe.txt"));

    box.WriteScript("[UPDATER]\nNAME=\nPROC=EMPTY,NEXT\n" + Launch("EMPTY", "", "x", "1") +
                    Launch("NEXT", marker, "", "1"));
    run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run),
              std::vector<std::string>({ExpectedMessage(kMsgBadItemCount, {"EMPTY", "FILE"})}));
    EXPECT_FALSE(box.Exists("marker.exe.txt"));
}

}  // namespace
