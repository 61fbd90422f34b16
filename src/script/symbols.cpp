#include "script/symbols.h"

#include <algorithm>
#include <cstdint>

#include "text/text_builder.h"

void EmptyExpansions::Replace(size_t first, size_t last, size_t length) {
    // Marks up to first stay as they are; expansion goes from left to right,
    // so there are seldom many behind them.
    int kept = offsets_.Count();
    while (kept > 0 && offsets_[kept - 1] > first) --kept;
    const int end = offsets_.Count();
    for (int i = kept; i < end; ++i) {
        const size_t offset = offsets_[i];
        if (offset <= last)
            continue;
        const size_t moved = offset - (last - first + 1) + length;
        if (kept == 0 || offsets_[kept - 1] != moved)
            offsets_[kept++] = moved;
    }
    offsets_.Truncate(kept);
}

void EmptyExpansions::Merge(const size_t* more, int count, size_t shift) {
    // Most often all of them lie behind the marks there are.
    int i = 0;
    while (i < count && (offsets_.Count() == 0 || offsets_[offsets_.Count() - 1] < more[i] + shift))
        offsets_.Add(more[i++] + shift);
    if (i == count)
        return;
    List<size_t> merged;
    int k = 0, j = i;
    while (k < offsets_.Count() || j < count) {
        const bool ours = j == count || (k < offsets_.Count() && offsets_[k] <= more[j] + shift);
        const size_t next = ours ? offsets_[k++] : more[j++] + shift;
        if (merged.Count() == 0 || merged[merged.Count() - 1] != next)
            merged.Add(next);
    }
    offsets_ = std::move(merged);
}

bool EmptyExpansions::AnyIn(size_t first, size_t last) const {
    // In order: the first mark at or after first decides.
    const size_t* mark = std::lower_bound(offsets_.begin(), offsets_.end(), first);
    return mark != offsets_.end() && *mark <= last;
}

void SymbolTable::Append(const TextBuffer& name, const TextBuffer& value) {
    Entry entry;
    entry.name = name;
    entry.value = value;
    entries_.Add(std::move(entry));
}

void SymbolTable::AddDefinition(const TextBuffer& line) {
    Append(line.Item(0, "="), line.Item(1, "="));
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
    Append(name, value);
}

bool SymbolTable::Lookup(const char* name, TextBuffer& value) const {
    const Entry* entry = Find(name);
    if (entry == nullptr)
        return false;
    value = entry->value;
    return true;
}

// Marks where a replacement put nothing, and carries along the marks within
// what it put there.
class SymbolTable::EmptyTracker : public GroupResolver {
public:
    explicit EmptyTracker(EmptyExpansions& empties) : empties_(empties) {}
    void Replaced(ptrdiff_t start, ptrdiff_t end, size_t length) override {
        const size_t first = static_cast<size_t>(start);
        empties_.Replace(first, static_cast<size_t>(end), length);
        empties_.AddAt(inner_, first);
        if (length == 0)
            empties_.Add(first);
    }

protected:
    EmptyExpansions& empties_;
    EmptyExpansions inner_;  // within the replacement that Resolve gave last
};

// A symbol group, brackets included, becomes the symbol's value.
class SymbolTable::SymbolResolver : public EmptyTracker {
public:
    SymbolResolver(const SymbolTable& table, EmptyExpansions& empties)
        : EmptyTracker(empties), table_(table) {}
    bool Resolve(const TextBuffer& group, TextBuffer& replacement) override {
        const Entry* entry = table_.Find(group.c_str());
        if (entry == nullptr)
            return false;
        replacement = entry->value;
        inner_ = EmptyExpansions();
        inner_.AddAt(entry->empties, 0);
        return true;
    }

private:
    const SymbolTable& table_;
};

// A function group becomes its result; one that cannot be computed stays.
class SymbolTable::FunctionResolver : public EmptyTracker {
public:
    FunctionResolver(const SymbolTable& table, EmptyExpansions& empties)
        : EmptyTracker(empties), table_(table) {}
    bool Resolve(const TextBuffer& group, TextBuffer& replacement) override {
        replacement = group;
        replacement.Trim("{", "}");
        inner_ = EmptyExpansions();
        return table_.FunctionResult(replacement, inner_);
    }

private:
    const SymbolTable& table_;
};

bool SymbolTable::ExpandDefinitions(TextBuffer& too_long) {
    size_t total = 0;
    for (Entry& entry : entries_) {
        // Expanded in a copy: an entry that names itself sees its raw value.
        TextBuffer value = entry.value;
        EmptyExpansions empties;
        const bool fits = ExpandValue(value, &empties);
        total += entry.name.Length() + value.Length();
        if (!fits || total > kMostSymbolBytes) {
            too_long = entry.name;
            return false;
        }
        entry.value = value;
        entry.empties = std::move(empties);
    }
    return true;
}

bool SymbolTable::ExpandValue(TextBuffer& value, EmptyExpansions* empties) const {
    EmptyExpansions marks;
    SymbolResolver symbols(*this, marks);
    FunctionResolver functions(*this, marks);
    if (ReplaceGroupsInRounds(value, "<", ">", kMostExpandedLength, symbols) ==
            GroupRounds::kTooLong ||
        ReplaceGroupsInRounds(value, "{", "}", kMostExpandedLength, functions) ==
            GroupRounds::kTooLong) {
        return false;
    }
    CollapseParentDirs(value, &marks);
    if (empties != nullptr)
        *empties = std::move(marks);
    return true;
}

bool SymbolTable::FunctionResult(TextBuffer& expression, EmptyExpansions& empties) const {
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
        expression = Word(argument.ToInt());
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
        const TextBuffer word = Word(k);
        if (word.IsEmpty())
            empties.Add(joined.Size());
        joined.Append(word.c_str());
    }
    expression = joined.Text();
    return true;
}

TextBuffer SymbolTable::Word(int64_t k) const {
    // Beyond the int range there are no words.
    TextBuffer word = k >= INT32_MIN && k <= INT32_MAX
                          ? words_.Words(static_cast<int>(k), static_cast<int>(k))
                          : TextBuffer();
    if (word.IsEmpty() && absent_word_ != nullptr)
        word = absent_word_;
    return word;
}

bool CollapseParentDirs(TextBuffer& value, EmptyExpansions* empties) {
    if (value.CountOf("\\..") == 0)
        return false;
    const int rounds = value.ItemCount("\\") - 2;
    bool changed = false;
    // Component 0 (the drive) is never removed.
    for (int round = 0, p = 0, a = 2; round < rounds && p >= 0; ++round) {
        if (EqualsNoCase(value.Item(a, "\\").c_str(), "..")) {
            // Components p + 1 to a go, each with the backslash before it.
            ptrdiff_t start = 0, kept_end = 0, removed_end = 0;
            if (empties != nullptr && value.FindItems(p, p, "\\", &start, &kept_end) &&
                value.FindItems(a, a, "\\", &start, &removed_end)) {
                empties->Replace(static_cast<size_t>(kept_end + 1),
                                 static_cast<size_t>(removed_end), 0);
            }
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
