// The CRC-32 routines of this build, the block reader and the clipboard step
// of CRC, called in this process:
// the clipboard's content is gone once the program that set it has ended, so
// the text the clipboard step puts there can only be read back here. From
// outside, the updater's clipboard step shows in the clipboard's sequence
// number, and in what happens while this program holds the clipboard.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "procs/system/crc.h"
#include "text/crc32.h"
#include "reference_crc32.h"
#include "sandbox.h"

namespace {

std::string Patterned(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 12345;
    for (char& b : bytes) {
        x = x * 1103515245 + 12345;
        b = static_cast<char>(x >> 16);
    }
    return bytes;
}

// The i686 build's folding against its table routine: from 256 bytes on,
// in 64-byte steps after a 16-byte boundary, and on large random spans.
TEST(Crc32, FoldingInThisBuildMatchesTheTable) {
    if (!Crc32Folds())
        GTEST_SKIP() << "this processor or system cannot fold; Crc32Update is the table routine";
    const std::string text = Patterned((1 << 20) + 64);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t length = 0; length <= 600; ++length) {
            ASSERT_EQ(Crc32Update(1, bytes + offset, length),
                      Crc32UpdateByTable(1, bytes + offset, length))
                << "offset " << offset << " length " << length;
        }
    }
    uint32_t x = 99;
    for (int round = 0; round < 40; ++round) {
        x = x * 1103515245 + 12345;
        const size_t offset = x % 64;
        const size_t length = (x >> 8) % (size_t{1} << (8 + round % 13));
        ASSERT_EQ(Crc32Update(x, bytes + offset, length),
                  Crc32UpdateByTable(x, bytes + offset, length))
            << "offset " << offset << " length " << length;
    }
}

TEST(FileCrc32, AroundTheBlockSize) {
    Sandbox box("check_unit_blocks");
    const size_t block = 256 * 1024;  // the reader's
    for (size_t size : {size_t{1}, block - 1, block, block + 1, block + 255, 3 * block + 100}) {
        const std::string bytes = Patterned(size);
        box.WriteFile("f.bin", bytes);
        uint32_t crc = 0;
        ASSERT_TRUE(FileCrc32(box.Path("f.bin").c_str(), &crc)) << size;
        EXPECT_EQ(crc, ReferenceCrc32(bytes)) << size;
    }
}

TEST(FileCrc32, UnreadableFilesLeaveTheValueAlone) {
    Sandbox box("check_unit_unreadable");
    box.WriteFile("empty.txt", "");
    box.WriteFile("a.txt", "123456789");
    uint32_t crc = 7;
    EXPECT_FALSE(FileCrc32(box.Path("empty.txt").c_str(), &crc));
    EXPECT_FALSE(FileCrc32(box.Path("gone.txt").c_str(), &crc));
    EXPECT_FALSE(FileCrc32(box.Path().c_str(), &crc)) << "a folder";
    EXPECT_EQ(crc, 7u);

    HANDLE held = CreateFileA(box.Path("a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FileCrc32(box.Path("a.txt").c_str(), &crc))
        << "even a reader that shares reading keeps out an open without sharing";
    CloseHandle(held);
    ASSERT_TRUE(FileCrc32(box.Path("a.txt").c_str(), &crc));
    EXPECT_EQ(crc, 0xCBF43926u);
    // Its own handle is closed again: the file can be opened without sharing.
    HANDLE again = CreateFileA(box.Path("a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    if (again != INVALID_HANDLE_VALUE)
        CloseHandle(again);
}

std::string ClipboardText() {
    std::string text = "(not open)";
    if (!OpenClipboard(nullptr))
        return text;
    text = "(no text)";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = bytes;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// A message-only window of the calling thread that holds the clipboard open.
// Opened without a window, the clipboard does not keep out other openers
// that have no window either, so the holder needs one.
class ClipboardHolder {
public:
    ClipboardHolder()
        : window_(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)),
          open_(window_ != nullptr && OpenClipboard(window_)) {}
    ~ClipboardHolder() {
        if (open_)
            CloseClipboard();
        if (window_ != nullptr)
            DestroyWindow(window_);
    }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;
    bool IsOpen() const { return open_; }

private:
    HWND window_;
    bool open_;
};

// Whether another thread can take the clipboard now: it cannot while this
// one still has it open.
bool OtherThreadCanOpenClipboard() {
    bool opened = false;
    std::thread other([&opened] {
        ClipboardHolder holder;
        opened = holder.IsOpen();
    });
    other.join();
    return opened;
}

TEST(Clipboard, HoldsTheLastTextAndIsClosedAfterwards) {
    ASSERT_TRUE(OtherThreadCanOpenClipboard());
    ASSERT_TRUE(PutTextOnClipboard("0x00000001"));
    EXPECT_TRUE(OtherThreadCanOpenClipboard());
    ASSERT_TRUE(PutTextOnClipboard("0xCBF43926"));
    EXPECT_TRUE(OtherThreadCanOpenClipboard());
    EXPECT_EQ(ClipboardText(), "0xCBF43926");
    // Only the text format: the clipboard was emptied first.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    CloseClipboard();
}

TEST(Clipboard, HeldByAnotherThreadIsLeftAlone) {
    ASSERT_TRUE(PutTextOnClipboard("before"));
    std::atomic<int> stage{0};
    std::thread holder([&stage] {
        ClipboardHolder held;
        stage = held.IsOpen() ? 1 : -1;
        while (stage == 1) Sleep(1);
    });
    while (stage == 0) Sleep(1);
    EXPECT_EQ(stage, 1);
    EXPECT_FALSE(PutTextOnClipboard("0xCBF43926"));
    stage = 2;
    holder.join();
    EXPECT_EQ(ClipboardText(), "before");
}

// --- The updater's clipboard step, seen from outside ----------------------------

std::string ReportScript(const std::string& file) {
    return "[UPDATER]\nNAME=clip\nPROC=P\n[P]\nMODE=CRC\nFILE=" + file + "\nTYPE=\nCRC=\n";
}

TEST(CrcClipboard, TouchedOnlyByASuccessfulReport) {
    Sandbox box("check_unit_clip_seq");
    box.WriteFile("a.txt", "123456789");
    const DWORD start = GetClipboardSequenceNumber();
    box.WriteScript(ReportScript(box.Path("gone.txt")));
    SpyResult result = box.Run();
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].flags, kErrorBoxFlags);
    EXPECT_EQ(GetClipboardSequenceNumber(), start) << "an error box puts nothing there";

    box.WriteScript(ReportScript(box.Path("a.txt")));
    result = box.Run();
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].flags, kInformationBoxFlags);
    EXPECT_NE(GetClipboardSequenceNumber(), start) << "the report replaced the content";
}

TEST(CrcClipboard, HeldByThisProgramTheReportIsStillShown) {
    Sandbox box("check_unit_clip_held");
    box.WriteFile("a.txt", "123456789");
    box.WriteScript(ReportScript(box.Path("a.txt")));
    ASSERT_TRUE(PutTextOnClipboard("before"));
    SpyResult result;
    {
        ClipboardHolder held;
        ASSERT_TRUE(held.IsOpen());
        result = box.Run();
    }
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text,
              "PROC\t: P\nFILE\t: " + box.Path("a.txt") + "\nCRC32\t: 0xCBF43926");
    EXPECT_EQ(result.boxes[0].flags, kInformationBoxFlags);
    EXPECT_EQ(ClipboardText(), "before") << "the updater could not open the clipboard";
}

}  // namespace
