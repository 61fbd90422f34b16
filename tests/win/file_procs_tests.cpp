// MOVE, DELETE, MAKEDIR and ATTR end to end through the real updater.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "file_procs_helpers.h"
#include "sandbox.h"

namespace {

std::string MoveSection(const std::string& from, const std::string& to) {
    return "[M]\nMODE=MOVE\nFROM=" + from + "\nTO=" + to + "\n";
}

TEST(Move, FilesReplaceTargetsAndCreateFolders) {
    Sandbox box("fileprocs_move_files");
    box.MakeFolder("src");
    box.MakeFolder("dst");
    box.WriteFile("src\\a.txt", "new a");
    box.WriteFile("src\\b.txt", "new b");
    box.WriteFile("dst\\b.txt", "old b");
    box.WriteScript(Script(
        "M,AFTER",
        MoveSection("  " + box.Path("src\\a.txt") + " , " + box.Path("src\\b.txt"),
                    box.Path("new\\deep\\a.txt") + " ,  " + box.Path("dst\\b.txt") + ",  ignored") +
            AfterSection(box)));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("new\\deep\\a.txt"), "new a");
    EXPECT_EQ(box.ReadFile("dst\\b.txt"), "new b");
    EXPECT_FALSE(box.Exists("src\\a.txt"));
    EXPECT_FALSE(box.Exists("src\\b.txt"));
    EXPECT_TRUE(box.Exists("after"));
}

TEST(Move, FolderTreesLeaveNoSourceBehind) {
    Sandbox box("fileprocs_move_tree");
    box.MakeFolder("src\\tree\\sub\\deeper");
    box.WriteFile("src\\tree\\top.txt", "top");
    box.WriteFile("src\\tree\\sub\\mid.txt", "mid");
    box.WriteFile("src\\tree\\sub\\deeper\\low.txt", "low");
    box.MakeFolder("dst\\tree");
    box.WriteFile("dst\\tree\\top.txt", "old top");
    box.WriteFile("dst\\tree\\kept.txt", "kept");
    box.WriteScript(Script("M", MoveSection(box.Path("src\\tree"), box.Path("dst\\tree"))));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("dst\\tree\\top.txt"), "top");
    EXPECT_EQ(box.ReadFile("dst\\tree\\sub\\mid.txt"), "mid");
    EXPECT_EQ(box.ReadFile("dst\\tree\\sub\\deeper\\low.txt"), "low");
    EXPECT_EQ(box.ReadFile("dst\\tree\\kept.txt"), "kept");  // merged, not replaced
    EXPECT_FALSE(box.Exists("src\\tree"));
    EXPECT_TRUE(box.Exists("src"));
}

TEST(Move, PatternsMoveMatchesIntoTheTargetsFolder) {
    Sandbox box("fileprocs_move_pattern");
    box.MakeFolder("src\\old.log");
    box.WriteFile("src\\a.log", "a");
    box.WriteFile("src\\b.log", "b");
    box.WriteFile("src\\old.log\\inner.txt", "inner");
    box.WriteFile("src\\keep.txt", "keep");
    box.WriteScript(Script("M", MoveSection(box.Path("src\\*.log"), box.Path("out\\unused"))));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("out\\a.log"), "a");
    EXPECT_EQ(box.ReadFile("out\\b.log"), "b");
    EXPECT_EQ(box.ReadFile("out\\old.log\\inner.txt"), "inner");
    EXPECT_FALSE(box.Exists("out\\unused"));
    EXPECT_FALSE(box.Exists("src\\a.log"));
    EXPECT_FALSE(box.Exists("src\\old.log"));
    EXPECT_EQ(box.ReadFile("src\\keep.txt"), "keep");  // the pattern's folder stays
}

// 表 is 0x95 0x5C: its trail byte must not be taken for a separator.
TEST(Move, DoubleByteFolderNames) {
    Sandbox box("fileprocs_move_cp932");
    box.MakeFolder("src表\\sub表");
    box.WriteFile("src表\\top.txt", "top");
    box.WriteFile("src表\\sub表\\low.txt", "low");
    box.WriteScript(Script("M", MoveSection(box.Path("src表"), box.Path("dst表"))));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("dst表\\top.txt"), "top");
    EXPECT_EQ(box.ReadFile("dst表\\sub表\\low.txt"), "low");
    EXPECT_FALSE(box.Exists("src表"));
}

TEST(Move, EmptyTargetsAreRefused) {
    Sandbox box("fileprocs_move_empty_target");
    box.MakeFolder("src\\tree");
    box.WriteFile("src\\tree\\t.txt", "t");
    box.WriteFile("src\\p.txt", "p");
    // Fewer TO items than FROM items: the second pair has the empty target.
    for (const std::string& source : {box.Path("src\\tree"), box.Path("src\\tree\\*.txt")}) {
        box.WriteScript(Script(
            "M,AFTER", MoveSection(box.Path("src\\p.txt") + "," + source, box.Path("p.txt")) +
                           AfterSection(box)));
        ExpectBoxes(box.Run(), {ExpectedMessage(kMsgMoveFailed, {source, ""})});
        EXPECT_TRUE(box.Exists("p.txt"));
        box.WriteFile("src\\p.txt", "p");
    }
    EXPECT_EQ(box.ReadFile("src\\tree\\t.txt"), "t");
    EXPECT_FALSE(box.Exists("after"));
    ExpectEachFails(box, "M",
                    {{MoveSection(box.Path("src\\p.txt"), ""),
                      ExpectedMessage(kMsgMoveFailed, {box.Path("src\\p.txt"), ""})}});
    EXPECT_TRUE(box.Exists("src\\p.txt"));
}

TEST(Move, TheSecondOfThreePairsFailsOnAReadOnlyTarget) {
    Sandbox box("fileprocs_move_second_fails");
    box.MakeFolder("dst");
    box.WriteFile("one.txt", "1");
    box.WriteFile("two.txt", "2");
    box.WriteFile("three.txt", "3");
    box.WriteFile("dst\\two.txt", "read-only");
    SetFileAttributesA(box.Path("dst\\two.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    box.WriteScript(Script(
        "M,AFTER",
        MoveSection(box.Path("one.txt") + ", " + box.Path("two.txt") + " ," + box.Path("three.txt"),
                    box.Path("dst\\one.txt") + "," + box.Path("dst\\two.txt") + "," +
                        box.Path("dst\\three.txt")) +
            AfterSection(box)));
    ExpectBoxes(box.Run(),
                {ExpectedMessage(kMsgMoveFailed, {box.Path("two.txt"), box.Path("dst\\two.txt")})});
    EXPECT_EQ(box.ReadFile("dst\\one.txt"), "1");
    EXPECT_EQ(box.ReadFile("dst\\two.txt"), "read-only");
    EXPECT_EQ(box.ReadFile("two.txt"), "2");
    EXPECT_TRUE(box.Exists("three.txt"));
    EXPECT_FALSE(box.Exists("dst\\three.txt"));
    EXPECT_FALSE(box.Exists("after"));
}

TEST(Move, AHeldFileKeepsEveryFolderAboveIt) {
    Sandbox box("fileprocs_move_held");
    box.MakeFolder("src\\tree\\sub");
    box.WriteFile("src\\tree\\sub\\held.txt", "held");
    box.WriteScript(Script("M", MoveSection(box.Path("src\\tree"), box.Path("dst"))));
    {
        HeldFile held(box.Path("src\\tree\\sub\\held.txt"));
        ExpectBoxes(box.Run(),
                    {ExpectedMessage(kMsgMoveFailed, {box.Path("src\\tree"), box.Path("dst")})});
    }
    EXPECT_EQ(box.ReadFile("src\\tree\\sub\\held.txt"), "held");
    EXPECT_TRUE(box.Exists("dst\\sub"));  // created before the failure, and kept
    EXPECT_FALSE(box.Exists("dst\\sub\\held.txt"));
}

TEST(Move, MissingSourcesAndKeys) {
    Sandbox box("fileprocs_move_missing");
    box.MakeFolder("src");
    const std::string target = box.Path("dst\\x");
    ExpectEachFails(box, "M",
                    {{MoveSection(box.Path("src\\*.none"), target),
                      ExpectedMessage(kMsgMoveFailed, {box.Path("src\\*.none"), target})},
                     {MoveSection(box.Path("src\\gone.txt"), target),
                      ExpectedMessage(kMsgMoveFailed, {box.Path("src\\gone.txt"), target})},
                     {MoveSection("", "x"), ExpectedMessage(kMsgBadItemCount, {"M", "FROM"})},
                     {"[M]\nMODE=MOVE\nFROM=x\n", ExpectedMessage(kMsgBadFormat, {"M", "TO"})}});
}

std::string DeleteSection(const std::string& files) {
    return "[D]\nMODE=DELETE\nFILE=" + files + "\n";
}

TEST(Delete, FilesTreesPatternsAndAbsentItems) {
    Sandbox box("fileprocs_delete_all");
    box.MakeFolder("tree\\sub");
    box.MakeFolder("pat\\cache.tmp");
    box.WriteFile("plain.txt", "x");
    box.WriteFile("locked.txt", "x");
    SetFileAttributesA(box.Path("locked.txt").c_str(),
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    box.WriteFile("tree\\a.txt", "x");
    box.WriteFile("tree\\sub\\ro.txt", "x");
    SetFileAttributesA(box.Path("tree\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    box.WriteFile("pat\\a.tmp", "x");
    box.WriteFile("pat\\cache.tmp\\inner.txt", "x");
    box.WriteFile("pat\\keep.txt", "keep");
    box.WriteScript(Script(
        "D,AFTER", DeleteSection(" " + box.Path("plain.txt") + " , " + box.Path("locked.txt") +
                                 "," + box.Path("tree") + "," + box.Path("pat\\*.tmp") + "," +
                                 box.Path("absent.txt") + "," + box.Path("pat\\*.none") + " ") +
                       AfterSection(box)));
    ExpectNoBoxes(box.Run());
    EXPECT_FALSE(box.Exists("plain.txt"));
    EXPECT_FALSE(box.Exists("locked.txt"));
    EXPECT_FALSE(box.Exists("tree"));
    EXPECT_FALSE(box.Exists("pat\\a.tmp"));
    EXPECT_FALSE(box.Exists("pat\\cache.tmp"));
    EXPECT_EQ(box.ReadFile("pat\\keep.txt"), "keep");
    EXPECT_TRUE(box.Exists("after"));
}

TEST(Delete, DoubleByteFolderNamesAndTrailingBackslashes) {
    Sandbox box("fileprocs_delete_cp932");
    box.MakeFolder("data表\\sub表");
    box.WriteFile("data表\\sub表\\f.txt", "x");
    box.WriteFile("data表\\g.txt", "x");
    box.MakeFolder("kept表");
    box.WriteFile("kept表\\k.txt", "k");
    // A trailing backslash is never found, so that item deletes nothing.
    box.WriteScript(Script("D", DeleteSection(box.Path("kept表") + "\\," + box.Path("data表"))));
    ExpectNoBoxes(box.Run());
    EXPECT_FALSE(box.Exists("data表"));
    EXPECT_EQ(box.ReadFile("kept表\\k.txt"), "k");
}

TEST(Delete, TheSecondOfThreeItemsFails) {
    Sandbox box("fileprocs_delete_second_fails");
    box.MakeFolder("tree\\sub");
    box.WriteFile("one.txt", "1");
    box.WriteFile("tree\\sub\\held.txt", "held");
    box.WriteFile("three.txt", "3");
    box.WriteScript(Script("D,AFTER", DeleteSection(box.Path("one.txt") + ",  " + box.Path("tree") +
                                                    "  ," + box.Path("three.txt")) +
                                          AfterSection(box)));
    {
        HeldFile held(box.Path("tree\\sub\\held.txt"));
        ExpectBoxes(box.Run(), {ExpectedMessage(kMsgDeleteFailed, {box.Path("tree")})});
    }
    EXPECT_FALSE(box.Exists("one.txt"));
    EXPECT_EQ(box.ReadFile("tree\\sub\\held.txt"), "held");
    EXPECT_TRUE(box.Exists("three.txt"));
    EXPECT_FALSE(box.Exists("after"));
}

TEST(Delete, EmptyAndMissingKeys) {
    Sandbox box("fileprocs_delete_keys");
    ExpectEachFails(box, "D",
                    {{DeleteSection("  "), ExpectedMessage(kMsgBadItemCount, {"D", "FILE"})},
                     {"[D]\nMODE=DELETE\n", ExpectedMessage(kMsgBadFormat, {"D", "FILE"})}});
}

std::string MakeDirSection(const std::string& folders) {
    return "[K]\nMODE=MAKEDIR\nDIR=" + folders + "\n";
}

TEST(MakeDir, CreatesMissingLevelsAndAcceptsWhatExists) {
    Sandbox box("fileprocs_makedir");
    box.MakeFolder("there");
    box.WriteFile("file.txt", "f");
    box.WriteScript(
        Script("K,AFTER", MakeDirSection(" " + box.Path("a\\b\\c表") + " ," + box.Path("there") +
                                         "," + box.Path("file.txt")) +
                              AfterSection(box)));
    ExpectNoBoxes(box.Run());
    EXPECT_TRUE(AttributesOf(box.Path("a\\b\\c表")) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(box.ReadFile("file.txt"), "f");
    EXPECT_TRUE(box.Exists("after"));
}

TEST(MakeDir, FailuresStopTheRun) {
    Sandbox box("fileprocs_makedir_fails");
    box.WriteFile("file.txt", "f");
    // The levels of a path with a trailing backslash are made, then its test
    // never finds it and creating it again fails.
    ExpectEachFails(box, "K",
                    {{MakeDirSection(box.Path("x\\y") + "\\ ," + box.Path("z")),
                      ExpectedMessage(kMsgMakeDirFailed, {box.Path("x\\y") + "\\"})},
                     {MakeDirSection(box.Path("file.txt\\sub")),
                      ExpectedMessage(kMsgMakeDirFailed, {box.Path("file.txt\\sub")})},
                     {MakeDirSection(""), ExpectedMessage(kMsgBadItemCount, {"K", "DIR"})}});
    EXPECT_TRUE(box.Exists("x\\y"));
    EXPECT_FALSE(box.Exists("z"));
}

std::string AttrSection(const std::string& files, const std::string& values) {
    return "[A]\nMODE=ATTR\nFILE=" + files + "\nARG=" + values + "\n";
}

TEST(Attr, SetsWholeValuesOnFilesAndPatternMatchesOnly) {
    Sandbox box("fileprocs_attr");
    box.MakeFolder("cfg\\sub");
    box.WriteFile("app.exe", "x");
    SetFileAttributesA(box.Path("app.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    box.WriteFile("cfg\\a.ini", "x");
    box.WriteFile("cfg\\b.ini", "x");
    box.WriteFile("cfg\\c.txt", "x");
    box.WriteFile("cfg\\sub\\d.ini", "x");
    const DWORD folder_before = AttributesOf(box.Path("cfg\\sub"));
    box.WriteScript(
        Script("A,AFTER", AttrSection(" " + box.Path("app.exe") + " , " + box.Path("cfg\\*.ini") +
                                          "," + box.Path("cfg\\sub"),
                                      " 20 ,0x21, 1") +
                              AfterSection(box)));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(AttributesOf(box.Path("app.exe")), DWORD{FILE_ATTRIBUTE_ARCHIVE});  // read-only gone
    EXPECT_EQ(AttributesOf(box.Path("cfg\\a.ini")), DWORD{0x21});
    EXPECT_EQ(AttributesOf(box.Path("cfg\\b.ini")), DWORD{0x21});
    EXPECT_EQ(AttributesOf(box.Path("cfg\\c.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(AttributesOf(box.Path("cfg\\sub\\d.ini")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(AttributesOf(box.Path("cfg\\sub")), folder_before);
    EXPECT_TRUE(box.Exists("after"));
}

TEST(Attr, FailuresShowThePathAndTheValue) {
    Sandbox box("fileprocs_attr_fails");
    box.WriteFile("one.txt", "1");
    box.WriteFile("three.txt", "3");
    ExpectEachFails(box, "A",
                    {{AttrSection(box.Path("one.txt") + ", " + box.Path("*.none") + " ," +
                                      box.Path("three.txt"),
                                  "1, 21, 1"),
                      ExpectedMessage(kMsgAttributesFailed, {box.Path("*.none"), "0x21"})}});
    EXPECT_NE(AttributesOf(box.Path("one.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(AttributesOf(box.Path("three.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
    const std::string gone = ExpectedMessage(kMsgAttributesFailed, {box.Path("gone.txt"), "0"});
    ExpectEachFails(
        box, "A",
        {// Nothing to convert, and a missing item, both give 0.
         {AttrSection(box.Path("gone.txt"), "xyz"), gone},
         {AttrSection(box.Path("three.txt") + "," + box.Path("gone.txt"), "0x80"), gone},
         {AttrSection("", "1"), ExpectedMessage(kMsgBadItemCount, {"A", "FILE"})},
         {"[A]\nMODE=ATTR\nFILE=x\n", ExpectedMessage(kMsgBadFormat, {"A", "ARG"})}});
}

// Each kind sets its result flag once every item has succeeded: the box is
// shown only when all five flags are set.
TEST(FileKinds, ResultFlagsAfterSuccess) {
    Sandbox box("fileprocs_flags");
    box.WriteFile("a.txt", "a");
    box.WriteScript(Script(
        "S,M,D,K,A,Q", "[S]\nMODE=SHELL\nFUNC=COPY\nFROM=" + box.Path("a.txt") +
                           "\nTO=" + box.Path("b.txt") + "\n" +
                           MoveSection(box.Path("b.txt"), box.Path("c.txt")) +
                           DeleteSection(box.Path("c.txt")) + MakeDirSection(box.Path("k")) +
                           AttrSection(box.Path("a.txt"), "20") +
                           "[Q]\nMODE=MSGBOX\nFLAG=S AND M AND D AND K AND A,1\nTYPE=INFORMATION\n"
                           "TEXT=all set\nISABORT=0,0\n"));
    const SpyResult run = box.Run();
    ASSERT_TRUE(run.started) << run.problem;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, "all set");
    EXPECT_EQ(run.boxes[0].flags, kInformationBoxFlags);
}

}  // namespace
