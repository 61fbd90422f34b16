// SHELL end to end through the real updater.exe: targets replaced as a whole
// through the temporary name, and what a failure leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "file_procs_helpers.h"
#include "sandbox.h"
#include "tree_snapshot.h"

namespace {

std::string ShellSection(const std::string& functions, const std::string& from,
                         const std::string& to) {
    return "[S]\nMODE=SHELL\nFUNC=" + functions + "\nFROM=" + from + "\nTO=" + to + "\n";
}

const std::string kShellFailed = ExpectedMessage(kMsgShellFailed);

TEST(Shell, CopyReplacesFilesAndFoldersAsAWhole) {
    Sandbox box("fileprocs_shell_copy");
    box.MakeFolder("src\\data\\sub");
    box.WriteFile("src\\a.txt", "new a");
    box.WriteFile("src\\data\\same.txt", "new same");
    box.WriteFile("src\\data\\sub\\low.txt", "low");
    box.MakeFolder("dst\\data");
    box.WriteFile("dst\\a.txt", "old a");
    box.WriteFile("dst\\data\\same.txt", "old same");
    box.WriteFile("dst\\data\\old.txt", "old");
    box.MakeFolder("dst\\a.txt.tmp");  // left by an earlier run
    box.WriteFile("dst\\a.txt.tmp\\stale.txt", "stale");
    box.WriteScript(
        Script("S,AFTER", ShellSection(" copy , COPY,Copy",
                                       box.Path("src\\a.txt") + " , " + box.Path("src\\data") +
                                           "," + box.Path("src\\a.txt"),
                                       " " + box.Path("dst\\a.txt") + " ," + box.Path("dst\\data") +
                                           "," + box.Path("dst\\new\\a.txt")) +
                              AfterSection(box)));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("dst\\a.txt"), "new a");
    EXPECT_EQ(box.ReadFile("dst\\data\\same.txt"), "new same");
    EXPECT_EQ(box.ReadFile("dst\\data\\sub\\low.txt"), "low");
    EXPECT_FALSE(box.Exists("dst\\data\\old.txt"));  // replaced, not merged
    EXPECT_EQ(box.ReadFile("dst\\new\\a.txt"), "new a");
    EXPECT_FALSE(box.Exists("dst\\a.txt.tmp"));
    EXPECT_FALSE(box.Exists("dst\\data.tmp"));
    EXPECT_EQ(box.ReadFile("src\\a.txt"), "new a");
    EXPECT_EQ(box.ReadFile("src\\data\\same.txt"), "new same");
    EXPECT_TRUE(box.Exists("after"));
}

TEST(Shell, MoveRenameAndDelete) {
    Sandbox box("fileprocs_shell_move");
    box.MakeFolder("src\\r");
    box.MakeFolder("src\\r2");
    box.MakeFolder("dst\\gone");
    box.WriteFile("src\\m.txt", "new m");
    box.WriteFile("dst\\m.txt", "old m");
    box.WriteFile("src\\r\\in.txt", "in");
    box.WriteFile("src\\r2\\old.txt", "old");
    box.WriteFile("src\\del.txt", "x");
    box.WriteFile("dst\\gone\\g.txt", "x");
    box.WriteFile("src\\del2.txt", "x");
    // The last item has no TO item: a deletion needs no target.
    box.WriteScript(
        Script("S", ShellSection("MOVE, rename, Delete, DELETE",
                                 box.Path("src\\m.txt") + "," + box.Path("src\\r") + "," +
                                     box.Path("src\\del.txt") + "," + box.Path("src\\del2.txt"),
                                 box.Path("dst\\m.txt") + "," + box.Path("src\\r2") + "," +
                                     box.Path("dst\\gone"))));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("dst\\m.txt"), "new m");
    EXPECT_FALSE(box.Exists("src\\m.txt"));
    EXPECT_EQ(box.ReadFile("src\\r2\\in.txt"), "in");
    EXPECT_FALSE(box.Exists("src\\r2\\old.txt"));
    EXPECT_FALSE(box.Exists("src\\r"));
    EXPECT_FALSE(box.Exists("src\\del.txt"));
    EXPECT_FALSE(box.Exists("dst\\gone"));
    EXPECT_FALSE(box.Exists("src\\del2.txt"));
    EXPECT_FALSE(box.Exists("dst\\m.txt.tmp"));
    EXPECT_FALSE(box.Exists("src\\r2.tmp"));
}

TEST(Shell, UnknownOperationsFailAndStopTheRun) {
    Sandbox box("fileprocs_shell_unknown");
    box.WriteFile("a.txt", "a");
    box.WriteFile("c.txt", "c");
    box.WriteFile("old_d.txt", "old d");
    box.WriteScript(Script(
        "S,AFTER",
        ShellSection("COPY,XCOPY,COPY",
                     box.Path("a.txt") + "," + box.Path("c.txt") + "," + box.Path("a.txt"),
                     box.Path("b.txt") + "," + box.Path("old_d.txt") + "," + box.Path("f.txt")) +
            AfterSection(box)));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_EQ(box.ReadFile("b.txt"), "a");  // the item before stays done
    EXPECT_EQ(box.ReadFile("old_d.txt"), "old d");
    EXPECT_FALSE(box.Exists("old_d.txt.tmp"));
    EXPECT_FALSE(box.Exists("f.txt"));
    EXPECT_FALSE(box.Exists("after"));
    // A missing FUNC item is no operation either.
    box.WriteScript(Script("S", ShellSection("COPY", box.Path("a.txt") + "," + box.Path("c.txt"),
                                             box.Path("b2.txt") + "," + box.Path("d2.txt"))));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_TRUE(box.Exists("b2.txt"));
    EXPECT_FALSE(box.Exists("d2.txt"));
}

TEST(Shell, AFailedOperationLeavesTheOldTargetAndNoTemporary) {
    Sandbox box("fileprocs_shell_op_fails");
    box.WriteFile("target.txt", "old");
    box.WriteScript(
        Script("S", ShellSection("COPY", box.Path("missing.txt"), box.Path("target.txt"))));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_EQ(box.ReadFile("target.txt"), "old");
    EXPECT_FALSE(box.Exists("target.txt.tmp"));
    // Moving several matches into a folder not there yet: Wine asks whether to
    // create it, and without a display that counts as the user's cancel.
    box.MakeFolder("src");
    box.WriteFile("src\\1.txt", "1");
    box.WriteFile("src\\2.txt", "2");
    box.WriteScript(
        Script("S", ShellSection("MOVE", box.Path("src\\*.txt"), box.Path("target.txt"))));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_EQ(box.ReadFile("target.txt"), "old");
    EXPECT_FALSE(box.Exists("target.txt.tmp"));
    EXPECT_EQ(box.ReadFile("src\\1.txt"), "1");
}

TEST(Shell, AnOldTargetThatResistsKeepsTheCopyFromReplacingIt) {
    Sandbox box("fileprocs_shell_copy_held");
    box.MakeFolder("src\\data");
    box.MakeFolder("dst\\data");
    box.WriteFile("src\\data\\new.txt", "new");
    box.WriteFile("dst\\data\\held.txt", "held");
    box.WriteFile("next.txt", "next");
    box.WriteScript(
        Script("S", ShellSection("COPY,COPY", box.Path("src\\data") + "," + box.Path("next.txt"),
                                 box.Path("dst\\data") + "," + box.Path("next_copy.txt"))));
    {
        HeldFile held(box.Path("dst\\data\\held.txt"));
        ExpectBoxes(box.Run(), {kShellFailed});
    }
    EXPECT_EQ(box.ReadFile("dst\\data\\held.txt"), "held");
    EXPECT_FALSE(box.Exists("dst\\data\\new.txt"));
    EXPECT_FALSE(box.Exists("dst\\data.tmp"));  // the copy is not kept
    EXPECT_EQ(box.ReadFile("src\\data\\new.txt"), "new");
    EXPECT_FALSE(box.Exists("next_copy.txt"));
}

// After a move or rename has taken the data from its source and the old
// target cannot be deleted, the data goes back to where it came from.
TEST(Shell, MovedDataGoesBackToItsSource) {
    Sandbox box("fileprocs_shell_put_back");
    box.MakeFolder("src\\newdata\\sub");
    box.MakeFolder("dst\\data");
    box.WriteFile("src\\newdata\\sub\\n.txt", "n");
    box.WriteFile("dst\\data\\held.txt", "held");
    box.WriteScript(
        Script("S", ShellSection("MOVE", box.Path("src\\newdata"), box.Path("dst\\data"))));
    {
        HeldFile held(box.Path("dst\\data\\held.txt"));
        ExpectBoxes(box.Run(), {kShellFailed});
    }
    EXPECT_EQ(box.ReadFile("src\\newdata\\sub\\n.txt"), "n");
    EXPECT_FALSE(box.Exists("dst\\data.tmp"));
    EXPECT_EQ(box.ReadFile("dst\\data\\held.txt"), "held");

    box.WriteFile("a.txt", "a");
    box.WriteFile("held.txt", "held");
    box.WriteScript(Script("S", ShellSection("RENAME", box.Path("a.txt"), box.Path("held.txt"))));
    {
        HeldFile held(box.Path("held.txt"));
        ExpectBoxes(box.Run(), {kShellFailed});
    }
    EXPECT_EQ(box.ReadFile("a.txt"), "a");
    EXPECT_FALSE(box.Exists("held.txt.tmp"));
    EXPECT_EQ(box.ReadFile("held.txt"), "held");
}

// What a pattern matched cannot go back to the pattern: it stays under the
// temporary name rather than being deleted.
TEST(Shell, MovedDataThatCannotGoBackStaysUnderTheTemporaryName) {
    Sandbox box("fileprocs_shell_keep_temporary");
    box.MakeFolder("src");
    box.MakeFolder("dst\\data");
    box.WriteFile("src\\only.dat", "only copy");
    box.WriteFile("dst\\data\\held.txt", "held");
    box.WriteScript(
        Script("S", ShellSection("MOVE", box.Path("src\\*.dat"), box.Path("dst\\data"))));
    {
        HeldFile held(box.Path("dst\\data\\held.txt"));
        ExpectBoxes(box.Run(), {kShellFailed});
    }
    EXPECT_FALSE(box.Exists("src\\only.dat"));
    const std::string kept = AttributesOf(box.Path("dst\\data.tmp")) & FILE_ATTRIBUTE_DIRECTORY
                                 ? box.ReadFile("dst\\data.tmp\\only.dat")
                                 : box.ReadFile("dst\\data.tmp");
    EXPECT_EQ(kept, "only copy");
}

TEST(Shell, AStaleTemporaryThatResistsStopsTheItemBeforeTheOperation) {
    Sandbox box("fileprocs_shell_stale_held");
    box.MakeFolder("dst\\a.txt.tmp");
    box.WriteFile("a.txt", "new");
    box.WriteFile("dst\\a.txt", "old");
    box.WriteFile("dst\\a.txt.tmp\\held.txt", "held");
    for (const char* function : {"COPY", "MOVE"}) {
        box.WriteScript(
            Script("S", ShellSection(function, box.Path("a.txt"), box.Path("dst\\a.txt"))));
        {
            HeldFile held(box.Path("dst\\a.txt.tmp\\held.txt"));
            ExpectBoxes(box.Run(), {kShellFailed});
        }
        EXPECT_EQ(box.ReadFile("a.txt"), "new") << function;
        EXPECT_EQ(box.ReadFile("dst\\a.txt"), "old") << function;
        EXPECT_FALSE(box.Exists("dst\\a.txt.tmp\\a.txt")) << function;
        EXPECT_EQ(box.ReadFile("dst\\a.txt.tmp\\held.txt"), "held") << function;
    }
}

// An earlier move that was cut short can leave its data only under the
// temporary name; a move whose source is gone must not delete it as stale.
TEST(Shell, AnEarlierMovesTemporaryIsKeptWhenTheSourceIsGone) {
    Sandbox box("fileprocs_shell_earlier_move");
    box.MakeFolder("dst");
    for (const char* function : {"MOVE", "RENAME"}) {
        box.WriteFile("dst\\a.txt.tmp", "moved data");
        box.WriteScript(
            Script("S", ShellSection(function, box.Path("a.txt"), box.Path("dst\\a.txt"))));
        ExpectBoxes(box.Run(), {kShellFailed});
        EXPECT_EQ(box.ReadFile("dst\\a.txt.tmp"), "moved data") << function;
    }
    // A copy takes nothing away: its stale temporary goes as before.
    box.WriteScript(Script("S", ShellSection("COPY", box.Path("a.txt"), box.Path("dst\\a.txt"))));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_FALSE(box.Exists("dst\\a.txt.tmp"));
}

// A path of exactly length bytes inside the sandbox.
std::string PathOfLength(const Sandbox& box, size_t length) {
    const std::string folder = box.Path() + "\\";
    return folder + std::string(length - folder.size(), 'n');
}

// Each name with its two zero bytes must fit in 260 bytes, the temporary
// with its ".tmp" too; a longer one is refused, never cut.
TEST(Shell, NamesThatDoNotFitAreRefusedBeforeAnythingIsDone) {
    Sandbox box("fileprocs_shell_long");
    box.WriteFile("a.txt", "a");
    const std::string longest_target = PathOfLength(box, 254);
    box.WriteScript(Script("S", ShellSection("COPY", box.Path("a.txt"), longest_target)));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile(longest_target.substr(box.Path().size() + 1)), "a");

    const std::string target = PathOfLength(box, 255);
    box.WriteFile(target.substr(box.Path().size() + 1) + ".tmp", "stale");
    box.WriteScript(
        Script("S,AFTER", ShellSection("COPY", box.Path("a.txt"), target) + AfterSection(box)));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_TRUE(box.Exists(target.substr(box.Path().size() + 1) + ".tmp"));  // not even that
    EXPECT_FALSE(box.Exists(target.substr(box.Path().size() + 1)));
    EXPECT_FALSE(box.Exists("after"));

    const std::string longest_source = PathOfLength(box, 258);
    const std::string source = PathOfLength(box, 259);
    box.WriteFile(longest_source.substr(box.Path().size() + 1), "258");
    box.WriteFile(source.substr(box.Path().size() + 1), "259");
    box.WriteFile("b.txt.tmp", "stale");
    box.WriteScript(Script("S", ShellSection("MOVE,MOVE", longest_source + "," + source,
                                             box.Path("c.txt") + "," + box.Path("b.txt"))));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_EQ(box.ReadFile("c.txt"), "258");
    EXPECT_EQ(box.ReadFile("b.txt.tmp"), "stale");
    EXPECT_EQ(box.ReadFile(source.substr(box.Path().size() + 1)), "259");
}

// Had the bytes of the longer first name stayed behind the shorter second
// one, the shell would also see "zzz.txt" there and copy two files.
TEST(Shell, AShorterNameAfterALongerOneLeavesNothingBehind) {
    Sandbox box("fileprocs_shell_shorter");
    box.WriteFile("b.txt", "short");
    box.WriteFile("b.txt_zzz.txt", "long");
    box.WriteFile("zzz.txt", "stray");
    box.WriteScript(Script(
        "S", ShellSection("COPY,COPY", box.Path("b.txt_zzz.txt") + "," + box.Path("b.txt"),
                          box.Path("out\\long_name.txt_zzz.txt") + "," + box.Path("out\\b.txt"))));
    ExpectNoBoxes(box.Run());
    EXPECT_EQ(box.ReadFile("out\\long_name.txt_zzz.txt"), "long");
    EXPECT_EQ(box.ReadFile("out\\b.txt"), "short");
    EXPECT_FALSE(box.Exists("out\\b.txt.tmp"));
}

TEST(Shell, EmptyListsTargetsAndMissingKeys) {
    Sandbox box("fileprocs_shell_keys");
    box.WriteFile("a.txt", "a");
    // Without a target the result would land in the current folder as ".tmp".
    box.WriteScript(
        Script("S,AFTER", ShellSection("MOVE", box.Path("a.txt"), "  ") + AfterSection(box)));
    ExpectBoxes(box.Run(), {kShellFailed});
    EXPECT_EQ(box.ReadFile("a.txt"), "a");
    EXPECT_FALSE(box.Exists(".tmp"));
    EXPECT_FALSE(box.Exists("after"));
    ExpectEachFails(
        box, "S",
        {{ShellSection("COPY", " ", box.Path("b.txt")),
          ExpectedMessage(kMsgBadItemCount, {"S", "FROM"})},
         {"[S]\nMODE=SHELL\nFUNC=COPY\nFROM=x\n", ExpectedMessage(kMsgBadFormat, {"S", "TO"})},
         {"[S]\nMODE=SHELL\nFROM=x\nTO=y\n", ExpectedMessage(kMsgBadFormat, {"S", "FUNC"})}});
}

// A folder copied or moved into its own subfolder, written through a link to
// it: the shell would follow the link without end. Refused before anything
// is made, whichever side the link is on.
TEST(Shell, AFolderIntoItsOwnSubfolderThroughALinkIsRefused) {
    const char* fixture = getenv("LINK_FIXTURE");
    if (fixture == nullptr)
        GTEST_SKIP() << "run through ctest, which makes the linked trees";
    const std::string root = WindowsPathOf(fixture) + "\\shell\\";
    Sandbox box("fileprocs_shell_into_itself");
    const struct {
        const char* function;
        const char* from;
        const char* to;
    } cases[] = {{"COPY", "link", "d\\sub\\new"},
                 {"COPY", "d", "link\\sub\\new"},
                 {"MOVE", "link", "d\\sub\\new"},
                 {"COPY", "*", "d\\sub\\new"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " " + c.from + " to " + c.to);
        const TreeSnapshot before = SnapshotOf(root + "d");
        box.WriteScript(Script(
            "S,AFTER", ShellSection(c.function, root + c.from, root + c.to) + AfterSection(box)));
        ExpectBoxes(box.Run(), {kShellFailed});
        EXPECT_EQ(TreeDifferences(before, SnapshotOf(root + "d")), "");
        EXPECT_FALSE(box.Exists("after"));
    }
}

}  // namespace
