// APPEXIST and WAITAPP seen from outside: the test starts helper_sleeper
// copies itself, runs the real updater.exe on a script that looks for them,
// and reads the result flags through information boxes shown only when a
// flag is set.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "helper_programs.h"
#include "sandbox.h"

namespace {

using helpers::Install;
using helpers::RunningHelper;

std::string AppExist(const std::string& name, const std::string& apps) {
    return Section(name, "MODE=APPEXIST\nAPP=" + apps + "\n");
}

std::string WaitApp(const std::string& name, const std::string& apps, const std::string& ticks) {
    return Section(name, "MODE=WAITAPP\nAPP=" + apps + "\nTICK=" + ticks + "\n");
}

// An information box with the text "<flag_of> set", shown only when that
// procedure's flag is set.
std::string ShowIfSet(const std::string& name, const std::string& flag_of) {
    return Section(name, "MODE=MSGBOX\nFLAG=" + flag_of + ",1\nTYPE=INFORMATION\nTEXT=" + flag_of +
                             " set\nISABORT=\n");
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
    return text;
}

struct TimedRun {
    SpyResult run;
    DWORD elapsed_ms;
};

TimedRun RunTimed(const Sandbox& box, unsigned long timeout_ms = kHangCeilingMs) {
    const DWORD start = GetTickCount();
    SpyResult run = box.Run("", {}, timeout_ms);
    return {run, GetTickCount() - start};
}

TEST(AppExist, FindsRunningProgramsByFullPathOnly) {
    Sandbox box("appexist_flags");
    const std::string one = Install(box, "helper_sleeper", "one.exe");
    const std::string two = Install(box, "helper_sleeper", "two.exe");
    RunningHelper first(one), second(two);
    ASSERT_TRUE(first.Started() && second.Started());
    const std::string absent = box.Path("absent.exe");

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"FULL", one},
        {"UPPER", Upper(one)},
        // A process the updater can open is compared by its full path.
        {"BARE", "one.exe"},
        // The updater never finds itself.
        {"SELF", box.Path("updater.exe")},
        // Every item must run; spaces around items do not count.
        {"SECOND", absent + "," + one},
        {"BOTH", "  " + one + " ,  " + two},
    };
    std::string proc, sections;
    for (const auto& c : cases) {
        proc += (proc.empty() ? "" : ",") + c.first + "," + c.first + "_BOX";
        sections += AppExist(c.first, c.second) + ShowIfSet(c.first + "_BOX", c.first);
    }
    box.WriteScript("[UPDATER]\nNAME=\nPROC=" + proc + "\n" + sections);
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run), std::vector<std::string>({"FULL set", "UPPER set", "BOTH set"}));
}

TEST(AppExistAndWaitApp, EmptyAppIsReported) {
    Sandbox box("appexist_empty");
    box.WriteScript("[UPDATER]\nNAME=\nPROC=CHECK,NEVER\n" + AppExist("CHECK", "") +
                    ShowIfSet("NEVER", "CHECK"));
    SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run),
              std::vector<std::string>({ExpectedMessage(kMsgBadItemCount, {"CHECK", "APP"})}));

    box.WriteScript("[UPDATER]\nNAME=\nPROC=WAIT,NEVER\n" + WaitApp("WAIT", "", "100") +
                    ShowIfSet("NEVER", "WAIT"));
    run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run),
              std::vector<std::string>({ExpectedMessage(kMsgBadItemCount, {"WAIT", "APP"})}));
}

void ExpectWaitUntilEnd(const std::string& rights) {
    Sandbox box("waitapp_end");
    const std::string exe = Install(box, "helper_sleeper", "short.exe");
    RunningHelper helper(exe, "1000", rights);
    ASSERT_TRUE(helper.Started());
    // The box after APPEXIST shows that it still ran when WAITAPP began; the
    // copy of the file it writes when it ends shows that WAITAPP waited.
    box.WriteScript(
        "[UPDATER]\nNAME=\nPROC=RUNS,SAY,WAIT,CHECK,DONE\n" + AppExist("RUNS", exe) +
        ShowIfSet("SAY", "RUNS") + WaitApp("WAIT", exe, "-1") +
        Section("CHECK", "MODE=COPY\nFROM=" + exe + ".ended\nTO=" + box.Path("ended") + "\n") +
        ShowIfSet("DONE", "WAIT"));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run), std::vector<std::string>({"RUNS set", "WAIT set"}));
    EXPECT_TRUE(box.Exists("ended"));
    EXPECT_FALSE(helper.StillRunning());
}

// Also for a program that grants no more than waiting for it and the limited
// query of its path, as a program of another user does.
TEST(WaitApp, WaitsWithoutLimitUntilTheProgramEnds) {
    for (const std::string rights : {"", "D:(A;;0x101000;;;WD)"}) {
        SCOPED_TRACE(rights);
        ExpectWaitUntilEnd(rights);
    }
}

TEST(WaitApp, GoesOnSilentlyWhenTheTimeIsUp) {
    Sandbox box("waitapp_timeout");
    const std::string exe = Install(box, "helper_sleeper", "endless.exe");
    RunningHelper helper(exe);
    ASSERT_TRUE(helper.Started());
    box.WriteScript("[UPDATER]\nNAME=\nPROC=WAIT,STILL,SAY,DONE\n" + WaitApp("WAIT", exe, " 400 ") +
                    AppExist("STILL", exe) + ShowIfSet("SAY", "STILL") + ShowIfSet("DONE", "WAIT"));
    const TimedRun timed = RunTimed(box);
    ExpectCleanEnd(timed.run);
    EXPECT_EQ(BoxTexts(timed.run), std::vector<std::string>({"STILL set", "WAIT set"}));
    EXPECT_GE(timed.elapsed_ms, 400u);
    EXPECT_TRUE(helper.StillRunning());
}

TEST(WaitApp, MissingEmptyOrUnreadableLimitsMeanNoWait) {
    Sandbox box("waitapp_nolimit");
    const std::string a = Install(box, "helper_sleeper", "a.exe");
    const std::string b = Install(box, "helper_sleeper", "b.exe");
    const std::string c = Install(box, "helper_sleeper", "c.exe");
    RunningHelper run_a(a), run_b(b), run_c(c);
    ASSERT_TRUE(run_a.Started() && run_b.Started() && run_c.Started());
    // The long limit belongs to a program that is not running; a, b and c get
    // a limit that is not a number, an empty one and none: 0 each. A wrong
    // limit would keep the run waiting past the spy's time limit.
    box.WriteScript(
        "[UPDATER]\nNAME=\nPROC=WAIT,DONE\n" +
        WaitApp("WAIT", box.Path("absent.exe") + "," + a + "," + b + "," + c, "600000, abc,") +
        ShowIfSet("DONE", "WAIT"));
    const TimedRun timed = RunTimed(box);
    ExpectCleanEnd(timed.run);
    EXPECT_EQ(BoxTexts(timed.run), std::vector<std::string>({"WAIT set"}));
    EXPECT_TRUE(run_a.StillRunning() && run_b.StillRunning() && run_c.StillRunning());
}

TEST(WaitApp, MissingTickKeyAbandonsTheList) {
    Sandbox box("waitapp_notick");
    box.WriteScript(
        "[UPDATER]\nNAME=\nPROC=FIRST,WAIT\n" +
        Section("FIRST", "MODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=never\nISABORT=\n") +
        Section("WAIT", "MODE=WaitApp\nAPP=x.exe\n"));
    const SpyResult run = box.Run();
    ExpectCleanEnd(run);
    EXPECT_EQ(BoxTexts(run),
              std::vector<std::string>({ExpectedMessage(kMsgBadFormat, {"WAIT", "TICK"})}));
}

}  // namespace
