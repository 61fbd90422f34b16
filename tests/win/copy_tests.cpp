// The walker and path helpers in process, and COPY end to end through the
// real updater.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "procs/file/paths.h"
#include "procs/file/tree.h"
#include "sandbox.h"

namespace {

std::string CopyScript(const std::string& from, const std::string& to) {
    return "[UPDATER]\nNAME=N\nPROC=C\n[C]\nMODE=COPY\nFROM=" + from + "\nTO=" + to + "\n";
}

void ExpectNoBoxes(const SpyResult& run) {
    ASSERT_TRUE(run.started) << run.problem;
    EXPECT_EQ(run.exit_code, 0u);
    for (const ShownBox& shown : run.boxes) ADD_FAILURE() << Cp932ToUtf8(shown.text);
}

void ExpectCopyFailure(const SpyResult& run, const std::string& source, const std::string& target) {
    ASSERT_TRUE(run.started) << run.problem;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, ExpectedMessage(kMsgCopyFailed, {source, target}));
    EXPECT_EQ(run.boxes[0].flags, kErrorBoxFlags);
    EXPECT_EQ(run.boxes[0].caption, "N");
}

void ExpectAtMostOneBox(const SpyResult& run, const std::string& text) {
    ASSERT_LE(run.boxes.size(), 1u);
    for (const ShownBox& shown : run.boxes) EXPECT_EQ(shown.text, text);
}

enum VisitKind { VisitFile, EnterFolder, LeaveFolder };

struct Visit {
    std::string path;
    VisitKind kind;
};

struct Recorder : TreeVisitor {
    Status VisitFile(const TextBuffer& path) override { return Add(path, ::VisitFile); }
    Status EnterFolder(const TextBuffer& path) override { return Add(path, ::EnterFolder); }
    Status LeaveFolder(const TextBuffer& path) override { return Add(path, ::LeaveFolder); }
    Status Add(const TextBuffer& path, VisitKind kind) {
        visits.push_back({path.c_str(), kind});
        return Status::Done();
    }
    std::vector<Visit> visits;
};

TEST(PathHelpers, ExistenceFoldersAndFolderParts) {
    Sandbox box("walker_paths");
    box.MakeFolder("d");
    box.WriteFile("d\\a.txt", "a");
    EXPECT_TRUE(FileExists(box.Path("d\\*.txt").c_str()));
    EXPECT_FALSE(FileExists(box.Path("d\\*.bin").c_str()));
    EXPECT_TRUE(FileExists(box.Path("d").c_str()));
    EXPECT_FALSE(FileExists(box.Path("d\\").c_str()));  // a trailing backslash is never found
    EXPECT_TRUE(IsFolder(box.Path("d").c_str()));
    EXPECT_FALSE(IsFolder(box.Path("d\\a.txt").c_str()));
    EXPECT_FALSE(IsFolder(box.Path("d\\*").c_str()));

    TextBuffer folder("unchanged");
    EXPECT_FALSE(FolderOfPath("app.exe", folder));
    EXPECT_FALSE(FolderOfPath("\\app.exe", folder));
    EXPECT_STREQ(folder.c_str(), "unchanged");
    EXPECT_TRUE(FolderOfPath("D:\\Tools\\app.exe", folder));
    EXPECT_STREQ(folder.c_str(), "D:\\Tools");
    EXPECT_TRUE(FolderOfPath("D:\\app.exe", folder));
    EXPECT_STREQ(folder.c_str(), "D:");
    // The trail byte of 表 (0x95 0x5C) is not a separator.
    EXPECT_TRUE(FolderOfPath("D:\\Tools\\表.exe", folder));
    EXPECT_STREQ(folder.c_str(), "D:\\Tools");

    TextBuffer path("D:\\表\\\\");
    RemoveTrailingSeparators(path);
    EXPECT_STREQ(path.c_str(), "D:\\表");
    path = "D:\\表";
    RemoveTrailingSeparators(path);
    EXPECT_STREQ(path.c_str(), "D:\\表");
}

TEST(PathHelpers, MakeFolderPath) {
    Sandbox box("walker_makefolder");
    RunEvents events;
    EXPECT_TRUE(MakeFolderPath(events, TextBuffer(box.Path("a\\b\\c").c_str())));
    EXPECT_TRUE(IsFolder(box.Path("a\\b\\c").c_str()));
    box.WriteFile("file", "x");
    EXPECT_TRUE(MakeFolderPath(events, TextBuffer(box.Path("file").c_str())));
    // The levels are made, then the last one fails: its test never finds it.
    EXPECT_FALSE(MakeFolderPath(events, TextBuffer(box.Path("x\\y\\").c_str())));
    EXPECT_TRUE(IsFolder(box.Path("x\\y").c_str()));
    EXPECT_TRUE(MakeFolderPath(events, TextBuffer("")));
    EXPECT_TRUE(MakeFolderPath(events, TextBuffer(box.Path("表\\表").c_str())));
    EXPECT_TRUE(IsFolder(box.Path("表\\表").c_str()));
}

TEST(Walker, VisitsFoldersBeforeAndAfterTheirContents) {
    Sandbox box("walker_order");
    box.MakeFolder("t\\sub");
    box.WriteFile("t\\sub\\b.txt", "b");
    Recorder recorder;
    std::vector<Visit>& visits = recorder.visits;
    ASSERT_TRUE(WalkFiles(TextBuffer(box.Path("t").c_str()), recorder, true));
    ASSERT_EQ(visits.size(), 3u);
    EXPECT_EQ(visits[0].path, box.Path("t\\sub"));
    EXPECT_EQ(visits[0].kind, EnterFolder);
    EXPECT_EQ(visits[1].path, box.Path("t\\sub\\b.txt"));
    EXPECT_EQ(visits[1].kind, VisitFile);
    EXPECT_EQ(visits[2].kind, LeaveFolder);

    // Not descending: only the folder itself.
    visits.clear();
    ASSERT_TRUE(WalkFiles(TextBuffer(box.Path("t\\sub").c_str()), recorder, false));
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].kind, EnterFolder);
    EXPECT_EQ(visits[1].kind, LeaveFolder);
    EXPECT_EQ(visits[1].path, box.Path("t\\sub"));

    visits.clear();
    EXPECT_FALSE(WalkFiles(TextBuffer(box.Path("t\\*.none").c_str()), recorder, true));
    EXPECT_TRUE(visits.empty());
}

// Links to folders outside a tree are never entered: what they point to is
// not part of the tree and must survive deleting or moving it.
TEST(Walker, NeverEntersLinks) {
    const char* fixture = getenv("LINK_FIXTURE");
    if (fixture == nullptr)
        GTEST_SKIP() << "run through ctest, which makes the linked trees";
    const std::string root = WindowsPathOf(fixture);
    Sandbox box("walker_links");
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=D,M\n[D]\nMODE=DELETE\nFILE=" + root +
                    "\\delete\\tree\n[M]\nMODE=MOVE\nFROM=" + root +
                    "\\move\\tree\nTO=<Src>\\moved\n");
    // Where the system cannot take the link itself, the tree's removal fails
    // and is reported; nothing else may be.
    ExpectAtMostOneBox(box.Run(), ExpectedMessage(kMsgDeleteFailed, {root + "\\delete\\tree"}));
    EXPECT_NE(GetFileAttributesA((root + "\\delete\\outside\\keep.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((root + "\\delete\\tree\\junk.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    // The DELETE cannot take the link itself under every system, so the MOVE
    // runs on its own as well.
    box.WriteScript("[UPDATER]\nNAME=N\nPROC=M\n[M]\nMODE=MOVE\nFROM=" + root +
                    "\\move\\tree\nTO=<Src>\\moved\n");
    ExpectAtMostOneBox(box.Run(),
                       ExpectedMessage(kMsgMoveFailed, {root + "\\move\\tree", box.Path("moved")}));
    EXPECT_NE(GetFileAttributesA((root + "\\move\\outside\\keep.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(box.Exists("moved\\link\\keep.txt"));
    EXPECT_EQ(box.ReadFile("moved\\junk.txt"), "junk\n");
}

TEST(Copy, SingleFilesAndOverwriting) {
    Sandbox box("copy_files");
    box.WriteFile("new.txt", "new");
    box.MakeFolder("old");
    box.WriteFile("old\\app.txt", "old");
    box.WriteScript(CopyScript("<Src>\\new.txt , <Src>\\new.txt",
                               "<Src>\\old\\app.txt,  <Src>\\deep\\er\\copy.txt "));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("old\\app.txt"), "new");
    EXPECT_EQ(box.ReadFile("deep\\er\\copy.txt"), "new");
}

TEST(Copy, FolderTreesCopyTheirContents) {
    Sandbox box("copy_tree");
    box.MakeFolder("data\\sub\\表");
    box.WriteFile("data\\a.txt", "a");
    box.WriteFile("data\\sub\\b.txt", "b");
    box.WriteFile("data\\sub\\表\\c.txt", "c");
    box.WriteScript(CopyScript("<Src>\\data", "<Src>\\target\\data"));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("target\\data\\a.txt"), "a");
    EXPECT_EQ(box.ReadFile("target\\data\\sub\\b.txt"), "b");
    EXPECT_EQ(box.ReadFile("target\\data\\sub\\表\\c.txt"), "c");
    EXPECT_FALSE(box.Exists("target\\data\\data"));
}

TEST(Copy, PatternsCopyIntoTheTargetsFolder) {
    Sandbox box("copy_pattern");
    box.MakeFolder("lib\\old.dll");
    box.WriteFile("lib\\one.dll", "1");
    box.WriteFile("lib\\two.txt", "2");
    box.WriteFile("lib\\old.dll\\inner.txt", "i");
    box.WriteScript(CopyScript("<Src>\\lib\\*.dll", "<Src>\\bin\\x"));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("bin\\one.dll"), "1");
    EXPECT_EQ(box.ReadFile("bin\\old.dll\\inner.txt"), "i");
    EXPECT_FALSE(box.Exists("bin\\two.txt"));
    EXPECT_FALSE(box.Exists("bin\\x"));

    box.WriteScript(CopyScript("<Src>\\lib\\*.none", "<Src>\\bin\\x"));
    ExpectCopyFailure(box.Run(), box.Path("lib\\*.none"), box.Path("bin\\x"));
    // A "?" alone does not make a pattern: it is taken as a file name.
    box.WriteScript(CopyScript("<Src>\\lib\\on?.dll", "<Src>\\q\\y.dll"));
    ExpectCopyFailure(box.Run(), box.Path("lib\\on?.dll"), box.Path("q\\y.dll"));
}

TEST(Copy, AnEmptyTargetIsRefused) {
    Sandbox box("copy_empty_target");
    box.MakeFolder("data");
    box.WriteFile("data\\only-here.txt", "x");
    box.WriteFile("single.txt", "s");
    box.WriteScript(CopyScript("<Src>\\data", ""));
    ExpectCopyFailure(box.Run(), box.Path("data"), "");
    EXPECT_EQ(GetFileAttributesA("\\only-here.txt"), INVALID_FILE_ATTRIBUTES);
    box.WriteScript(CopyScript("<Src>\\data\\*.txt", "\\x"));
    ExpectCopyFailure(box.Run(), box.Path("data\\*.txt"), "\\x");
    // Fewer targets than sources: the second pair has the empty target.
    box.WriteScript(CopyScript("<Src>\\single.txt,<Src>\\single.txt", "<Src>\\one.txt"));
    ExpectCopyFailure(box.Run(), box.Path("single.txt"), "");
    EXPECT_EQ(box.ReadFile("one.txt"), "s");
}

// A copy that failed anywhere in the tree is reported, naming the pair.
TEST(Copy, FailuresBelowTheTopFailThePair) {
    Sandbox box("copy_nested_failure");
    box.MakeFolder("src\\sub");
    box.WriteFile("src\\sub\\blocked.txt", "b");
    box.WriteFile("src\\sub\\z.txt", "z");
    box.WriteFile("src\\top.txt", "t");
    // A folder where a file should go makes that file's copy fail.
    box.MakeFolder("dst\\sub\\blocked.txt");
    box.WriteScript(CopyScript("<Src>\\src", "<Src>\\dst"));
    ExpectCopyFailure(box.Run(), box.Path("src"), box.Path("dst"));

    // The same failure at the top of the source fails the pair.
    box.MakeFolder("dst2\\top.txt");
    box.WriteScript(CopyScript("<Src>\\src", "<Src>\\dst2"));
    ExpectCopyFailure(box.Run(), box.Path("src"), box.Path("dst2"));
}

TEST(Copy, TheSecondOfThreePairsFails) {
    Sandbox box("copy_second_fails");
    box.WriteFile("a.txt", "a");
    box.WriteScript(
        "[UPDATER]\nNAME=N\nPROC=C\n[C]\nMODE=COPY\n"
        "FROM=<Src>\\a.txt, <Src>\\missing.txt , <Src>\\a.txt\n"
        "TO=<Src>\\1.txt, <Src>\\2.txt, <Src>\\3.txt\n");
    ExpectCopyFailure(box.Run(), box.Path("missing.txt"), box.Path("2.txt"));
    EXPECT_TRUE(box.Exists("1.txt"));
    EXPECT_FALSE(box.Exists("3.txt"));

    box.WriteScript(CopyScript("", "<Src>\\x"));
    const SpyResult run = box.Run();
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, ExpectedMessage(kMsgBadItemCount, {"C", "FROM"}));
}

}  // namespace
