// CRC: checks files by their CRC-32, or reports a file's CRC-32 in a box and
// on the clipboard when no value is expected for it.
#include "procs/system/crc.h"

#include <windows.h>

#include <cstring>

#include "app/run_state.h"
#include "app/win_handles.h"
#include "procs/kinds.h"
#include "text/crc32.h"

namespace {

// Files are read in blocks of this size, so any file that opens is checked
// with the same small buffer, whatever its size. Smaller blocks pay more for
// the calls; larger ones no longer stay in the processor's cache between the
// read and the CRC, which then fetches them from memory a second time.
const uint32_t kBlockSize = 256 * 1024;

// The clipboard while it is open; closed on every path.
class OpenedClipboard {
public:
    OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenedClipboard() {
        if (open_)
            CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// A global memory block, freed unless handed over with Release.
class GlobalBlock {
public:
    GlobalBlock(UINT flags, SIZE_T size) : block_(GlobalAlloc(flags, size)) {}
    ~GlobalBlock() {
        if (block_ != nullptr)
            GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    HGLOBAL Get() const { return block_; }
    void Release() { block_ = nullptr; }

private:
    HGLOBAL block_;
};

struct CrcProcedure : Procedure {
    TextBuffer files;
    TextBuffer combination;
    TextBuffer expected;

    bool ReadKeys() {
        return ReadTextKeys(name, {{"FILE", &files}, {"TYPE", &combination}, {"CRC", &expected}});
    }

    // Shows the file's CRC-32 and puts it on the clipboard; false when the
    // file cannot be read (shown in an error box).
    bool Report(const TextBuffer& file) const {
        uint32_t crc = 0;
        TextBuffer text;
        if (!FileCrc32(file.c_str(), &crc)) {
            text.Format("PROC\t: %s\nFILE\t: %s\nCRC32\t: GetFileData Error.", name.c_str(),
                        file.c_str());
            MessageBoxA(nullptr, text.c_str(), Caption.c_str(), MB_ICONERROR | MB_SETFOREGROUND);
            return false;
        }
        TextBuffer value;
        value.Format("0x%08X", crc);
        PutTextOnClipboard(value.c_str());
        text.Format("PROC\t: %s\nFILE\t: %s\nCRC32\t: %s", name.c_str(), file.c_str(),
                    value.c_str());
        MessageBoxA(nullptr, text.c_str(), Caption.c_str(), MB_ICONINFORMATION | MB_SETFOREGROUND);
        return true;
    }

    static bool Matches(const TextBuffer& file, const TextBuffer& value) {
        uint32_t crc = 0;
        return FileCrc32(file.c_str(), &crc) && crc == value.ToHex();
    }

    bool Run() override {
        const int count = MainItemCount(files, "FILE");
        if (count == 0)
            return false;
        const bool all = EqualsNoCase(combination.c_str(), "AND");
        for (int i = 0; i < count; ++i) {
            const TextBuffer file = ListItem(files, i);
            const TextBuffer value = ListItem(expected, i);
            if (value.IsEmpty()) {
                if (!Report(file))
                    return true;
            } else if (all) {
                if (!Matches(file, value))
                    return true;
            } else if (Matches(file, value)) {
                result = true;
                return true;
            } else if (i == count - 1) {
                return true;
            }
        }
        result = true;
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

Procedure* ConstructCrc(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<CrcProcedure>(name, mode, "CRC_INFO");
}
