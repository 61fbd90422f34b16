#include "script/symbols.h"

void SymbolTable::AddDefinition(const TextBuffer& line) {
    entries_.Add({line.Item(0, "="), line.Item(1, "=")});
}

const SymbolTable::Entry* SymbolTable::Find(const char* name) const {
    for (const Entry& entry : entries_) {
        if (EqualsNoCase(entry.name.c_str(), name))
            return &entry;
    }
    return nullptr;
}

SymbolTable::Entry* SymbolTable::Find(const char* name) {
    return const_cast<Entry*>(static_cast<const SymbolTable*>(this)->Find(name));
}

void SymbolTable::Define(const char* name, const char* value) {
    if (Entry* entry = Find(name)) {
        entry->value = value;
        return;
    }
    entries_.Add({name, value});
}

bool SymbolTable::Lookup(const char* name, TextBuffer& value) const {
    const Entry* entry = Find(name);
    if (entry == nullptr)
        return false;
    value = entry->value;
    return true;
}

void SymbolTable::ExpandDefinitions() {
    for (Entry& entry : entries_) {
        // Expanded in a copy: an entry that names itself sees its raw value.
        TextBuffer value = entry.value;
        ExpandValue(value);
        entry.value = value;
    }
}

void SymbolTable::ExpandValue(TextBuffer& value) const {
    ExpandSymbols(value);
    ExpandFunctions(value);
    CollapseParentDirs(value);
}

bool SymbolTable::ExpandSymbols(TextBuffer& value) const {
    const int count = value.GroupCount("<", ">");
    bool replaced = false;
    // The number of rounds is fixed at the start: a group brought in by a
    // replacement is looked at only while rounds remain.
    for (int round = 0, i = 0; round < count; ++round) {
        TextBuffer symbol;
        if (Lookup(value.Groups(i, i, "<", ">").c_str(), symbol)) {
            value.ReplaceGroups(i, i, "<", ">", symbol.c_str());
            replaced = true;
        } else {
            ++i;
        }
    }
    return replaced;
}

bool SymbolTable::ExpandFunctions(TextBuffer& value) const {
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

bool SymbolTable::FunctionResult(TextBuffer& expression) const {
    const TextBuffer name = expression.Item(0, "\\");
    const TextBuffer argument = expression.Item(1, "\\");
    if (EqualsNoCase(name.c_str(), "?App"))
        return lookups_.AppPath(argument.c_str(), kAppPathDefault, expression);
    if (EqualsNoCase(name.c_str(), "?AppPath")) {
        if (!lookups_.AppPath(argument.c_str(), kAppPathPath, expression))
            return false;
        RemoveTrailingSeparators(expression);
        expression.Trim("", ";");
        return true;
    }
    if (EqualsNoCase(name.c_str(), "?SpFolder")) {
        if (!lookups_.SpecialFolder(static_cast<int>(argument.ToHex()), expression))
            return false;
        RemoveTrailingSeparators(expression);
        return true;
    }
    if (!EqualsNoCase(name.c_str(), "?Param"))
        return false;
    if (expression.ItemCount("\\") != 3) {
        expression = words_.Words(argument.ToInt(), argument.ToInt());
        return true;
    }
    int first = expression.Item(1, "\\").ToInt();
    int last = expression.Item(2, "\\").ToInt();
    const int words = words_.WordCount();
    if (first < 0)
        first += words;
    if (last < 0)
        last += words;
    TextBuffer joined;
    for (int k = first; k <= last; ++k) {
        if (k != first)
            joined.Append(", ");
        joined.Append(words_.Words(k, k));
    }
    expression = joined;
    return true;
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
