#include "tree_snapshot.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "sandbox.h"

namespace {

uint64_t TimeOf(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::string Upper(std::string text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsDBCSLeadByte(c) && i + 1 < text.size()) {
            ++i;  // a trail byte is never a letter
        } else if (c >= 'a' && c <= 'z') {
            text[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void Add(const std::string& folder, const std::string& prefix, TreeSnapshot* snapshot) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        TreeEntry entry;
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.attributes = found.dwFileAttributes;
        entry.created = TimeOf(found.ftCreationTime);
        entry.written = TimeOf(found.ftLastWriteTime);
        if (!entry.folder)
            entry.bytes = ReadWholeFile(folder + "\\" + name);
        (*snapshot)[Upper(prefix + name)] = entry;
        if (entry.folder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Add(folder + "\\" + name, prefix + name + "\\", snapshot);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string Describe(const TreeEntry& entry, bool times) {
    char text[128];
    snprintf(text, sizeof text, "%s attributes %08lX", entry.folder ? "folder" : "file",
             entry.attributes);
    std::string line = text;
    if (times) {
        snprintf(text, sizeof text, " created %016llX written %016llX",
                 static_cast<unsigned long long>(entry.created),
                 static_cast<unsigned long long>(entry.written));
        line += text;
    }
    if (!entry.folder) {
        snprintf(text, sizeof text, " %zu bytes hash %016llX", entry.bytes.size(),
                 static_cast<unsigned long long>(std::hash<std::string>()(entry.bytes)));
        line += text;
    }
    return line;
}

}  // namespace

TreeSnapshot SnapshotOf(const std::string& folder) {
    TreeSnapshot snapshot;
    Add(folder, "", &snapshot);
    return snapshot;
}

std::string TreeDifferences(const TreeSnapshot& expected, const TreeSnapshot& actual, bool times) {
    std::vector<std::string> lines;
    for (const auto& entry : expected) {
        const auto now = actual.find(entry.first);
        if (now == actual.end()) {
            lines.push_back("gone: " + entry.first);
        } else if (Describe(now->second, times) != Describe(entry.second, times)) {
            lines.push_back("changed: " + entry.first + "\n    was " +
                            Describe(entry.second, times) + "\n    now " +
                            Describe(now->second, times));
        }
    }
    for (const auto& entry : actual) {
        if (expected.count(entry.first) == 0)
            lines.push_back("new: " + entry.first + " " + Describe(entry.second, times));
    }
    std::string report;
    for (size_t i = 0; i < lines.size() && i < 8; ++i) report += lines[i] + "\n";
    if (lines.size() > 8)
        report += std::to_string(lines.size() - 8) + " more\n";
    return report;
}

std::string SnapshotText(const TreeSnapshot& snapshot, bool times) {
    std::string text;
    for (const auto& entry : snapshot)
        text += entry.first + " " + Describe(entry.second, times) + "\n";
    return text;
}
