#include "script/symbols.h"

#include <cstdint>

#include "text/text_builder.h"

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

// A symbol group, brackets included, becomes the symbol's value.
class SymbolTable::SymbolResolver : public GroupResolver {
public:
    explicit SymbolResolver(const SymbolTable& table) : table_(table) {}
    bool Resolve(const TextBuffer& group, TextBuffer& replacement) override {
        return table_.Lookup(group.c_str(), replacement);
    }

private:
    const SymbolTable& table_;
};

// A function group becomes its result; one that cannot be computed stays.
class SymbolTable::FunctionResolver : public GroupResolver {
public:
    explicit FunctionResolver(const SymbolTable& table) : table_(table) {}
    bool Resolve(const TextBuffer& group, TextBuffer& replacement) override {
        replacement = group;
        replacement.Trim("{", "}");
        return table_.FunctionResult(replacement);
    }

private:
    const SymbolTable& table_;
};

bool SymbolTable::ExpandDefinitions(TextBuffer& too_long) {
    size_t total = 0;
    for (Entry& entry : entries_) {
        // Expanded in a copy: an entry that names itself sees its raw value.
        TextBuffer value = entry.value;
        const bool fits = ExpandValue(value);
        total += entry.name.Length() + value.Length();
        if (!fits || total > kMostSymbolBytes) {
            too_long = entry.name;
            return false;
        }
        entry.value = value;
    }
    return true;
}

bool SymbolTable::ExpandValue(TextBuffer& value) const {
    SymbolResolver symbols(*this);
    FunctionResolver functions(*this);
    if (ReplaceGroupsInRounds(value, "<", ">", kMostExpandedLength, symbols) ==
            GroupRounds::kTooLong ||
        ReplaceGroupsInRounds(value, "{", "}", kMostExpandedLength, functions) ==
            GroupRounds::kTooLong) {
        return false;
    }
    CollapseParentDirs(value);
    return true;
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
    // Counted wide, so that no range overflows; joined only as far as a
    // value may grow, beyond which the result is refused anyway.
    int64_t first = expression.Item(1, "\\").ToInt();
    int64_t last = expression.Item(2, "\\").ToInt();
    const int words = words_.WordCount();
    if (first < 0)
        first += words;
    if (last < 0)
        last += words;
    TextBuilder joined;
    for (int64_t k = first; k <= last && joined.Size() <= kMostExpandedLength; ++k) {
        if (k != first)
            joined.Append(", ");
        // Beyond the int range there are no words.
        if (k >= INT32_MIN && k <= INT32_MAX)
            joined.Append(words_.Words(static_cast<int>(k), static_cast<int>(k)).c_str());
    }
    expression = joined.Text();
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
