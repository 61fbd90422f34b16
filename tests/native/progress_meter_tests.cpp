// What the progress window shows and when: the procedure, the file, bytes
// against the total counted first, a marquee where there is none, not once
// per file; closed before a failure box; Cancel stops the run only where the
// window offers it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/progress_meter.h"
#include "fake_procedure.h"

namespace {

struct FakeOutput : ProgressOutput {
    bool Ready(TextBuffer* why) override {
        if (!ready)
            *why = "no display";
        return ready;
    }
    bool Show(const TextBuffer& title, const char* procedure, bool cancel, bool marquee) override {
        calls.push_back(std::string("show ") + title.c_str() + " " + procedure +
                        (cancel ? " cancel" : "") + (marquee ? " marquee" : ""));
        return true;
    }
    void Close() override { calls.push_back("close"); }
    void SetText(int line, const char* text) override {
        calls.push_back(std::to_string(line) + " " + text);
    }
    void SetBytes(uint64_t done, uint64_t total) override {
        calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    }
    bool Cancelled() override { return cancelled; }
    uint32_t Milliseconds() override { return now; }
    uint64_t FileBytes(const char* path) override {
        return std::string(path).find("big") != std::string::npos ? 8u << 20 : 100;
    }
    uint64_t ItemBytes(const TextBuffer& path) override {
        return std::string(path.c_str()) == "C:\\new" ? 9000000 : 7;
    }
    bool ready = true;
    bool cancelled = false;
    uint32_t now = 0;
    std::vector<std::string> calls;
};

// The file every 250 ms at most, the bar every second; both at once before a
// large file, and what the window comes up with costs no update.
TEST(ProgressMeter, ShowsProceduresFilesAndBytesAFewTimesASecond) {
    FakeOutput output;
    ProgressMeter meter(output);
    TextBuffer why;
    ASSERT_TRUE(meter.Start("Cap", false, &why));
    EXPECT_TRUE(output.calls.empty());  // nothing shows before the first procedure
    meter.ProcedureStarting(FakeProcedure("Wait", "WAITAPP", {"a.exe", ""}), 1);
    meter.ProcedureStarting(FakeProcedure("Files", "COPY", {"C:\\new, C:\\x.txt", "D:\\a"}), 1);
    for (int i = 0; i < 110; ++i) {
        output.now += 10;
        const std::string file = "C:\\new\\f" + std::to_string(i);
        EXPECT_TRUE(meter.FileChanging(FileAction::kCopied, file.c_str(), "D:\\a"));
        meter.FileActed(FileAction::kCopied, file.c_str(), "D:\\a", 0);
    }
    meter.FileChanging(FileAction::kFolderMade, "D:\\a\\sub", "");  // no bytes
    meter.FileActed(FileAction::kFolderMade, "D:\\a\\sub", "", 0);
    meter.FileChanging(FileAction::kCopied, "C:\\new\\big", "D:\\a\\big");  // shown at once
    meter.FileActed(FileAction::kCopied, "C:\\new\\big", "D:\\a\\big", 5);  // failed: no bytes
    const TextBuffer question("Go on?");
    meter.BoxComing({BoxPurpose::kScript, 0, question, 0x24, 0, 0});
    const TextBuffer failure("failed");
    meter.BoxComing({BoxPurpose::kFailure, 8, failure, 0x10010, 5, 0});
    meter.ProcedureStarting(FakeProcedure("Next", "COPY", {"C:\\x.txt", "D:\\x"}), 1);
    meter.RunEnded(RunEnd::kFailed, "Files");
    EXPECT_EQ(output.calls, (std::vector<std::string>{
                                "show Cap Wait marquee",
                                "close",
                                "show Cap Files",
                                "2 C:\\new\\f24",
                                "2 C:\\new\\f49",
                                "2 C:\\new\\f74",
                                "2 C:\\new\\f99",
                                "9900/9000007",
                                "2 C:\\new\\big",
                                "11000/9000007",
                                "close",
                            }));
}

TEST(ProgressMeter, CancelStopsTheRunOnlyWhereTheWindowOffersIt) {
    for (const bool offered : {false, true}) {
        FakeOutput output;
        ProgressMeter meter(output);
        TextBuffer why;
        meter.Start("Cap", offered, &why);
        meter.ProcedureStarting(FakeProcedure("Files", "DELETE", {"C:\\x.txt"}), 1);
        EXPECT_FALSE(meter.StopRequested());
        output.cancelled = true;
        EXPECT_EQ(meter.StopRequested(), offered);
        const Status change = meter.FileChanging(FileAction::kDeleted, "C:\\x.txt", "");
        EXPECT_EQ(static_cast<bool>(change), !offered);
        EXPECT_EQ(change.Error(), offered ? kStoppedByUser : 0u);
        // A Cancel pressed in a window that has closed still counts.
        meter.RunEnded(RunEnd::kCancelled, "Files");
        EXPECT_EQ(meter.StopRequested(), offered);
        EXPECT_EQ(output.calls.front(), offered ? "show Cap Files cancel" : "show Cap Files");
    }
}

TEST(ProgressMeter, AWindowThatCannotBeShownIsNeverAskedFor) {
    FakeOutput output;
    output.ready = false;
    ProgressMeter meter(output);
    TextBuffer why;
    EXPECT_FALSE(meter.Start("Cap", true, &why));
    EXPECT_STREQ(why.c_str(), "no display");
    meter.ProcedureStarting(FakeProcedure("Files", "COPY", {"C:\\new", "D:\\a"}), 1);
    meter.CrcComputed("C:\\x", true, 1, false, 0);
    EXPECT_TRUE(meter.FileChanging(FileAction::kCopied, "C:\\new\\a", "D:\\a"));
    EXPECT_TRUE(output.calls.empty());
}

}  // namespace
