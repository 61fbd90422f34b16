// Start-up, the message catalogue, the script reader and the symbols, seen
// from outside: the real updater.exe runs on scripts in a sandbox and the
// test checks the boxes it shows.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "sandbox.h"

namespace {

const std::string kProbeSection = "[P]\nMODE=PROBE\n";

// A script whose only procedure has an unknown kind: the run shows exactly one
// box, message 6, captioned with the expanded NAME value.
std::string ProbeScript(const std::string& name, const std::string& define = "") {
    return "[UPDATER]\nNAME=" + name + "\nPROC=P\n" + kProbeSection +
           (define.empty() ? "" : "[DEFINE]\n" + define);
}

// The caption of the single box a probe run shows.
std::string ProbeCaption(const Sandbox& box, const std::string& arguments = "") {
    const SpyResult run = box.Run(arguments);
    EXPECT_TRUE(run.started) << run.problem;
    EXPECT_EQ(run.boxes.size(), 1u);
    if (run.boxes.size() != 1)
        return "<no single box>";
    EXPECT_EQ(run.boxes[0].text, ExpectedMessage(kMsgBadSymbol, {"PROBE"}));
    return run.boxes[0].caption;
}

void ExpectSingleError(const SpyResult& run, const std::string& text, const std::string& caption) {
    ASSERT_TRUE(run.started) << run.problem;
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, text);
    EXPECT_EQ(run.boxes[0].caption, caption);
    EXPECT_EQ(run.boxes[0].flags, kErrorBoxFlags);
    EXPECT_EQ(run.boxes[0].owner, 0u);
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

TEST(StartUp, MissingScriptIsReportedOnceWithTheDefaultCaption) {
    Sandbox box("startup_missing");
    ExpectSingleError(box.Run(), ExpectedMessage(kMsgFileNotFound, {box.Path("updater.ini")}),
                      kExpectedDefaultCaption);
}

TEST(StartUp, ScriptOptionIsAlwaysRelativeToTheProgramFolder) {
    Sandbox box("startup_option_i");
    ExpectSingleError(box.Run("/isub\\run.ini /tOther"),
                      ExpectedMessage(kMsgFileNotFound, {box.Path("sub\\run.ini")}), "Other");
    ExpectSingleError(box.Run("/iD:\\x.ini"),
                      ExpectedMessage(kMsgFileNotFound, {box.Path("D:\\x.ini")}),
                      kExpectedDefaultCaption);
    // A double-byte name whose trail byte is a backslash stays whole.
    ExpectSingleError(box.Run("/i表\\run.ini"),
                      ExpectedMessage(kMsgFileNotFound, {box.Path("表\\run.ini")}),
                      kExpectedDefaultCaption);
}

TEST(StartUp, CaptionOptionForms) {
    Sandbox box("startup_option_t");
    const std::string missing = ExpectedMessage(kMsgFileNotFound, {box.Path("updater.ini")});
    ExpectSingleError(box.Run("-tTitle"), missing, "Title");
    ExpectSingleError(box.Run("/t\"Two words\" x"), missing, "Two words");
    ExpectSingleError(box.Run("x /t"), missing, kExpectedDefaultCaption);
    // A space behind the letter gives the empty caption.
    ExpectSingleError(box.Run("/t Title"), missing, "");
    // The marker is found anywhere, also inside another option's value.
    ExpectSingleError(box.Run("/iscripts/test.ini"),
                      ExpectedMessage(kMsgFileNotFound, {box.Path("scripts/test.ini")}), "est.ini");
    // Case matters: /T is not the caption option.
    ExpectSingleError(box.Run("/TTitle"), missing, kExpectedDefaultCaption);
}

TEST(StartUp, ScriptNameCaptionWinsAfterStartUp) {
    Sandbox box("startup_caption");
    box.WriteScript(ProbeScript("Setup"));
    EXPECT_EQ(ProbeCaption(box, "/tOther"), "Setup");
    box.WriteScript(ProbeScript(""));
    EXPECT_EQ(ProbeCaption(box, "/tOther"), "Other");
    EXPECT_EQ(ProbeCaption(box), kExpectedDefaultCaption);
}

TEST(StartUp, ScriptFileNamedAfterTheProgram) {
    Sandbox box("startup_name");
    CopyFileA(box.Path("updater.exe").c_str(), box.Path("upd.new.exe").c_str(), FALSE);
    box.WriteScript(ProbeScript("NewName"), "upd.new.ini");
    const SpyResult run = box.RunProgram("upd.new.exe", box.Path());
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "NewName");
}

TEST(ScriptReader, MissingUpdaterKeysAreFormatErrors) {
    Sandbox box("reader_updater_keys");
    box.WriteScript("[UPDATER]\nPROC=P\n" + kProbeSection);
    ExpectSingleError(box.Run("/tT"), ExpectedMessage(kMsgBadFormat, {"UPDATER", "NAME"}), "T");
    box.WriteScript("[UPDATER]\nNAME=N\n" + kProbeSection);
    ExpectSingleError(box.Run("/tT"), ExpectedMessage(kMsgBadFormat, {"UPDATER", "PROC"}), "T");
    // "NO_DATA" in any letter case counts as missing.
    box.WriteScript("[UPDATER]\nNAME=no_Data\nPROC=P\n" + kProbeSection);
    ExpectSingleError(box.Run("/tT"), ExpectedMessage(kMsgBadFormat, {"UPDATER", "NAME"}), "T");
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=\n");
    ExpectSingleError(box.Run(), ExpectedMessage(kMsgBadItemCount, {"UPDATER", "PROC"}), "N");
}

TEST(ScriptReader, LongValuesAreCutAndMessagesStayInTheirWorkArea) {
    Sandbox box("reader_long");
    const std::string long_name(40000, 'n');
    box.WriteScript(ProbeScript(long_name));
    EXPECT_EQ(ProbeCaption(box), std::string(32766, 'n'));

    // A message carrying a very long value is cut at 1023 bytes.
    const std::string source = "C:\\" + std::string(3000, 's');
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=C\n[C]\nMODE=COPY\nFROM=" + source + "\nTO=C:\\t\n");
    const SpyResult run = box.Run();
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text,
              ExpectedMessage(kMsgCopyFailed, {source, "C:\\t"}).substr(0, 1023));

    // A cut never leaves half a double-byte character behind.
    std::string japanese;
    while (japanese.size() < 3000) japanese += "表";
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=C\n[C]\nMODE=COPY\nFROM=C:\\" + japanese +
                    "\nTO=C:\\t\n");
    const SpyResult cut = box.Run();
    ASSERT_EQ(cut.boxes.size(), 1u);
    const std::string full = ExpectedMessage(kMsgCopyFailed, {"C:\\" + japanese, "C:\\t"});
    const std::string& shown = cut.boxes[0].text;
    EXPECT_GE(shown.size(), 1022u);
    EXPECT_LE(shown.size(), 1023u);
    EXPECT_EQ(shown, full.substr(0, shown.size()));
    for (size_t p = 0; p < shown.size(); ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(shown[p]))) {
            ASSERT_LT(p + 1, shown.size()) << "the cut left a lone lead byte";
            ++p;
        }
    }
}

TEST(Engine, ProcedureListsAreBuiltBeforeAnythingRuns) {
    Sandbox box("engine_build");
    box.WriteFile("a.txt", "A");
    // The second procedure lacks a key: nothing runs, not even the first copy.
    box.WriteScript(
        "[UPDATER]\nNAME=N\nPROC=C1, C2\n[C1]\nMODE=COPY\nFROM=<Src>\\a.txt\n"
        "TO=<Src>\\b.txt\n[C2]\nMODE=COPY\nFROM=<Src>\\a.txt\n");
    ExpectSingleError(box.Run(), ExpectedMessage(kMsgBadFormat, {"C2", "TO"}), "N");
    EXPECT_FALSE(box.Exists("b.txt"));

    // An empty item is the empty section name; B is never built.
    box.WriteScript(
        "[UPDATER]\nNAME=N\nPROC=C1,,B\n[C1]\nMODE=COPY\nFROM=x\nTO=y\n[B]\nMODE=COPY\n");
    ExpectSingleError(box.Run(), ExpectedMessage(kMsgBadFormat, {"", "MODE"}), "N");

    // A kind name in any case; an unknown one is shown as written.
    box.WriteScript(
        "[UPDATER]\nNAME=N\nPROC= C1 ,C2\n[C1]\nMODE=copy\nFROM=<Src>\\a.txt\n"
        "TO=<Src>\\b.txt\n[C2]\nMODE=CopyX\n");
    ExpectSingleError(box.Run(), ExpectedMessage(kMsgBadSymbol, {"CopyX"}), "N");
    EXPECT_FALSE(box.Exists("b.txt"));
}

TEST(Engine, TheRunStopsAtTheFirstFailingProcedure) {
    Sandbox box("engine_stop");
    box.WriteFile("a.txt", "A");
    box.WriteScript(
        "[UPDATER]\nNAME=N\nPROC=C1,C2,C3\n"
        "[C1]\nMODE=COPY\nFROM=<Src>\\a.txt\nTO=<Src>\\one.txt\n"
        "[C2]\nMODE=COPY\nFROM=<Src>\\none.txt\nTO=<Src>\\two.txt\n"
        "[C3]\nMODE=COPY\nFROM=<Src>\\a.txt\nTO=<Src>\\three.txt\n");
    ExpectSingleError(box.Run(),
                      ExpectedMessage(kMsgCopyFailed, {box.Path("none.txt"), box.Path("two.txt")}),
                      "N");
    EXPECT_EQ(box.ReadFile("one.txt"), "A");
    EXPECT_FALSE(box.Exists("three.txt"));
}

TEST(Symbols, BuiltInFolders) {
    Sandbox box("symbols_builtin");
    box.WriteScript(ProbeScript("<Src>"));
    EXPECT_EQ(ProbeCaption(box), box.Path());
    box.WriteScript(ProbeScript("<win>|<Sys>"));
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(ProbeCaption(box), WindowsFolder() + "|" + system);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string temp_folder = temp;
    temp_folder.pop_back();  // the trailing backslash
    box.WriteScript(ProbeScript("<Temp>\\x"));
    EXPECT_EQ(ProbeCaption(box), temp_folder + "\\x");
    // The all-users folders on the NT platform.
    char desktop[MAX_PATH] = {}, programs[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_COMMON_DESKTOPDIRECTORY, FALSE);
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    box.WriteScript(ProbeScript("<Desktop>|<Programs>"));
    EXPECT_EQ(ProbeCaption(box), std::string(desktop) + "|" + programs);
    // Not a symbol: a blank before the bracket, or no entry at all.
    box.WriteScript(ProbeScript("<Win >\\<Nosuch>\\x"));
    EXPECT_EQ(ProbeCaption(box), "<Win >\\<Nosuch>\\x");
    // A ">" before any "<" hides the groups behind it.
    box.WriteScript(ProbeScript("a>b<Win>"));
    EXPECT_EQ(ProbeCaption(box), "a>b<Win>");
}

TEST(Symbols, DefinitionsAreExpandedInTableOrder) {
    Sandbox box("symbols_define");
    box.WriteScript(ProbeScript("<App>\\run.exe", "<App>=<Src>\\bin\n"));
    EXPECT_EQ(ProbeCaption(box), box.Path("bin\\run.exe"));
    // Built-ins cannot be overridden.
    box.WriteScript(ProbeScript("<Win>", "<Win>=D:\\Other\n"));
    EXPECT_EQ(ProbeCaption(box), WindowsFolder());
    // An entry that uses a later one gets that entry's raw value.
    box.WriteScript(ProbeScript("<A>", "<A>=<B>\\x\n<B>=<Win>\\y\n"));
    EXPECT_EQ(ProbeCaption(box), "<Win>\\y\\x");
    // Comment lines are not entries; a value ends at a second "=".
    box.WriteScript(ProbeScript("<K>|<C>|<D>", "<K>=a=b\n;<C>=2\n<D>=4\n"));
    EXPECT_EQ(ProbeCaption(box), "a|<C>|4");
}

TEST(Symbols, ParentFolderSteps) {
    Sandbox box("symbols_parent");
    const struct {
        const char* value;
        const char* expanded;
    } cases[] = {
        {"C:\\app\\bin\\..\\data", "C:\\app\\data"},
        {"C:\\x\\y\\..\\..\\z", "C:\\z"},
        {"C:\\..\\b", "C:\\..\\b"},
        {"a\\..", "a\\.."},
        {"C:\\a\\..\\b\\..\\c", "C:\\b\\..\\c"},
        {"C:\\A\\..\\B", "C:\\B"},
    };
    for (const auto& c : cases) {
        box.WriteScript(ProbeScript(c.value));
        EXPECT_EQ(ProbeCaption(box), c.expanded) << c.value;
    }
}

TEST(Symbols, CommandLineWords) {
    Sandbox box("symbols_param");
    box.WriteScript(
        ProbeScript("[{?Param\\1}][{?Param\\1\\2}][{?Param\\-1}][{?Param\\5}][{?Param\\2\\1}]"));
    EXPECT_EQ(ProbeCaption(box, "/tX a b"), "[a][a, b][b][][]");
    box.WriteScript(ProbeScript("{?Param\\1}"));
    EXPECT_EQ(ProbeCaption(box, "x \"two words\" y"), "two words");
}

// An App Paths key of the test prefix, removed again at the end.
class AppPathsKey {
public:
    explicit AppPathsKey(const std::string& name)
        : path_("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key_,
                        nullptr);
    }
    ~AppPathsKey() {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    void Set(const char* value_name, const std::string& value) {
        RegSetValueExA(key_, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }

private:
    std::string path_;
    HKEY key_ = nullptr;
};

TEST(Symbols, RegistryAndShellFolderFunctions) {
    Sandbox box("symbols_functions");
    AppPathsKey key("updtest.exe");
    key.Set("", "D:\\Apps\\updtest.exe");
    key.Set("Path", "D:\\Apps\\\\;;");
    box.WriteScript(ProbeScript("{?App\\UPDTEST.EXE}|{?AppPath\\updtest.exe}|{?App\\nosuch.exe}"));
    // Trailing backslashes go first, then trailing semicolons.
    EXPECT_EQ(ProbeCaption(box), "D:\\Apps\\updtest.exe|D:\\Apps\\\\|{?App\\nosuch.exe}");

    char folder[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, folder, 0x1a, FALSE);  // CSIDL_APPDATA
    box.WriteScript(ProbeScript("{?SpFolder\\1a}|{?spfolder\\1A}\\x|{?Nosuch\\1}"));
    EXPECT_EQ(ProbeCaption(box), std::string(folder) + "|" + folder + "\\x|{?Nosuch\\1}");
    // A trail byte 0x5C at the end is part of the folder's name, not a separator.
    key.Set("Path", "D:\\表\\");
    box.WriteScript(ProbeScript("{?AppPath\\updtest.exe}|"));
    EXPECT_EQ(ProbeCaption(box), "D:\\表|");
    // A symbol inside a function's argument is expanded first.
    box.WriteScript(ProbeScript("{?App\\<Exe>}", "<Exe>=updtest.exe\n"));
    EXPECT_EQ(ProbeCaption(box), "D:\\Apps\\updtest.exe");
}

TEST(MessageCatalogue, EntriesAreJapaneseAndExact) {
    HMODULE module =
        LoadLibraryExA(ShippedUpdaterPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (int id = 1; id <= 18; ++id) {
        // Strings live in blocks of sixteen; block id/16 + 1 holds entry id.
        HRSRC block = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1),
                                      MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        EXPECT_NE(block, nullptr) << id;
        char text[256] = {};
        const int length = LoadStringA(module, static_cast<UINT>(id), text, sizeof text);
        if (id == 7) {
            EXPECT_EQ(length, 0);
            continue;
        }
        EXPECT_LT(length, 255) << id;
        // Formatting the entry with "%s" texts gives the expected message.
        char formatted[1024];
        if (id == 12) {
            snprintf(formatted, sizeof formatted, text, "F", 33u);
            EXPECT_EQ(std::string(formatted), ExpectedMessage(kMsgAttributesFailed, {"F", "33"}));
        } else {
            snprintf(formatted, sizeof formatted, text, "A", "B");
            EXPECT_EQ(std::string(formatted), ExpectedMessage(id, {"A", "B"})) << id;
        }
    }
    FreeLibrary(module);
    EXPECT_NE(ExpectedMessage(kMsgAttributesFailed, {"F", "33"}).find("0x00000021"),
              std::string::npos);
}

}  // namespace
