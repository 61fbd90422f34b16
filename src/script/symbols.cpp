#include "script/symbols.h"

#include <shlobj.h>

#include "app/run_state.h"
#include "procs/system/process.h"
#include "script/reader.h"

namespace {

TextBuffer g_symbol_text;  // entries "<Name>=value" joined by line feeds
int g_symbol_count = 0;

const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// An open registry key, closed on every path.
class RegistryKey {
public:
    RegistryKey(HKEY root, const TextBuffer& sub_key) : root_(root), sub_key_(sub_key) {}
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Open() {
        Close();
        return root_ != nullptr &&
               RegOpenKeyExA(root_, sub_key_.c_str(), 0, KEY_READ, &handle_) == ERROR_SUCCESS;
    }
    // The value's bytes as a text; its type is not examined.
    bool ReadString(const char* value_name, TextBuffer& target) {
        DWORD size = 0;
        if (RegQueryValueExA(handle_, value_name, nullptr, nullptr, nullptr, &size) !=
                ERROR_SUCCESS ||
            size == 0) {
            return false;
        }
        // One byte more than the value, so that a value stored without its
        // terminating zero still ends in one.
        if (!target.Reserve(size + 1))
            return false;
        return RegQueryValueExA(handle_, value_name, nullptr, nullptr,
                                reinterpret_cast<BYTE*>(target.data()), &size) == ERROR_SUCCESS;
    }
    void Close() {
        if (handle_ != nullptr)
            RegCloseKey(handle_);
        handle_ = nullptr;
    }

private:
    HKEY root_;
    TextBuffer sub_key_;
    HKEY handle_ = nullptr;
};

// An item list from the shell, released through the shell's allocator.
class ItemIdList {
public:
    ~ItemIdList() {
        IMalloc* allocator = nullptr;
        if (list != nullptr && SUCCEEDED(SHGetMalloc(&allocator))) {
            allocator->Free(list);
            allocator->Release();
        }
    }
    LPITEMIDLIST list = nullptr;
};

TextBuffer EntryName(const TextBuffer& entry) {
    return entry.Item(0, "=");
}

bool FunctionResult(TextBuffer& expression) {
    const TextBuffer name = expression.Item(0, "\\");
    const TextBuffer argument = expression.Item(1, "\\");
    if (EqualsNoCase(name.c_str(), "?App")) {
        return GetAppPathValue(argument.c_str(), expression, kAppPathDefault);
    }
    if (EqualsNoCase(name.c_str(), "?AppPath")) {
        if (!GetAppPathValue(argument.c_str(), expression, kAppPathPath))
            return false;
        RemoveTrailingSeparators(expression);
        expression.Trim("", ";");
        return true;
    }
    if (EqualsNoCase(name.c_str(), "?SpFolder")) {
        if (!GetSpecialFolder(nullptr, expression, static_cast<int>(argument.ToHex()))) {
            return false;
        }
        RemoveTrailingSeparators(expression);
        return true;
    }
    if (EqualsNoCase(name.c_str(), "?Param")) {
        if (expression.ItemCount("\\") == 3) {
            int first = expression.Item(1, "\\").ToInt();
            int last = expression.Item(2, "\\").ToInt();
            const int words = CommandLine.WordCount();
            if (first < 0)
                first += words;
            if (last < 0)
                last += words;
            TextBuffer joined;
            for (int k = first; k <= last; ++k) {
                if (k != first)
                    joined.Append(", ");
                joined.Append(CommandLine.Words(k, k));
            }
            expression = joined;
        } else {
            expression = CommandLine.Words(argument.ToInt(), argument.ToInt());
        }
        return true;
    }
    return false;
}

}  // namespace

const TextBuffer& SymbolText() {
    return g_symbol_text;
}
int SymbolCount() {
    return g_symbol_count;
}

bool DefineSymbols() {
    g_symbol_count = ReadSection("DEFINE", g_symbol_text);

    TextBuffer work;
    work.Reserve(MAX_PATH);
    GetWindowsDirectoryA(work.data(), MAX_PATH);
    DefineSymbol("<Win>", work.c_str());
    work.Reserve(MAX_PATH);
    GetSystemDirectoryA(work.data(), MAX_PATH);
    DefineSymbol("<Sys>", work.c_str());
    DefineSymbol("<Src>", ProgramPath.Items(0, -2, "\\").c_str());

    const bool nt = IsNtPlatform();
    // A failed lookup leaves the work buffer as it was; the symbol gets that.
    GetSpecialFolder(nullptr, work, nt ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
    DefineSymbol("<Desktop>", work.c_str());
    GetSpecialFolder(nullptr, work, nt ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
    DefineSymbol("<Programs>", work.c_str());

    work.Reserve(256);
    GetTempPathA(256, work.data());
    if (work.CountOf("\\") > 0)
        work = work.Items(0, -2, "\\");
    DefineSymbol("<Temp>", work.c_str());

    ExpandDefinitions();
    return true;
}

void DefineSymbol(const char* name, const char* value) {
    for (int i = 0; i < g_symbol_count; ++i) {
        TextBuffer entry = g_symbol_text.Item(i, "\n");
        if (EqualsNoCase(EntryName(entry).c_str(), name)) {
            entry.ReplaceItems(1, 1, "=", value);
            g_symbol_text.ReplaceItems(i, i, "\n", entry.c_str());
            return;
        }
    }
    if (g_symbol_count > 0)
        g_symbol_text.Append("\n");
    g_symbol_text.Append(name);
    g_symbol_text.Append("=");
    g_symbol_text.Append(value);
    ++g_symbol_count;
}

bool LookupSymbol(const char* name, TextBuffer& target) {
    for (int i = 0; i < g_symbol_count; ++i) {
        const TextBuffer entry = g_symbol_text.Item(i, "\n");
        if (EqualsNoCase(EntryName(entry).c_str(), name)) {
            target = entry.Item(1, "=");
            return true;
        }
    }
    return false;
}

void ExpandValue(TextBuffer& value) {
    ExpandSymbols(value);
    ExpandFunctions(value);
    CollapseParentDirs(value);
}

bool ExpandSymbols(TextBuffer& value) {
    const int count = value.GroupCount("<", ">");
    bool replaced = false;
    // The number of rounds is fixed at the start: a group brought in by a
    // replacement is looked at only while rounds remain.
    for (int round = 0, i = 0; round < count; ++round) {
        TextBuffer symbol;
        if (LookupSymbol(value.Groups(i, i, "<", ">").c_str(), symbol)) {
            value.ReplaceGroups(i, i, "<", ">", symbol.c_str());
            replaced = true;
        } else {
            ++i;
        }
    }
    return replaced;
}

bool ExpandFunctions(TextBuffer& value) {
    const int count = value.GroupCount("{", "}");
    bool replaced = false;
    for (int round = 0, i = 0; round < count; ++round) {
        TextBuffer expression = value.Groups(i, i, "{", "}");
        expression.Trim("{", "}");
        if (FunctionResult(expression)) {
            value.ReplaceGroups(i, i, "{", "}", expression.c_str());
            replaced = true;
        } else {
            ++i;
        }
    }
    return replaced;
}

bool CollapseParentDirs(TextBuffer& value) {
    if (value.CountOf("\\..") == 0)
        return false;
    const int rounds = value.ItemCount("\\") - 2;
    bool changed = false;
    // Component 0 (the drive) is never removed.
    for (int round = 0, p = 0, a = 2; round < rounds && p >= 0; ++round) {
        if (EqualsNoCase(value.Item(a, "\\").c_str(), "..")) {
            value.ReplaceItems(p, a, "\\", value.Item(p, "\\").c_str());
            changed = true;
            --p;
            --a;
        } else {
            ++p;
            ++a;
        }
    }
    return changed;
}

void ExpandDefinitions() {
    for (int i = 0; i < g_symbol_count; ++i) {
        TextBuffer entry = g_symbol_text.Item(i, "\n");
        TextBuffer value = entry.Item(1, "=");
        const bool symbols = ExpandSymbols(value);
        const bool functions = ExpandFunctions(value);
        const bool parents = CollapseParentDirs(value);
        if (symbols || functions || parents) {
            entry.ReplaceItems(1, 1, "=", value.c_str());
            g_symbol_text.ReplaceItems(i, i, "\n", entry.c_str());
        }
    }
}

bool GetAppPathValue(const char* name, TextBuffer& target, AppPathValue which) {
    RegistryKey key(HKEY_LOCAL_MACHINE, TextBuffer(kAppPathsKey) + name);
    if (!key.Open())
        return false;
    return key.ReadString(which == kAppPathDefault ? "" : "PATH", target);
}

bool GetSpecialFolder(HWND owner, TextBuffer& target, int csidl) {
    ItemIdList location;
    if (FAILED(SHGetSpecialFolderLocation(owner, csidl, &location.list)))
        return false;
    if (!target.Reserve(MAX_PATH))
        return false;
    return SHGetPathFromIDListA(location.list, target.data()) != FALSE;
}
