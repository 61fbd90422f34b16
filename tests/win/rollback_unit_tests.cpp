// The undo in process: the store's check over security descriptors written
// in the system's descriptor language, what Wine keeps of the store it makes,
// and the journal's writer seen through its seam while the engine runs real
// file procedures: every change comes after the batch that announces it is
// on the disk, and after the record of what it makes is handed over.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <map>
#include <string>
#include <vector>

#include "app/engine.h"
#include "file_procs_helpers.h"
#include "memory_script.h"
#include "base/paths.h"
#include "sandbox.h"
#include "tree_snapshot.h"
#include "undo/recovery.h"
#include "undo/run_undo.h"
#include "undo/store.h"
#include "undo/undo_journal.h"

namespace {

const char kUser[] = "S-1-5-21-1-2-3-1000";

// The descriptor of an SDDL text, for as long as the object lives.
class Descriptor {
public:
    explicit Descriptor(const std::string& sddl) {
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr))
            << sddl;
    }
    ~Descriptor() { LocalFree(descriptor_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    PSECURITY_DESCRIPTOR Get() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

struct SidText {
    explicit SidText(const char* text) { ConvertStringSidToSidA(text, &sid); }
    ~SidText() { LocalFree(sid); }
    PSID sid = nullptr;
};

TEST(UndoStore, TrustsOnlyWhatAdministratorsAloneMayChange) {
    const SidText user(kUser);
    const TrustRule windows;  // an elevated run on Windows
    TrustRule account;        // an unelevated run, or one under Wine
    account.account = user.sid;
    account.protection = false;
    const std::string admins = "(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    const std::string mine = std::string("(A;OICI;FA;;;") + kUser + ")";
    const struct {
        std::string sddl;
        UndoReason windows, account;
    } cases[] = {
        // What the store is made with.
        {"O:BAD:P" + admins, UndoReason::kNone, UndoReason::kNone},
        {"O:SYD:P" + admins, UndoReason::kNone, UndoReason::kNone},
        // Owner.
        {std::string("O:") + kUser + "D:P" + admins, UndoReason::kOwner, UndoReason::kNone},
        {"O:BUD:P" + admins, UndoReason::kOwner, UndoReason::kOwner},
        // Protection from what the folder above grants.
        {"O:BAD:" + admins, UndoReason::kInherits, UndoReason::kNone},
        {"O:BAD:AI" + admins + "(A;OICIID;0x1301bf;;;AU)", UndoReason::kInherits,
         UndoReason::kOthersWrite},
        // Who may write, delete, or change the access list or owner.
        {"O:BAD:P" + admins + mine, UndoReason::kOthersWrite, UndoReason::kNone},
        {"O:BAD:P" + admins + "(A;OICI;FA;;;WD)", UndoReason::kOthersWrite,
         UndoReason::kOthersWrite},
        {"O:BAD:P" + admins + "(A;OICI;0x2;;;BU)", UndoReason::kOthersWrite,
         UndoReason::kOthersWrite},
        {"O:BAD:P" + admins + "(A;;SD;;;BU)", UndoReason::kOthersWrite, UndoReason::kOthersWrite},
        {"O:BAD:P" + admins + "(A;;WD;;;AU)", UndoReason::kOthersWrite, UndoReason::kOthersWrite},
        {"O:BAD:P" + admins + "(A;;WO;;;AU)", UndoReason::kOthersWrite, UndoReason::kOthersWrite},
        {"O:BAD:P" + admins + "(A;OICIIO;GA;;;CO)", UndoReason::kOthersWrite,
         UndoReason::kOthersWrite},
        {"O:BAD:P" + admins + "(A;OICI;0x40;;;BU)", UndoReason::kOthersWrite,
         UndoReason::kOthersWrite},
        // Reading is no threat; a deny entry only takes rights away.
        {"O:BAD:P" + admins + "(A;OICI;FR;;;WD)", UndoReason::kNone, UndoReason::kNone},
        {"O:BAD:P(D;OICI;FA;;;WD)" + admins, UndoReason::kNone, UndoReason::kNone},
    };
    for (const auto& c : cases) {
        const Descriptor descriptor(c.sddl);
        EXPECT_EQ(CheckFolderSecurity(descriptor.Get(), windows), c.windows) << c.sddl;
        EXPECT_EQ(CheckFolderSecurity(descriptor.Get(), account), c.account) << c.sddl;
    }
    EXPECT_EQ(CheckFolderSecurity(nullptr, windows), UndoReason::kUnreadable);
    // No access list at all lets everyone do anything.
    SECURITY_DESCRIPTOR open;
    unsigned char administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
                CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
                SetSecurityDescriptorOwner(&open, administrators, FALSE) &&
                SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_EQ(CheckFolderSecurity(&open, windows), UndoReason::kOthersWrite);
}

// What the store is made with passes the check for Windows; Wine keeps the
// folder as its own account's, which only the rule for Wine accepts.
TEST(UndoStore, IsMadeForAdministratorsAndReadBackAsWineKeepsIt) {
    const AccountSid account;
    ASSERT_TRUE(account.IsValid());
    EXPECT_EQ(std::string(FolderDescriptorText(nullptr).c_str()),
              "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    const Descriptor asked(FolderDescriptorText(nullptr).c_str());
    EXPECT_EQ(CheckFolderSecurity(asked.Get(), TrustRule()), UndoReason::kNone);

    Sandbox box("undo_store_made");
    const TextBuffer folder = box.Path("store").c_str();
    ASSERT_TRUE(static_cast<bool>(MakeProtectedFolder(folder, nullptr)));
    EXPECT_FALSE(static_cast<bool>(MakeProtectedFolder(folder, nullptr)));
    EXPECT_EQ(CheckFolder(folder, TrustRule()), UndoReason::kOwner);
    EXPECT_EQ(CheckFolder(folder, StoreRule(true, account)), UndoReason::kNone);
    // Everyone given write shows, and is refused.
    char* sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(account.Get(), &sid));
    const Descriptor widened(std::string("D:(A;OICI;FA;;;") + sid + ")(A;OICI;FA;;;WD)");
    LocalFree(sid);
    ASSERT_TRUE(SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, widened.Get()));
    EXPECT_EQ(CheckFolder(folder, StoreRule(true, account)), UndoReason::kOthersWrite);
}

// --- The writer's seam ------------------------------------------------------------------------

// Every byte the journal writes, and how far the last flush reached.
struct RecordedOutput : JournalOutput {
    Status Append(const char* bytes, size_t size) override {
        written.append(bytes, size);
        return Status::Done();
    }
    Status Flush() override {
        flushed = written.size();
        return Status::Done();
    }
    std::string written;
    size_t flushed = 0;
};

List<Record>& Parse(const std::string& bytes, List<Record>& records) {
    ParseJournal(bytes.data(), bytes.size(), records);
    return records;
}

// Listens after the journal: each change of the file procedures must be
// announced on the disk before it is made (a deletion the journal takes is
// seen once it is done), and what it makes or writes told before.
class FlushWatch : public RunEvents {
public:
    explicit FlushWatch(const RecordedOutput& output) : output_(output) {}
    Status FileChanging(FileAction action, const char* path, const char* target) override {
        if (!IsDeletion(action))
            Check(action, path, target);
        return Status::Done();
    }
    void FileActed(FileAction action, const char* path, const char* target,
                   uint32_t error) override {
        if (IsDeletion(action) && error == 0)
            Check(action, path, target);
    }
    int checked = 0;

private:
    static bool IsDeletion(FileAction action) {
        return action == FileAction::kDeleted || action == FileAction::kFolderRemoved ||
               action == FileAction::kShellDeleted;
    }
    void Check(FileAction action, const char* path, const char* target) {
        ++checked;
        // A copy changes only its target; a move both ends.
        const bool copies = action == FileAction::kCopied || action == FileAction::kShellCopied ||
                            action == FileAction::kResourcesUpdated;
        const bool moves = action == FileAction::kMoved || action == FileAction::kShellMoved;
        List<Record> flushed, told;
        Parse(output_.written.substr(0, output_.flushed), flushed);
        Parse(output_.written, told);
        for (const char* changed : {copies ? target : path, moves ? target : ""}) {
            if (*changed != '\0') {
                EXPECT_TRUE(Announced(flushed, FullPathOf(changed)))
                    << path << " -> " << target << " not announced on the disk";
            }
        }
        if (action == FileAction::kCopied || action == FileAction::kFolderMade) {
            const TextBuffer made = FullPathOf(copies ? target : path);
            const Record& last = told[told.Count() - 1];
            EXPECT_TRUE((last.type == RecordType::kMade || last.type == RecordType::kWritten) &&
                        EqualsNoCase(last.path.c_str(), made.c_str()))
                << made.c_str() << " not told before it was written";
        }
    }
    // Inside the places of the last procedure, or named by a record of its own.
    static bool Announced(const List<Record>& records, const TextBuffer& changed) {
        PlaceIndex places;
        for (const Record& record : records) {
            if (record.type == RecordType::kProcedure)
                places.Clear();
            if (record.type == RecordType::kPlace) {
                Place place;
                place.path = record.path;
                places.Add(place);
            }
            if (record.type == RecordType::kSetAside &&
                EqualsNoCase(record.path.c_str(), changed.c_str()))
                return true;
        }
        return places.Covers(changed);
    }
    const RecordedOutput& output_;
};

struct NoBoxes : BoxOutput {
    TextBuffer CatalogueEntry(int) override { return "%s"; }
    int Show(const char*, const char*, unsigned) override { return kAnswerOk; }
};

// A run in process with its journal listening first, stopped as a kill
// stops it: the journal then lies in box's store, to be finished.
class JournaledRun {
public:
    explicit JournaledRun(const Sandbox& box)
        : box_(box), aside_(box.Path("store\\00000001").c_str()), run_(boxes_, lookups_) {
        Record version = MakeRecord(RecordType::kVersion, '-', "");
        version.number = kJournalVersion;
        header_.Add(version);
        header_.Add(MakeRecord(RecordType::kHeader, '-', box.Path("updater.ini").c_str(), aside_));
        run_.events.AddListener(&journal_);
    }
    const RecordedOutput& Output() const { return output_; }
    // Runs proc; listener hears every event after the journal.
    bool Run(const MemoryScript& script, const char* proc, RunEvents* listener = nullptr) {
        run_.script = &script;
        if (listener != nullptr)
            run_.events.AddListener(listener);
        Engine engine(run_);
        const bool completed = engine.RunTopList(proc);
        journal_.Stop();
        box_.WriteFile("store\\00000001.jnl", output_.written);
        return completed;
    }
    JournalEnd Finish() {
        TextBuffer failed;
        RunEvents quiet;
        return FinishJournal(Journal(), StoreRule(true, AccountSid()), quiet, &failed);
    }
    TextBuffer Journal() const { return aside_ + ".jnl"; }

private:
    const Sandbox& box_;
    TextBuffer aside_;
    NoBoxes boxes_;
    NoLookups lookups_;
    RunContext run_;
    List<Record> header_;
    RecordedOutput output_;
    UndoJournal journal_{output_, header_, aside_, nullptr, 1, run_.events};
};

// The run, then its journal read back: everything is as before.
TEST(UndoJournal, EveryChangeComesAfterTheBatchThatAnnouncesIt) {
    Sandbox box("undo_seam");
    for (const char* folder : {"app\\data", "app\\old", "app\\mv", "new\\data\\sub"})
        box.MakeFolder(folder);
    for (const char* file : {"app\\data\\a.txt", "app\\old\\o.txt", "app\\mv\\m.txt",
                             "new\\data\\a.txt", "new\\data\\sub\\b.txt", "new\\c.txt"}) {
        box.WriteFile(file, file);
    }
    MemoryScript script;
    const std::string app = box.Path("app"), fresh = box.Path("new");
    script.sections = {
        {"C",
         {{"MODE", "COPY"},
          {"FROM", fresh + "\\data, " + fresh + "\\c.txt"},
          {"TO", app + "\\data, " + box.Path("outside\\c.txt")}}},
        {"D", {{"MODE", "DELETE"}, {"FILE", app + "\\old"}}},
        {"M", {{"MODE", "MOVE"}, {"FROM", app + "\\mv"}, {"TO", app + "\\mv2"}}},
        {"A", {{"MODE", "ATTR"}, {"FILE", app + "\\data\\*.txt"}, {"ARG", "1"}}},
    };
    const TreeSnapshot before = SnapshotOf(box.Path());
    JournaledRun run(box);
    FlushWatch watch(run.Output());
    ASSERT_TRUE(run.Run(script, "C,D,M,A", &watch));
    EXPECT_GE(watch.checked, 10);

    EXPECT_EQ(run.Finish(), JournalEnd::kRestored);
    RemoveDirectoryA(box.Path("store").c_str());
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(box.Path())));
}

// An undo cut short while it copies a file back (a read-only one, which was
// copied aside) leaves a file that is neither the old one nor the run's: the
// undo begun again finishes it instead of leaving it as a change made since.
// Here the first undo stops at the file, held, behind a batch that the kill
// of the run cut short, and the file is then left as a copy cut short leaves
// it: empty.
TEST(UndoJournal, AnUndoCutShortWhileItCopiesAFileBackIsFinished) {
    Sandbox box("undo_copy_back");
    box.MakeFolder("app");
    box.MakeFolder("new");
    box.WriteFile("app\\ro.txt", "old");
    box.WriteFile("new\\ro.txt", "new");
    SetFileAttributesA(box.Path("app\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const TreeSnapshot before = SnapshotOf(box.Path("app"));
    MemoryScript script;
    script.sections = {
        {"C",
         {{"MODE", "COPY"}, {"FROM", box.Path("new\\ro.txt")}, {"TO", box.Path("app\\ro.txt")}}}};
    JournaledRun run(box);
    ASSERT_TRUE(run.Run(script, "C"));
    box.WriteFile("store\\00000001.jnl", run.Output().written + "W\t-\t0\t");
    {
        HeldFile held(box.Path("app\\ro.txt"));
        EXPECT_EQ(run.Finish(), JournalEnd::kNotRestored);
    }
    SetFileAttributesA(box.Path("app\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    box.WriteFile("app\\ro.txt", "");
    EXPECT_EQ(run.Finish(), JournalEnd::kRestored);
    EXPECT_EQ("", TreeDifferences(before, SnapshotOf(box.Path("app"))));
}

// However many failures come while the undo is under way, none is shown
// before the files are back, and all come out in the order they came.
TEST(RunUndo, HeldFailuresComeOutInOrderAfterTheUndo) {
    Sandbox box("undo_held_failures");
    for (const char* folder : {"app", "new", "store"}) box.MakeFolder(folder);
    box.WriteFile("app\\a.txt", "old");
    box.WriteFile("new\\a.txt", "new");
    MemoryScript script;
    script.sections = {
        {"UPDATER", {{"ROLLBACK", "YES"}}},
        {"C", {{"MODE", "COPY"}, {"FROM", box.Path("new\\a.txt")}, {"TO", box.Path("app\\a.txt")}}},
        {"F", {{"MODE", "COPY"}, {"FROM", box.Path("gone.txt")}, {"TO", box.Path("app\\b.txt")}}},
    };
    struct StoreHere : NoLookups {
        explicit StoreHere(const std::string& folder) : folder_(folder) {}
        bool SpecialFolder(int, TextBuffer& path) const override {
            path = folder_.c_str();
            return true;
        }
        std::string folder_;
    } lookups(box.Path("store"));
    // Each box with what the file the run wrote held when it was shown.
    struct Shown : BoxOutput {
        explicit Shown(const Sandbox& sandbox) : box(sandbox) {}
        TextBuffer CatalogueEntry(int id) override { return ("%s " + std::to_string(id)).c_str(); }
        int Show(const char* text, const char*, unsigned) override {
            shown.push_back(std::string(text) + " with " + box.ReadFile("app\\a.txt"));
            return kAnswerOk;
        }
        const Sandbox& box;
        std::vector<std::string> shown;
    } boxes(box);
    RunContext run(boxes, lookups);
    run.script = &script;
    RunUndo undo(run);
    ASSERT_EQ(undo.Begin(), UndoOutcome::kDone);
    Engine engine(run);
    EXPECT_FALSE(engine.RunTopList("C,F"));
    for (const char* more : {"b", "c", "d", "e", "f"}) run.reporter.Fail(kMsgDeleteFailed, {more});
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(undo.End(false), UndoOutcome::kDone);
    EXPECT_EQ(boxes.shown,
              (std::vector<std::string>{box.Path("gone.txt") + " 8 with old", "b 10 with old",
                                        "c 10 with old", "d 10 with old", "e 10 with old",
                                        "f 10 with old"}));
}

}  // namespace
