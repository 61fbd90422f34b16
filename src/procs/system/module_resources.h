// The resources of an executable module, read from the file's own bytes. The
// system's loader is never asked: a module of the same name that the process
// has loaded (a system DLL) cannot stand in for the file, and none of the
// file's code runs.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/win_handles.h"

class ModuleResources {
public:
    ModuleResources() = default;
    ModuleResources(const ModuleResources&) = delete;
    ModuleResources& operator=(const ModuleResources&) = delete;

    // Maps the file to read it, shared only with readers. False, with the
    // Windows error code, when it cannot be opened or is no module (error 193).
    bool Open(const char* path, uint32_t* error);

    // A resource's bytes, in the first language the module holds it in, as
    // the system lists them. type and name are written as the system's
    // resource functions take them: "#16" for a number, anything else a name
    // compared without regard to case. False when the module holds none.
    bool Find(const char* type, const char* name, WORD* language, const void** bytes,
              DWORD* size) const;

private:
    // The file offset of a relative address, and that size bytes are there.
    bool OffsetOf(uint32_t address, uint32_t size, uint32_t* offset) const;
    // A 16- or 32-bit value at a relative address; false beyond the file.
    bool Read(uint32_t address, uint32_t size, uint32_t* value) const;
    // The entry of the resource directory at directory (an offset in the
    // resource section) that the text names, or its first entry for null:
    // its name or number field and where it leads.
    bool Entry(uint32_t directory, const char* text, uint32_t* id, uint32_t* target) const;

    UniqueHandle file_;
    UniqueHandle mapping_;
    MappedView view_;
    const BYTE* bytes_ = nullptr;  // the view's
    uint32_t size_ = 0;
    uint32_t sections_ = 0;  // offset of the section table
    uint32_t section_count_ = 0;
    uint32_t resources_ = 0;  // relative address of the resource section; 0 for none
};
