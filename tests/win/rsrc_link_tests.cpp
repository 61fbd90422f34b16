// RSRC and LINK through the real updater.exe, checked by reading the target
// module's resources and the saved shortcuts back.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "procs/system/rsrc.h"
#include "rsrc/readback.h"
#include "sandbox.h"

namespace {

using readback::LanguagesOf;
using readback::Lower;
using readback::ReadShortcut;
using readback::ResourceBytes;
using readback::Shortcut;

const WORD kEnglish = 0x0409;
const WORD kJapanese = 0x0411;

// Copies a module built beside this program into the sandbox.
void Install(const Sandbox& box, const std::string& file, const std::string& relative) {
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + file).c_str(), box.Path(relative).c_str(), FALSE))
        << file;
}

// A script of one procedure, whose section holds keys.
std::string OneProcedure(const std::string& procedure, const std::string& keys) {
    return Script(procedure, "\n" + Section(procedure, keys), "Resource test");
}

std::string RsrcKeys(const std::string& from, const std::string& to, const std::string& type,
                     const std::string& name) {
    return "MODE=RSRC\nFROM=" + from + "\nTO=" + to + "\nTYPE=" + type + "\nNAME=" + name + "\n";
}

void ExpectNoBoxes(const SpyResult& result) {
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(0u, result.exit_code);
    for (const ShownBox& box : result.boxes) ADD_FAILURE() << "unexpected box: " << box.text;
}

void ExpectOneError(const SpyResult& result, const std::string& text) {
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_EQ(0u, result.exit_code);
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(text, result.boxes[0].text);
    EXPECT_EQ("Resource test", result.boxes[0].caption);
    EXPECT_EQ(kErrorBoxFlags, result.boxes[0].flags);
}

// A sandbox with the newer module as source.exe and the older one as target.exe.
struct ResourceBox {
    explicit ResourceBox(const std::string& name) : box("rsrc_" + name) {
        Install(box, "rsrc_source.exe", "source.exe");
        Install(box, "rsrc_target.exe", "target.exe");
        target_before = box.ReadFile("target.exe");
    }
    std::string Source() const { return box.Path("source.exe"); }
    std::string Target() const { return box.Path("target.exe"); }
    void ExpectTargetUnchanged() const {
        EXPECT_TRUE(box.ReadFile("target.exe") == target_before) << "target.exe was changed";
    }

    Sandbox box;
    std::string target_before;
};

// --- RSRC ---------------------------------------------------------------------------------

TEST(Rsrc, CopiesIconGroupIconAndVersionInOneCommit) {
    ResourceBox r("three_types");
    const auto old_strings = ResourceBytes(r.Target(), "#6", "#1", kJapanese);
    r.box.WriteScript(OneProcedure("NewLook", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe",
                                                       " #14 , #3,#16", "#1, #1 ,#1")));
    ExpectNoBoxes(r.box.Run());

    for (const char* type : {"#14", "#3", "#16"}) {
        const auto copied = ResourceBytes(r.Target(), type, "#1", kEnglish);
        ASSERT_TRUE(copied.has_value()) << type;
        EXPECT_EQ(ResourceBytes(r.Source(), type, "#1", kEnglish), copied) << type;
        // Replaced in its language, not added beside the old one.
        EXPECT_EQ(std::vector<WORD>{kEnglish}, LanguagesOf(r.Target(), type, "#1")) << type;
    }
    // What the script did not name is kept as it was.
    EXPECT_EQ(std::string("keep me\0", 8), ResourceBytes(r.Target(), "#10", "#7", kJapanese));
    EXPECT_EQ(old_strings, ResourceBytes(r.Target(), "#6", "#1", kJapanese));
}

TEST(Rsrc, CopiesNamedTypesAndNames) {
    ResourceBox r("named");
    r.box.WriteScript(OneProcedure(
        "Settings", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe", "SETTINGS", "CONFIG")));
    ExpectNoBoxes(r.box.Run());
    EXPECT_EQ(std::string("colour=red\0", 11),
              ResourceBytes(r.Target(), "SETTINGS", "CONFIG", kEnglish));
}

// The source holds string block 1 in English and in Japanese; the enumeration
// lists English first. Only that language is written, with its own bytes,
// although under a Japanese system the default lookup would give the other.
TEST(Rsrc, WritesOnlyTheFirstLanguageWithItsOwnBytes) {
    ResourceBox r("languages");
    const auto old_japanese = ResourceBytes(r.Target(), "#6", "#1", kJapanese);
    ASSERT_TRUE(old_japanese.has_value());
    ASSERT_EQ((std::vector<WORD>{kEnglish, kJapanese}), LanguagesOf(r.Source(), "#6", "#1"));
    r.box.WriteScript(
        OneProcedure("Strings", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe", "#6", "#1")));
    ExpectNoBoxes(r.box.Run());

    EXPECT_EQ((std::vector<WORD>{kEnglish, kJapanese}), LanguagesOf(r.Target(), "#6", "#1"));
    EXPECT_EQ(ResourceBytes(r.Source(), "#6", "#1", kEnglish),
              ResourceBytes(r.Target(), "#6", "#1", kEnglish));
    EXPECT_EQ(old_japanese, ResourceBytes(r.Target(), "#6", "#1", kJapanese));
}

// #10/7 is only in the target, and the third type has no name item: both are
// passed over without touching the target's own resources, and the resource
// between them is still written. (Wine keeps a resource that an update gives
// no data, so only Windows would show a removal here.)
TEST(Rsrc, PassesOverResourcesTheSourceDoesNotHold) {
    ResourceBox r("missing_item");
    const auto old_icon_group = ResourceBytes(r.Target(), "#14", "#1", kEnglish);
    r.box.WriteScript(OneProcedure(
        "Partly", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe", "#10,#16,#14", "#7,#1")));
    ExpectNoBoxes(r.box.Run());

    EXPECT_EQ(std::string("keep me\0", 8), ResourceBytes(r.Target(), "#10", "#7", kJapanese));
    EXPECT_EQ(std::vector<WORD>{kJapanese}, LanguagesOf(r.Target(), "#10", "#7"));
    EXPECT_EQ(ResourceBytes(r.Source(), "#16", "#1", kEnglish),
              ResourceBytes(r.Target(), "#16", "#1", kEnglish));
    EXPECT_EQ(old_icon_group, ResourceBytes(r.Target(), "#14", "#1", kEnglish));
}

TEST(Rsrc, MissingSourceIsReportedWithMessage1AndTheSource) {
    ResourceBox r("no_source");
    r.box.MakeFolder("表示");  // 表 ends in a 0x5C byte
    r.box.WriteScript(OneProcedure(
        "NewLook", RsrcKeys("<Src>\\表示\\new.exe", "<Src>\\target.exe", "#16", "#1")));
    ExpectOneError(r.box.Run(), ExpectedMessage(kMsgFileNotFound, {r.box.Path("表示\\new.exe")}));
    r.ExpectTargetUnchanged();
}

TEST(Rsrc, TargetThatCannotBeOpenedIsReportedWithMessage1AndTheTarget) {
    ResourceBox r("no_target");
    r.box.WriteFile("readme.txt", "not a module");
    r.box.WriteScript(
        OneProcedure("Missing", RsrcKeys("<Src>\\source.exe", "<Src>\\old.exe", "#16", "#1")));
    ExpectOneError(r.box.Run(), ExpectedMessage(kMsgFileNotFound, {r.box.Path("old.exe")}));
    EXPECT_FALSE(r.box.Exists("old.exe"));

    r.box.WriteScript(
        OneProcedure("Text", RsrcKeys("<Src>\\source.exe", "<Src>\\readme.txt", "#16", "#1")));
    ExpectOneError(r.box.Run(), ExpectedMessage(kMsgFileNotFound, {r.box.Path("readme.txt")}));
    EXPECT_EQ("not a module", r.box.ReadFile("readme.txt"));
}

TEST(Rsrc, TargetInUseIsReportedWithMessage1AndLeftAlone) {
    ResourceBox r("in_use");
    r.box.WriteScript(
        OneProcedure("NewLook", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe", "#16", "#1")));
    HANDLE held = CreateFileA(r.Target().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const SpyResult result = r.box.Run();
    CloseHandle(held);
    ExpectOneError(result, ExpectedMessage(kMsgFileNotFound, {r.Target()}));
    r.ExpectTargetUnchanged();
}

// With no usable temporary folder the system cannot write the changes: the
// failed commit is reported, not taken for success, and nothing is written.
TEST(Rsrc, FailedCommitIsReportedWithMessage16) {
    ResourceBox r("commit_fails");
    r.box.WriteScript(OneProcedure(
        "NewLook", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe", "#14,#3,#16", "#1,#1,#1")));
    char tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
    const std::string nowhere = r.box.Path("no such folder");
    SetEnvironmentVariableA("TMP", nowhere.c_str());
    SetEnvironmentVariableA("TEMP", nowhere.c_str());
    const SpyResult result = r.box.Run();
    SetEnvironmentVariableA("TMP", tmp[0] != '\0' ? tmp : nullptr);
    SetEnvironmentVariableA("TEMP", temp[0] != '\0' ? temp : nullptr);

    ExpectOneError(result, ExpectedMessage(kMsgResourceFailed, {r.Source(), r.Target()}));
    r.ExpectTargetUnchanged();
}

TEST(Rsrc, EmptyTypeIsReportedWithMessage4) {
    ResourceBox r("empty_type");
    r.box.WriteScript(
        OneProcedure("NewLook", RsrcKeys("<Src>\\source.exe", "<Src>\\target.exe", "", "#1")));
    ExpectOneError(r.box.Run(), ExpectedMessage(kMsgBadItemCount, {"NewLook", "TYPE"}));
    r.ExpectTargetUnchanged();
}

// The source is read as data: the DLL's entry point never runs in the updater.
TEST(Rsrc, SourceModuleCodeNeverRuns) {
    ResourceBox r("marker");
    Install(r.box, "rsrc_marker.dll", "marker.dll");
    Install(r.box, "rsrc_marker.dll", "control.dll");
    r.box.WriteScript(
        OneProcedure("Strings", RsrcKeys("<Src>\\marker.dll", "<Src>\\target.exe", "#6", "#1")));
    ExpectNoBoxes(r.box.Run());
    EXPECT_EQ(ResourceBytes(r.box.Path("marker.dll"), "#6", "#1", kEnglish),
              ResourceBytes(r.Target(), "#6", "#1", kEnglish));
    EXPECT_FALSE(r.box.Exists("marker.dll.ran"));

    // The mark does appear when the DLL is really loaded.
    HMODULE loaded = LoadLibraryA(r.box.Path("control.dll").c_str());
    ASSERT_NE(nullptr, loaded);
    FreeLibrary(loaded);
    EXPECT_TRUE(r.box.Exists("control.dll.ran"));
}

// A module named like a system DLL that the updater has loaded itself: its
// own version record is written, not the system's.
TEST(Rsrc, ReadsTheFileFromNamesWhateverItIsCalled) {
    ResourceBox r("system_name");
    Install(r.box, "rsrc_source.exe", "version.dll");
    r.box.WriteScript(
        OneProcedure("Version", RsrcKeys("<Src>\\version.dll", "<Src>\\target.exe", "#16", "#1")));
    ExpectNoBoxes(r.box.Run());
    const auto record = ResourceBytes(r.Target(), "#16", "#1", kEnglish);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(ResourceBytes(r.Source(), "#16", "#1", kEnglish), record);
}

// A found resource that the update refuses stops the batch; one the source
// does not hold never reaches the update.
TEST(RsrcUnit, AddResourcesStopsOnlyAtARefusedResource) {
    ModuleResources source;
    uint32_t error = 0;
    ASSERT_TRUE(source.Open((TestProgramFolder() + "rsrc_source.exe").c_str(), &error));
    HANDLE refusing = nullptr;  // every UpdateResourceA on it fails
    EXPECT_FALSE(AddResources(source, refusing, "#16", "#1", &error));
    EXPECT_FALSE(AddResources(source, refusing, "#10,#16", "#7,#1", &error));
    EXPECT_TRUE(AddResources(source, refusing, "#10, #16", "#7", &error));
    EXPECT_TRUE(AddResources(source, refusing, "#16", "1", &error));  // "1" names a text, not #1
    ModuleResources missing;
    EXPECT_FALSE(missing.Open((TestProgramFolder() + "no such.dll").c_str(), &error));
    EXPECT_EQ(error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

// The file's own bytes give what the system's loader gives for the same
// file; text and cut-off copies are refused or found wanting, never read
// beyond their end.
TEST(RsrcUnit, ModuleResourcesReadAsTheSystemDoes) {
    const std::string path = TestProgramFolder() + "rsrc_source.exe";
    ModuleResources module;
    uint32_t error = 0;
    ASSERT_TRUE(module.Open(path.c_str(), &error));
    const char* const cases[][2] = {
        {"#14", "#1"}, {"#3", "#1"},  {"#16", "#1"}, {"SETTINGS", "CONFIG"}, {"settings", "Config"},
        {"#6", "#1"},  {"#10", "#7"}, {"#16", "1"},  {"#16", "#70000"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c[0]) + " " + c[1]);
        WORD language = 0;
        const void* bytes = nullptr;
        DWORD size = 0;
        const std::vector<WORD> languages = LanguagesOf(path, c[0], c[1]);
        ASSERT_EQ(module.Find(c[0], c[1], &language, &bytes, &size), !languages.empty());
        if (languages.empty())
            continue;
        EXPECT_EQ(language, languages[0]);
        EXPECT_EQ(ResourceBytes(path, c[0], c[1], language),
                  std::string(static_cast<const char*>(bytes), size));
    }

    Sandbox box("rsrc_cut");
    const std::string whole = ReadWholeFile(path);
    box.WriteFile("text.exe", "MZ not a module");
    ModuleResources text;
    EXPECT_FALSE(text.Open(box.Path("text.exe").c_str(), &error));
    EXPECT_EQ(error, static_cast<uint32_t>(ERROR_BAD_EXE_FORMAT));
    for (size_t cut : {size_t{0}, size_t{64}, size_t{512}, whole.size() / 2, whole.size() - 1}) {
        box.WriteFile("cut.exe", whole.substr(0, cut));
        ModuleResources module_cut;
        WORD language = 0;
        const void* bytes = nullptr;
        DWORD size = 0;
        if (module_cut.Open(box.Path("cut.exe").c_str(), &error) &&
            module_cut.Find("#16", "#1", &language, &bytes, &size)) {
            EXPECT_EQ(ResourceBytes(path, "#16", "#1", language),
                      std::string(static_cast<const char*>(bytes), size))
                << cut;
        }
    }
}

// --- LINK ---------------------------------------------------------------------------------

std::string LinkKeys(const std::string& src, const std::string& param, const std::string& show,
                     const std::string& dst) {
    return "MODE=LINK\nSRC=" + src + "\nPARAM=" + param + "\nSHOWCMD=" + show + "\nDST=" + dst +
           "\n";
}

TEST(Link, SavesTargetArgumentsWorkingFolderAndShowCommand) {
    Sandbox box("link_one");
    box.MakeFolder("app");
    box.WriteFile("app\\tool.exe", "stand-in");
    box.WriteScript(OneProcedure(
        "Shortcut", LinkKeys(" <Src>\\app\\tool.exe ", " /x /y ", " 2 ", " <Src>\\links\\Tool ")));
    ExpectNoBoxes(box.Run());

    ASSERT_TRUE(box.Exists("links\\Tool.LNK"));
    const Shortcut shortcut = ReadShortcut(box.Path("links\\Tool.LNK"));
    ASSERT_TRUE(shortcut.loaded);
    EXPECT_EQ(Lower(box.Path("app\\tool.exe")), Lower(shortcut.path));
    EXPECT_EQ("/x /y", shortcut.arguments);
    EXPECT_EQ(Lower(box.Path("app")), Lower(shortcut.folder));
    EXPECT_EQ(SW_SHOWMINNOACTIVE, shortcut.show);
}

// Codes 1 and 3 are stored; 0, 4, text and a missing item leave the object's
// default (normal window) rather than passing the number on.
TEST(Link, ShowCodesArgumentsAndItemsMatchedByPosition) {
    Sandbox box("link_codes");
    box.WriteFile("tool.exe", "stand-in");
    box.WriteScript(
        OneProcedure("Shortcuts", LinkKeys("<Src>\\tool.exe,<Src>\\tool.exe,<Src>\\tool.exe,"
                                           "<Src>\\tool.exe,<Src>\\tool.exe,<Src>\\tool.exe",
                                           "/a,,/c", "1,3,0,4,max",
                                           "<Src>\\s1,<Src>\\s2,<Src>\\s3,<Src>\\s4,"
                                           "<Src>\\s5,<Src>\\s6")));
    ExpectNoBoxes(box.Run());

    const int shows[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWNORMAL,
                         SW_SHOWNORMAL, SW_SHOWNORMAL,    SW_SHOWNORMAL};
    const char* arguments[] = {"/a", "", "/c", "", "", ""};
    for (int i = 0; i < 6; ++i) {
        const Shortcut shortcut = ReadShortcut(box.Path("s" + std::to_string(i + 1) + ".LNK"));
        ASSERT_TRUE(shortcut.loaded) << i;
        EXPECT_EQ(shows[i], shortcut.show) << i;
        EXPECT_EQ(arguments[i], shortcut.arguments) << i;
    }
}

TEST(Link, ExtensionIsAlwaysAppendedAndFoldersAreMade) {
    Sandbox box("link_paths");
    box.WriteFile("tool.exe", "stand-in");
    box.WriteScript(OneProcedure("Shortcuts", LinkKeys("<Src>\\tool.exe,<Src>\\tool.exe", "", "",
                                                       "<Src>\\Tool.lnk,<Src>\\a\\b\\c\\Deep")));
    ExpectNoBoxes(box.Run());
    EXPECT_TRUE(box.Exists("Tool.lnk.LNK"));
    EXPECT_FALSE(box.Exists("Tool.lnk"));
    EXPECT_TRUE(ReadShortcut(box.Path("a\\b\\c\\Deep.LNK")).loaded);
}

TEST(Link, DoubleBytePathsAndTargetWithoutFolder) {
    Sandbox box("link_dbcs");
    box.MakeFolder("表示");
    box.WriteFile("表示\\ソフト.exe", "stand-in");
    box.WriteScript(OneProcedure("Shortcuts", LinkKeys("<Src>\\表示\\ソフト.exe,tool.exe", "", "",
                                                       "<Src>\\表\\ソフト,<Src>\\bare")));
    ExpectNoBoxes(box.Run());

    const Shortcut shortcut = ReadShortcut(box.Path("表\\ソフト.LNK"));
    ASSERT_TRUE(shortcut.loaded);
    EXPECT_EQ(Lower(box.Path("表示\\ソフト.exe")), Lower(shortcut.path));
    EXPECT_EQ(Lower(box.Path("表示")), Lower(shortcut.folder));
    const Shortcut bare = ReadShortcut(box.Path("bare.LNK"));
    ASSERT_TRUE(bare.loaded);
    EXPECT_EQ("", bare.folder);
}

// The second shortcut's folder part is a file, so it cannot be saved.
TEST(Link, SecondOfThreeFailingStopsTheRunWithMessage15) {
    Sandbox box("link_second");
    box.WriteFile("tool.exe", "stand-in");
    box.WriteFile("blocker.txt", "a file, not a folder");
    box.WriteScript(OneProcedure(
        "Shortcuts", LinkKeys("<Src>\\tool.exe, <Src>\\other.exe ,<Src>\\tool.exe", "", "",
                              "<Src>\\one, <Src>\\blocker.txt\\two ,<Src>\\three")));
    const SpyResult result = box.Run();
    ASSERT_TRUE(result.started) << result.problem;
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(
        ExpectedMessage(kMsgLinkFailed, {box.Path("other.exe"), box.Path("blocker.txt\\two")}),
        result.boxes[0].text);
    EXPECT_EQ(kErrorBoxFlags, result.boxes[0].flags);
    EXPECT_TRUE(box.Exists("one.LNK"));
    EXPECT_FALSE(box.Exists("three.LNK"));
    EXPECT_EQ("a file, not a folder", box.ReadFile("blocker.txt"));
}

TEST(Link, EmptySrcIsReportedWithMessage4AndTheKind) {
    Sandbox box("link_empty");
    box.WriteScript(OneProcedure("Shortcuts", LinkKeys("", "/a", "1", "<Src>\\one")));
    const SpyResult result = box.Run();
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(ExpectedMessage(kMsgBadItemCount, {"Shortcuts", "LINK"}), result.boxes[0].text);
    EXPECT_FALSE(box.Exists("one.LNK"));
}

// The saved path, ".LNK" included, must fit 259 UTF-16 units and the end
// zero; one unit more is refused rather than saved under a cut name. A
// double-byte character is one unit although it is two bytes.
TEST(Link, LinkPathMustFit260Units) {
    Sandbox box("link_long");
    box.WriteFile("tool.exe", "stand-in");
    const size_t room = 259 - box.Path("").size() - 1 - 4;  // root, backslash, ".LNK"
    const std::string fits = std::string(room, 'f');
    const std::string too_long = std::string(room + 1, 'g');
    // 表 and ソ are two bytes each: half as many units as bytes.
    const std::string wide_fits = std::string(room % 2, 'w') + [&] {
        std::string text;
        for (size_t i = 0; i < room / 2; ++i) text += "表ソ";
        return text;
    }();
    ASSERT_GT(box.Path(wide_fits).size() + 4, 259u);
    box.WriteScript(OneProcedure(
        "Shortcuts", LinkKeys("<Src>\\tool.exe,<Src>\\tool.exe,<Src>\\tool.exe", "", "",
                              "<Src>\\" + fits + ",<Src>\\" + wide_fits + ",<Src>\\" + too_long)));
    const SpyResult result = box.Run();
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_TRUE(box.Exists(fits + ".LNK"));
    EXPECT_TRUE(box.Exists(wide_fits + ".LNK"));
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(ExpectedMessage(kMsgLinkFailed, {box.Path("tool.exe"), box.Path(too_long)}),
              result.boxes[0].text);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(box.Path("g*").c_str(), &entry);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "found " << entry.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

}  // namespace
