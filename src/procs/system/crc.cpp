// CRC: checks files by their CRC-32, or reports a file's CRC-32 in a box and
// on the clipboard when no value is expected for it.
#include "procs/system/crc.h"

#include <windows.h>

#include <cstring>

#include "base/win_handles.h"
#include "procs/kinds.h"
#include "text/crc32.h"

namespace {

// Files are read in blocks of this size, so any file that opens is checked
// with the same small buffer, whatever its size. Smaller blocks pay more for
// the calls; larger ones no longer stay in the processor's cache between the
// read and the CRC, which then fetches them from memory a second time.
const uint32_t kBlockSize = 256 * 1024;

struct CrcProcedure : Procedure {
    // expected is "" for a file whose CRC is only reported.
    bool Crc(RunContext& run, const TextBuffer& file, const TextBuffer& expected,
             uint32_t* crc) const {
        const bool read = FileCrc32(file.c_str(), crc);
        run.events.CrcComputed(file.c_str(), read, read ? *crc : 0, !expected.IsEmpty(),
                               expected.ToHex());
        return read;
    }

    // Shows the file's CRC-32 and puts it on the clipboard; false when the
    // file cannot be read (shown in an error box).
    bool Report(RunContext& run, const TextBuffer& file) const {
        uint32_t crc = 0;
        if (!Crc(run, file, TextBuffer(), &crc)) {
            run.reporter.FailText(
                FormatText("PROC\t: %s\nFILE\t: %s\nCRC32\t: GetFileData Error.", {name, file}));
            return false;
        }
        const TextBuffer value = FormatText("0x%08X", {crc});
        PutTextOnClipboard(value.c_str());
        run.reporter.Show(BoxPurpose::kReport,
                          FormatText("PROC\t: %s\nFILE\t: %s\nCRC32\t: %s", {name, file, value}),
                          kInformationBoxStyle);
        return true;
    }

    bool Matches(RunContext& run, const TextBuffer& file, const TextBuffer& value) const {
        uint32_t crc = 0;
        return Crc(run, file, value, &crc) && crc == value.ToHex();
    }

    bool Run(RunContext& run) override {
        const bool all = EqualsNoCase(Value("TYPE").c_str(), "AND");
        bool matched = false;
        bool last_mismatched = false;
        // A file whose CRC is only reported passes, unless it cannot be read.
        // With TYPE AND the first mismatch ends the test; otherwise the first
        // match does, and a mismatch in the last item leaves the flag false.
        const Items items = ForEachItem(run, [&](int i) {
            const TextBuffer file = Item("FILE", i);
            const TextBuffer value = Item("CRC", i);
            last_mismatched = false;
            if (value.IsEmpty())
                return Report(run, file);
            const bool match = Matches(run, file, value);
            if (all)
                return match;
            matched = match;
            last_mismatched = !match;
            return !match;
        });
        if (items == Items::kEmpty)
            return false;
        result = items == Items::kStopped ? matched : !last_mismatched;
        return true;
    }
};

}  // namespace

bool FileCrc32(const char* path, uint32_t* crc) {
    // No sharing: a file that another program holds open counts as unreadable.
    UniqueHandle file(
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    ByteArray block;
    if (!block.Allocate(kBlockSize))
        return false;
    uint32_t value = 0;
    bool empty = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), block.Data(), kBlockSize, &read, nullptr))
            return false;
        if (read == 0)
            break;
        value = Crc32Update(value, block.Data(), read);
        empty = false;
    }
    if (empty)
        return false;  // an empty file has nothing to check
    *crc = value;
    return true;
}

bool PutTextOnClipboard(const char* text) {
    OpenedClipboard clipboard;
    if (!clipboard.IsOpen())
        return false;
    const size_t size = strlen(text) + 1;
    GlobalBlock block(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block.Get() == nullptr)
        return false;
    void* bytes = GlobalLock(block.Get());
    if (bytes == nullptr)
        return false;
    memcpy(bytes, text, size);
    GlobalUnlock(block.Get());
    EmptyClipboard();
    if (SetClipboardData(CF_TEXT, block.Get()) == nullptr)
        return false;
    block.Release();  // the clipboard owns it now
    return true;
}

Procedure* NewCrc() {
    return new (std::nothrow) CrcProcedure;
}
