// A script held in memory, and system lookups that find nothing: what an
// in-process test builds a run context from.
#pragma once

#include <map>
#include <string>

#include "script/script_source.h"
#include "script/symbols.h"

// A script as section -> key -> value; the procedures' lists are read as the
// program reads them.
struct MemoryScript : ScriptSource {
    std::map<std::string, std::map<std::string, std::string>> sections;
    bool ReadValue(const char* section, const char* key, size_t, TextBuffer& value) const override {
        const auto s = sections.find(section);
        if (s == sections.end() || s->second.count(key) == 0)
            return false;
        value = s->second.at(key).c_str();
        return true;
    }
    void ReadSection(const char*, size_t, ByteArray& lines) const override { lines.Clear(); }
};

struct NoLookups : SystemLookups {
    bool AppPath(const char*, AppPathValue, TextBuffer&) const override { return false; }
    bool SpecialFolder(int, TextBuffer&) const override { return false; }
};
