#include "procs/system/module_resources.h"

#include <cstring>

#include "text/text_buffer.h"

namespace {

const uint32_t kHighBit = 0x80000000u;
const DWORD kNotAModule = ERROR_BAD_EXE_FORMAT;

uint32_t LittleEndian(const BYTE* at, uint32_t size) {
    uint32_t value = 0;
    memcpy(&value, at, size);  // little-endian, as the file and the processor are
    return value;
}

// A resource type or name as the system's functions take it: "#123" is the
// number 123, any other text a name.
struct ResourceKey {
    explicit ResourceKey(const char* text) {
        if (text[0] == '#') {
            int32_t number = 0;
            ScanDecimal(text + 1, &number);
            is_number = true;
            valid = number >= 0 && number <= 0xFFFF;
            id = static_cast<uint32_t>(number);
            return;
        }
        length = MultiByteToWideChar(CP_ACP, 0, text, -1, name, kLongest) - 1;
        valid = length >= 0;
        if (valid)
            CharUpperBuffW(name, static_cast<DWORD>(length));
    }
    static const int kLongest = 256;
    bool valid = false;
    bool is_number = false;
    uint32_t id = 0;
    WCHAR name[kLongest] = {};
    int length = 0;
};

}  // namespace

bool ModuleResources::Open(const char* path, uint32_t* error) {
    file_.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD high = 0;
    const DWORD size = file_.IsValid() ? GetFileSize(file_.Get(), &high) : 0;
    if (file_.IsValid() && size != INVALID_FILE_SIZE && high == 0)
        mapping_.Reset(CreateFileMappingA(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping_.IsValid())
        view_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, 0));
    bytes_ = view_.Get();
    if (bytes_ == nullptr) {
        *error = GetLastError();
        return false;
    }
    size_ = size;
    // The DOS header, the PE header, the optional header's resource entry
    // and the section table, each checked against the file's size.
    const auto at = [this](uint32_t offset, uint32_t width, uint32_t* value) {
        if (offset > size_ || width > size_ - offset)
            return false;
        *value = LittleEndian(bytes_ + offset, width);
        return true;
    };
    uint32_t mz = 0, pe = 0, signature = 0, count = 0, optional_size = 0, magic = 0;
    if (!at(0, 2, &mz) || mz != 0x5A4D || !at(0x3C, 4, &pe) || !at(pe, 4, &signature) ||
        signature != 0x4550 || !at(pe + 6, 2, &count) || !at(pe + 20, 2, &optional_size) ||
        !at(pe + 24, 2, &magic) || (magic != 0x10B && magic != 0x20B)) {
        *error = kNotAModule;
        return false;
    }
    const uint32_t optional = pe + 24;
    const uint32_t directories = optional + (magic == 0x10B ? 96 : 112);
    uint32_t directory_count = 0;
    if (!at(directories - 4, 4, &directory_count)) {
        *error = kNotAModule;
        return false;
    }
    sections_ = optional + optional_size;
    section_count_ = count;
    // A module without a resource entry holds no resources.
    if (directory_count > 2 && !at(directories + 2 * 8, 4, &resources_))
        resources_ = 0;
    return true;
}

bool ModuleResources::OffsetOf(uint32_t address, uint32_t size, uint32_t* offset) const {
    for (uint32_t i = 0; i < section_count_; ++i) {
        const uint64_t header = sections_ + 40ull * i;
        if (header + 40 > size_)
            return false;
        const BYTE* section = bytes_ + header;
        const uint32_t start = LittleEndian(section + 12, 4),
                       raw_size = LittleEndian(section + 16, 4),
                       raw = LittleEndian(section + 20, 4);
        if (address < start || address - start >= raw_size)
            continue;
        const uint64_t found = static_cast<uint64_t>(raw) + (address - start);
        // What lies beyond the section's bytes in the file is not the section's.
        if (size > raw_size - (address - start) || found + size > size_)
            return false;
        *offset = static_cast<uint32_t>(found);
        return true;
    }
    return false;
}

bool ModuleResources::Read(uint32_t address, uint32_t size, uint32_t* value) const {
    uint32_t offset = 0;
    if (!OffsetOf(address, size, &offset))
        return false;
    *value = LittleEndian(bytes_ + offset, size);
    return true;
}

bool ModuleResources::Entry(uint32_t directory, const char* text, uint32_t* id,
                            uint32_t* target) const {
    const ResourceKey key(text != nullptr ? text : "");
    if (!key.valid)
        return false;
    const uint32_t base = resources_ + directory;
    uint32_t named = 0, numbered = 0;
    if (!Read(base + 12, 2, &named) || !Read(base + 14, 2, &numbered))
        return false;
    for (uint32_t i = 0; i < named + numbered; ++i) {
        if (!Read(base + 16 + 8 * i, 4, id) || !Read(base + 20 + 8 * i, 4, target))
            return false;
        if (text == nullptr)
            return true;
        if ((*id & kHighBit) == 0) {
            if (key.is_number && *id == key.id)
                return true;
            continue;
        }
        // A name: its length in UTF-16 units, then the units.
        uint32_t length = 0, offset = 0;
        const uint32_t string = resources_ + (*id & ~kHighBit);
        if (key.is_number || !Read(string, 2, &length) ||
            length != static_cast<uint32_t>(key.length) ||
            !OffsetOf(string + 2, length * 2, &offset)) {
            continue;
        }
        WCHAR stored[ResourceKey::kLongest];
        memcpy(stored, bytes_ + offset, length * 2);
        CharUpperBuffW(stored, length);
        if (memcmp(stored, key.name, length * 2) == 0)
            return true;
    }
    return false;
}

bool ModuleResources::Find(const char* type, const char* name, WORD* language, const void** bytes,
                           DWORD* size) const {
    if (resources_ == 0)
        return false;
    // Three levels: type, name, language; the first two lead to directories,
    // the last to the data's address and size.
    uint32_t id = 0, names = 0, languages = 0, leaf = 0;
    uint32_t data_address = 0, data_size = 0, offset = 0;
    if (!Entry(0, type, &id, &names) || !(names & kHighBit) ||
        !Entry(names & ~kHighBit, name, &id, &languages) || !(languages & kHighBit) ||
        !Entry(languages & ~kHighBit, nullptr, &id, &leaf) || (leaf & kHighBit) ||
        !Read(resources_ + leaf, 4, &data_address) || !Read(resources_ + leaf + 4, 4, &data_size) ||
        !OffsetOf(data_address, data_size, &offset)) {
        return false;
    }
    *language = static_cast<WORD>(id);
    *bytes = bytes_ + offset;
    *size = data_size;
    return true;
}
