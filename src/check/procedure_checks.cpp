// Each procedure's keys and items, by the rows of its kind.
#include <algorithm>
#include <cstring>

#include "check/checks.h"
#include "check/nearest.h"
#include "script/condition.h"
#include "script/script_keys.h"
#include "text/code_page.h"
#include "text/version_number.h"

namespace {

// Whether the last character of path is a backslash that separates.
bool EndsWithSeparator(const TextBuffer& path) {
    const char* text = path.c_str();
    ptrdiff_t last = -1;
    for (ptrdiff_t p = FindText(text, 0, "\\"); p >= 0; p = FindText(text, p + 1, "\\")) last = p;
    return last >= 0 && static_cast<size_t>(last) + 1 == path.Length();
}

// What a folder path ending in a backslash does in each kind.
const char* TrailingSeparatorOutcome(KindId kind, const char* key) {
    const bool from = strcmp(key, "FROM") == 0;
    switch (kind) {
        case KindId::kCopy:
            return from ? "the copy fails (message 8)" : "write the folder without it";
        case KindId::kMove:
            return from ? "the move fails (message 14)" : "write the folder without it";
        case KindId::kDelete:
            return "nothing is deleted";
        case KindId::kExist:
            return "it never exists";
        case KindId::kMakeDir:
            return "MAKEDIR fails after making the folders (message 13)";
        default:
            return "write paths without it";
    }
}

// "1 item", "2 items".
TextBuffer Counted(long long n, const char* noun) {
    return Number(n) + " " + noun + (n == 1 ? "" : "s");
}

void Words(const KeySpec& key, List<const char*>& words) {
    for (int i = 0; key.words[i] != nullptr; ++i) words.Add(key.words[i]);
}

TextBuffer WordList(const KeySpec& key) {
    TextBuffer words;
    for (int i = 0; key.words[i] != nullptr; ++i) {
        words.Append(i == 0 ? "" : ", ");
        words.Append(key.words[i]);
    }
    return words;
}

TextBuffer MeantAs(const char* hint) {
    return hint != nullptr ? "; did you mean \"" + (hint + TextBuffer("\"?")) : TextBuffer();
}

// Why a key reads as missing. kind: whose keys to list when it is absent.
TextBuffer Missing(const Script& script, const ProfileSection& section, const char* key,
                   const KindSpec* kind) {
    const ProfileEntry* entry = script.text.FindEntry(section.name.c_str(), key);
    if (entry == nullptr) {
        TextBuffer keys;
        for (int i = 0; kind != nullptr && i < kind->key_count; ++i) {
            keys.Append(i == 0 ? "" : ", ");
            keys.Append(kind->keys[i].name);
        }
        return "[" + (section.name.c_str() + ("] has no " + TextBuffer(key))) + " key" +
               (kind != nullptr ? ": " + (kind->mode + (" reads " + keys)) : TextBuffer()) +
               " (message 2)";
    }
    if (!entry->hasValue)
        return key + TextBuffer(" has no '=': it reads as a missing key (message 2)");
    return key + TextBuffer(" is NO_DATA, which reads as a missing key (message 2)");
}

void CheckUnknownKeys(Check& check, const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    const bool updater = kind.id == KindId::kUpdater;
    List<const char*> known;
    if (!updater)
        known.Add("MODE");
    for (int k = 0; k < KeyCount(kind); ++k) known.Add(KeyAt(kind, k).name);
    for (const ProfileEntry& entry : info.section->entries) {
        const TextBuffer name(entry.name.c_str());
        if (name.IsEmpty() || name.c_str()[0] == ';')
            continue;
        if (std::any_of(known.begin(), known.end(),
                        [&](const char* key) { return SameName(name, key); }))
            continue;
        const char* hint = Nearest(name.c_str(), known);
        check.findings.Warning(
            entry.line, (updater ? "[UPDATER]" : kind.mode) + (" does not read " + Quoted(name)) +
                            (hint == nullptr ? TextBuffer(": it is ignored")
                                             : "; did you mean " + (hint + TextBuffer("?"))));
    }
}

// A key of one value.
void CheckValue(Check& check, const ProcedureInfo& info, const KeySpec& key, const KeyRead& read) {
    const KindSpec& kind = *info.kind;
    const TextBuffer& value = read.value;
    const int line = read.line;
    if (key.items == ItemForm::kWord && !value.IsEmpty() && WordIndex(key, value.c_str()) < 0) {
        List<const char*> words;
        Words(key, words);
        const char* hint = Nearest(value.c_str(), words);
        check.findings.Error(
            line, "unknown " + (kind.mode + (" " + TextBuffer(key.name))) + " " + Quoted(value) +
                      (hint == nullptr ? ": it must be one of " + WordList(key) : MeantAs(hint)) +
                      " (message 6)");
    }
    if (key.items == ItemForm::kDecimal || key.items == ItemForm::kHex)
        CheckNumber(check, value, key.items == ItemForm::kHex, key.name, line);
    if (key.items == ItemForm::kYes && !value.IsEmpty() && !SameName(value, "YES") &&
        !SameName(value, "NO")) {
        List<const char*> yes;
        yes.Add("YES");
        check.findings.Warning(line, key.name + (" " + Quoted(value)) +
                                         " is not YES, so it is off" +
                                         MeantAs(Nearest(value.c_str(), yes)));
    }
    uint32_t seconds = 0;
    if (key.items == ItemForm::kSeconds && !ParseRetrySeconds(value, &seconds))
        check.findings.Error(line, key.name + (" " + Quoted(value)) +
                                       " is not a number of whole seconds from 0 to 600 "
                                       "(message 2)");
    VersionNumber version;
    if (key.items == ItemForm::kVersion && !ParseVersion(value.c_str(), &version))
        check.findings.Error(line, key.name + (" " + Quoted(value)) +
                                       " is not a Windows version: write major.minor or "
                                       "major.minor.build (message 2)");
    if (key.items == ItemForm::kPath && EndsWithSeparator(value))
        check.findings.Warning(
            line, key.name + (" " + Quoted(read.raw)) +
                      " ends with a backslash: " + TrailingSeparatorOutcome(kind.id, key.name));
}

// A key of "," items; main_count: the items of the kind's main list.
void CheckList(Check& check, const ProcedureInfo& info, const KeySpec& key, const KeyRead& read,
               int main_count) {
    const KindSpec& kind = *info.kind;
    const int line = read.line;
    List<TextBuffer> items, written;
    ListItems(read.value, items);
    ListItems(read.raw, written);
    // The words of a paired key are needed for every item of the main list.
    const int count = key.items == ItemForm::kWord && key.paired
                          ? std::max(items.Count(), main_count)
                          : items.Count();
    for (int i = 0; i < count; ++i) {
        const TextBuffer item = i < items.Count() ? items[i] : TextBuffer();
        // Show the item as written where the list was not reshaped by expansion.
        const TextBuffer& shown =
            written.Count() == items.Count() && i < written.Count() ? written[i] : item;
        const TextBuffer what = key.name + (" item " + Number(i + 1));
        if (key.main && item.IsEmpty())
            check.findings.Warning(line, what + " is empty");
        if (key.items == ItemForm::kWord && WordIndex(key, item.c_str()) < 0) {
            List<const char*> words;
            Words(key, words);
            const char* hint = item.IsEmpty() ? nullptr : Nearest(item.c_str(), words);
            check.findings.Error(line, what +
                                           (item.IsEmpty() ? TextBuffer(" is missing")
                                                           : " " + Quoted(item) + " is unknown") +
                                           (hint == nullptr ? ": it must be one of " + WordList(key)
                                                            : MeantAs(hint)));
        }
        if (key.items == ItemForm::kDecimal || key.items == ItemForm::kHex)
            CheckNumber(check, item, key.items == ItemForm::kHex, what, line);
        if (key.items == ItemForm::kPath && EndsWithSeparator(item))
            check.findings.Warning(line, what + " " + Quoted(shown) + " ends with a backslash: " +
                                             TrailingSeparatorOutcome(kind.id, key.name));
    }
}

void CheckItems(Check& check, const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    const KeySpec* main = MainKey(kind);
    const int main_count = main != nullptr ? info.Key(main->name).value.ItemCount(",") : 0;
    for (int k = 0; k < KeyCount(kind); ++k) {
        const KeySpec& key = KeyAt(kind, k);
        const KeyRead& read = info.keys[k];
        if (!read.present)
            continue;
        const bool list = key.form == KeyForm::kList || key.form == KeyForm::kProcedureList;
        if (key.required && (list ? read.value.ItemCount(",") == 0 : read.value.IsEmpty())) {
            check.findings.Error(
                read.line, key.name + (" is empty: " + TextBuffer(kind.mode)) +
                               (key.main ? " needs at least one item (message 4)" : " needs it"));
            continue;
        }
        if (key.form == KeyForm::kList)
            CheckList(check, info, key, read, main_count);
        else if (key.form != KeyForm::kProcedureList)
            CheckValue(check, info, key, read);
    }
}

void CheckPairs(Check& check, const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    const KeySpec* main = MainKey(kind);
    if (main == nullptr || !info.Key(main->name).present)
        return;
    const long long main_count = info.Key(main->name).value.ItemCount(",");
    if (main_count == 0)
        return;
    for (int k = 0; k < KeyCount(kind); ++k) {
        const KeySpec& key = KeyAt(kind, k);
        const long long count = info.keys[k].value.ItemCount(",");
        // SHELL's missing words and targets are checked item by item; an
        // empty list (CRC's for measuring) is meant so.
        if (!key.paired || !info.keys[k].present || count == 0 || count == main_count ||
            (kind.id == KindId::kShell && count < main_count))
            continue;
        TextBuffer outcome;
        if (kind.id == KindId::kLink) {
            outcome = count > main_count
                          ? "only " + Counted(main_count, "shortcut") +
                                (main_count == 1 ? " is" : " are") +
                                " made; repeat the SRC item for each shortcut"
                          : TextBuffer(
                                "a SRC item without its DST item is saved as \".LNK\" in "
                                "the current folder");
        } else if (count > main_count) {
            outcome = "the extra " + (key.name + TextBuffer(" items are ignored"));
        } else if (kind.id == KindId::kCrc) {
            outcome = "the files after item " + Number(count) +
                      " are measured, not checked (a box shows each CRC)";
        } else {
            outcome = main->name + (" items after item " + Number(count)) + " get an empty " +
                      key.name + " item";
        }
        check.findings.Warning(info.keys[k].line,
                               main->name + (" has " + Counted(main_count, "item")) + " but " +
                                   key.name + " has " + Number(count) + ": " + outcome);
    }
}

// Every name is a procedure whose flag is false, and is noted.
class NameRecorder : public ConditionFlags {
public:
    explicit NameRecorder(List<TextBuffer>& names) : names_(names) {}
    bool Find(const char* name, bool* flag) const override {
        names_.Add(name);
        *flag = false;
        return true;
    }

private:
    List<TextBuffer>& names_;
};

}  // namespace

bool ConditionNames(const TextBuffer& condition, List<TextBuffer>& names) {
    return ReadCondition(condition, NameRecorder(names)).fault == ConditionFault::kNone;
}

void CheckSectionKeys(Check& check, const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    for (int k = 0; k < KeyCount(kind); ++k) {
        const KeySpec& key = KeyAt(kind, k);
        const KeyRead& read = info.keys[k];
        if (!read.present) {
            if (k < kind.key_count)  // the others may be left out
                check.findings.Error(read.line,
                                     Missing(check.script, *info.section, key.name,
                                             kind.id == KindId::kUpdater ? nullptr : &kind));
            continue;
        }
        if (key.form != KeyForm::kNumber)
            CheckWritten(check, read.raw, read.line, key.items == ItemForm::kProse);
    }
    CheckUnknownKeys(check, info);
    CheckItems(check, info);
    CheckPairs(check, info);
}

void CheckProcedures(Check& check) {
    List<const char*> modes;
    for (int i = 0; i < KindCount(); ++i) modes.Add(KindAt(i).mode);
    for (const ProcedureInfo& info : check.script.procedures) {
        const KeyRead& mode = info.mode;
        if (!mode.present) {
            check.findings.Error(mode.line, Missing(check.script, *info.section, "MODE", nullptr));
            continue;
        }
        CheckWritten(check, mode.raw, mode.line, false);
        if (!mode.expanded)
            continue;
        if (info.kind_guessed)
            check.findings.Error(
                mode.line, mode.value.IsEmpty()
                               ? TextBuffer("MODE is empty: it names no kind (message 6)")
                               : "unknown MODE " + Quoted(mode.value) +
                                     MeantAs(info.kind != nullptr ? info.kind->mode : nullptr) +
                                     " (message 6)");
        if (info.kind == nullptr)
            continue;
        CheckSectionKeys(check, info);
        if (const KindRules rules = RulesOf(info.kind->id))
            rules(check, info);
        CheckAims(check, info);
    }
}

void CheckListNames(Check& check, const TextBuffer& value, const char* key, int line) {
    List<TextBuffer> names;
    ListItems(value, names);
    for (int i = 0; i < names.Count(); ++i) {
        if (names[i].IsEmpty()) {
            check.findings.Error(line, key + (" item " + Number(i + 1)) +
                                           " is empty: no section has an empty name (message 2)");
            continue;
        }
        const ProfileSection* section = check.script.Section(names[i].c_str());
        if (section == nullptr) {
            check.findings.Error(line, Quoted(names[i]) + " in " + key + " has no section" +
                                           SectionHint(check, names[i].c_str()) + " (message 2)");
        } else if (check.script.ProcedureOf(section) == nullptr) {
            check.findings.Error(
                section->line,
                "[" + (section->name.c_str() + TextBuffer("] has no MODE key (message 2)")));
        }
    }
}

void CheckConditionText(Check& check, const TextBuffer& condition, const char* key, int line) {
    List<TextBuffer> names;
    const ConditionOutcome outcome = ReadCondition(condition, NameRecorder(names));
    if (outcome.fault != ConditionFault::kNone) {
        const char* why = outcome.fault == ConditionFault::kNotAfterNot ? "NOT cannot follow NOT"
                          : outcome.fault == ConditionFault::kNotAsOperator
                              ? "NOT stands where AND or OR belongs"
                              : "AND or OR is missing before it";
        check.findings.Error(line, key + (" condition " + Quoted(condition)) +
                                       " does not parse at " + Quoted(outcome.token) + ": " + why +
                                       " (message 6)");
        return;
    }
    if (!condition.IsEmpty() && strspn(condition.c_str(), " ") == condition.Length())
        check.findings.Warning(line, key + TextBuffer(" condition of spaces only is always false"));
    for (const TextBuffer& name : names) {
        if (check.script.Section(name.c_str()) == nullptr)
            check.findings.Error(line, key + (" condition names " + Quoted(name)) +
                                           ", but no section has that name" +
                                           SectionHint(check, name.c_str()) + " (message 6)");
    }
}

TextBuffer SectionHint(Check& check, const char* name) {
    const char* hint = check.Hint(name, check.script.section_names);
    return hint != nullptr ? "; did you mean [" + (hint + TextBuffer("]?")) : TextBuffer();
}
