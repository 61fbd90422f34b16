#include <algorithm>
#include <cstring>

#include "check/nearest.h"
#include "check/script_check.h"
#include "script/condition.h"
#include "text/code_page.h"

namespace {

const size_t kShellNameLimit = 258;  // the shell's name and its two zeros in 260 bytes
const size_t kLinkPathLimit = 259;   // characters of a shortcut's path, ".LNK" included

// Every name is a procedure whose flag is false, and is noted.
class NameRecorder : public ConditionFlags {
public:
    explicit NameRecorder(std::vector<std::string>* names) : names_(names) {}
    bool Find(const char* name, bool* flag) const override {
        names_->push_back(name);
        *flag = false;
        return true;
    }

private:
    std::vector<std::string>* names_;
};

// Whether the last character of path is a backslash that separates.
bool EndsWithSeparator(const TextBuffer& path) {
    const char* text = path.c_str();
    ptrdiff_t last = -1;
    for (ptrdiff_t p = FindText(text, 0, "\\"); p >= 0; p = FindText(text, p + 1, "\\")) last = p;
    return last >= 0 && static_cast<size_t>(last) + 1 == path.Length();
}

size_t Characters(const TextBuffer& text) {
    size_t count = 0;
    for (const char* p = text.c_str(); *p != '\0'; ++count)
        p += (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
    return count;
}

bool EndsWithNoCase(const TextBuffer& text, const char* tail) {
    const size_t length = strlen(tail);
    return text.Length() >= length && EqualsNoCase(text.c_str() + text.Length() - length, tail);
}

// What a folder path ending in a backslash does in each kind.
std::string TrailingSeparatorOutcome(KindId kind, const char* key) {
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
std::string Counted(long long n, const char* noun) {
    return Number(n) + " " + noun + (n == 1 ? "" : "s");
}

std::vector<std::string> Words(const KeySpec& key) {
    std::vector<std::string> words;
    for (int i = 0; key.words[i] != nullptr; ++i) words.push_back(key.words[i]);
    return words;
}

std::string WordList(const KeySpec& key) {
    std::string words;
    for (int i = 0; key.words[i] != nullptr; ++i)
        words += std::string(i == 0 ? "" : ", ") + key.words[i];
    return words;
}

}  // namespace

bool ConditionNames(const TextBuffer& condition, std::vector<std::string>* names) {
    return ReadCondition(condition, NameRecorder(names)).fault == ConditionFault::kNone;
}

void ScriptCheck::CheckProcedure(const ProfileSection& section) {
    if (procedures_.count(&section) != 0)
        return;
    ProcedureInfo& info = procedures_[&section];
    info.section = &section;
    TextBuffer raw;
    int line = 0;
    if (!ReadRaw(section, "MODE", false, raw, &line)) {
        findings_.Error(line, Missing(section, "MODE"));
        return;
    }
    CheckWritten(raw, line);
    TextBuffer mode;
    if (!Expand(raw, line, mode))
        return;
    info.kind = FindKind(mode.c_str());
    if (info.kind == nullptr) {
        std::vector<std::string> kinds;
        for (int i = 0; i < KindCount(); ++i) kinds.push_back(KindAt(i).mode);
        const std::string hint = Nearest(mode.c_str(), kinds);
        findings_.Error(line,
                        mode.IsEmpty()
                            ? "MODE is empty: it names no kind (message 6)"
                            : "unknown MODE " + Quoted(mode) +
                                  (hint.empty() ? "" : "; did you mean " + Quoted(hint) + "?") +
                                  " (message 6)");
        // The rest is checked as the kind it was most likely meant to be.
        info.kind = hint.empty() ? nullptr : FindKind(hint.c_str());
        if (info.kind == nullptr)
            return;
    }
    CheckKeys(info);
    CheckUnknownKeys(info);
    CheckItems(info);
    CheckPairs(info);
    CheckKindRules(info);
}

void ScriptCheck::CheckKeys(ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    for (int k = 0; k < kind.key_count; ++k) {
        const KeySpec& key = kind.keys[k];
        const bool number = key.form == KeyForm::kNumber;
        if (!ReadRaw(*info.section, key.name, number, info.raw[k], &info.lines[k])) {
            if (!key.optional)
                findings_.Error(info.lines[k],
                                Missing(*info.section, key.name,
                                        kind.id == KindId::kUpdater ? nullptr : &kind));
            continue;
        }
        info.present[k] = true;
        if (number) {  // read as "%d", never expanded
            info.values[k] = info.raw[k];
            info.expanded[k] = true;
            continue;
        }
        CheckWritten(info.raw[k], info.lines[k], key.items == ItemForm::kProse);
        info.expanded[k] = Expand(info.raw[k], info.lines[k], info.values[k]);
    }
}

void ScriptCheck::CheckUnknownKeys(const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    const bool updater = kind.id == KindId::kUpdater;
    std::vector<std::string> known;
    if (!updater)
        known.push_back("MODE");
    for (int k = 0; k < kind.key_count; ++k) known.push_back(kind.keys[k].name);
    for (const ProfileEntry& entry : info.section->entries) {
        const TextBuffer name(entry.name.c_str());
        if (name.IsEmpty() || name.c_str()[0] == ';')
            continue;
        bool read = false;
        for (const std::string& key : known) read = read || SameName(name, key.c_str());
        if (read)
            continue;
        const std::string hint = Nearest(name.c_str(), known);
        findings_.Warning(entry.line,
                          std::string(updater ? "[UPDATER]" : kind.mode) + " does not read " +
                              Quoted(name) +
                              (hint.empty() ? ": it is ignored" : "; did you mean " + hint + "?"));
    }
}

void ScriptCheck::CheckItems(const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    const KeySpec* main = MainKey(kind);
    const int main_count =
        main != nullptr ? info.values[KeyIndex(kind, main->name)].ItemCount(",") : 0;
    for (int k = 0; k < kind.key_count; ++k) {
        const KeySpec& key = kind.keys[k];
        if (!info.present[k])
            continue;
        const TextBuffer& value = info.values[k];
        const int line = info.lines[k];
        const std::string name = key.name;
        const bool list = key.form == KeyForm::kList;
        if (key.required && (list ? value.ItemCount(",") == 0 : value.IsEmpty())) {
            findings_.Error(line,
                            name + " is empty: " + kind.mode +
                                (key.main ? " needs at least one item (message 4)" : " needs it"));
            continue;
        }
        if (!list) {
            if (key.items == ItemForm::kWord && !value.IsEmpty() &&
                WordIndex(key, value.c_str()) < 0) {
                const std::string hint = Nearest(value.c_str(), Words(key));
                findings_.Error(line, "unknown " + std::string(kind.mode) + " " + name + " " +
                                          Quoted(value) +
                                          (hint.empty() ? ": it must be one of " + WordList(key)
                                                        : "; did you mean " + Quoted(hint) + "?") +
                                          " (message 6)");
            }
            if (key.items == ItemForm::kDecimal || key.items == ItemForm::kHex)
                CheckNumber(value, key.items == ItemForm::kHex, name, line);
            if (key.items == ItemForm::kYes && !value.IsEmpty() && !SameName(value, "YES") &&
                !SameName(value, "NO")) {
                const std::string hint = Nearest(value.c_str(), {"YES"});
                findings_.Warning(line, name + " " + Quoted(value) + " is not YES, so it is off" +
                                            (hint.empty() ? "" : "; did you mean \"YES\"?"));
            }
            if (key.items == ItemForm::kPath && EndsWithSeparator(value))
                findings_.Warning(line, name + " " + Quoted(info.raw[k]) +
                                            " ends with a backslash: " +
                                            TrailingSeparatorOutcome(kind.id, key.name));
            if (key.writes) {
                const std::string empty = EmptyStart(info.raw[k]);
                if (!empty.empty())
                    findings_.Warning(line, name + " " + empty);
            }
            continue;
        }
        const std::vector<TextBuffer> items = ListItems(value);
        const std::vector<TextBuffer> written = ListItems(info.raw[k]);
        // The words of a paired key are needed for every item of the main list.
        const size_t count = key.items == ItemForm::kWord && key.paired
                                 ? std::max(items.size(), static_cast<size_t>(main_count))
                                 : items.size();
        for (size_t i = 0; i < count; ++i) {
            const TextBuffer item = i < items.size() ? items[i] : TextBuffer();
            // Show the item as written where the list was not reshaped by expansion.
            const TextBuffer shown =
                written.size() == items.size() && i < written.size() ? written[i] : item;
            const std::string what = name + " item " + Number(static_cast<long long>(i + 1));
            if (key.main && item.IsEmpty())
                findings_.Warning(line, what + " is empty");
            if (key.items == ItemForm::kWord && WordIndex(key, item.c_str()) < 0) {
                const std::string hint = item.IsEmpty() ? "" : Nearest(item.c_str(), Words(key));
                findings_.Error(
                    line,
                    what + (item.IsEmpty() ? " is missing" : " " + Quoted(item) + " is unknown") +
                        (hint.empty() ? ": it must be one of " + WordList(key)
                                      : "; did you mean " + Quoted(hint) + "?"));
            }
            if (key.items == ItemForm::kDecimal || key.items == ItemForm::kHex)
                CheckNumber(item, key.items == ItemForm::kHex, what, line);
            if (key.items == ItemForm::kPath && EndsWithSeparator(item))
                findings_.Warning(line, what + " " + Quoted(shown) + " ends with a backslash: " +
                                            TrailingSeparatorOutcome(kind.id, key.name));
        }
        if (!key.writes)
            continue;
        for (size_t i = 0; i < written.size(); ++i) {
            const std::string empty = EmptyStart(written[i]);
            if (!empty.empty())
                findings_.Warning(line, name + " item " + Number(static_cast<long long>(i + 1)) +
                                            " " + Quoted(written[i]) + " " + empty);
        }
    }
}

void ScriptCheck::CheckPairs(const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    const KeySpec* main = MainKey(kind);
    if (main == nullptr)
        return;
    const int main_index = KeyIndex(kind, main->name);
    const long long main_count = info.values[main_index].ItemCount(",");
    if (!info.present[main_index] || main_count == 0)
        return;
    for (int k = 0; k < kind.key_count; ++k) {
        const KeySpec& key = kind.keys[k];
        const long long count = info.values[k].ItemCount(",");
        // SHELL's missing words and targets are checked item by item; an
        // empty list (CRC's for measuring) is meant so.
        if (!key.paired || !info.present[k] || count == 0 || count == main_count ||
            (kind.id == KindId::kShell && count < main_count))
            continue;
        std::string outcome;
        if (kind.id == KindId::kLink) {
            outcome = count > main_count
                          ? "only " + Counted(main_count, "shortcut") +
                                (main_count == 1 ? " is" : " are") +
                                " made; repeat the SRC item for each shortcut"
                          : "a SRC item without its DST item is saved as \".LNK\" in the "
                            "current folder";
        } else if (count > main_count) {
            outcome = "the extra " + std::string(key.name) + " items are ignored";
        } else if (kind.id == KindId::kCrc) {
            outcome = "the files after item " + Number(count) +
                      " are measured, not checked (a box shows each CRC)";
        } else {
            outcome = std::string(main->name) + " items after item " + Number(count) +
                      " get an empty " + key.name + " item";
        }
        findings_.Warning(info.lines[k], std::string(main->name) + " has " +
                                             Counted(main_count, "item") + " but " + key.name +
                                             " has " + Number(count) + ": " + outcome);
    }
}

void ScriptCheck::CheckKindRules(const ProcedureInfo& info) {
    const KindSpec& kind = *info.kind;
    auto value = [&](const char* key) -> const TextBuffer& {
        return info.values[KeyIndex(kind, key)];
    };
    auto line = [&](const char* key) { return info.lines[KeyIndex(kind, key)]; };
    auto present = [&](const char* key) { return info.present[KeyIndex(kind, key)]; };

    switch (kind.id) {
        case KindId::kMsgBox: {
            if (!present("FLAG"))
                break;
            const TextBuffer& flag = value("FLAG");
            const int items = flag.ItemCount(",");
            if (items == 1) {
                findings_.Warning(line("FLAG"), "FLAG has one item: the box is always shown and " +
                                                    Quoted(flag) + " is not looked at; write " +
                                                    Quoted(flag + ",1") +
                                                    " to show it only when that is true");
                break;
            }
            if (items < 2)
                break;
            CheckConditionText(flag.Item(0, ","), "FLAG", line("FLAG"));
            TextBuffer wanted = flag.Item(1, ",");
            wanted.Trim(" ", " ");
            CheckNumber(wanted, false, "the second FLAG item", line("FLAG"));
            if (wanted.ToInt() != 0 && wanted.ToInt() != 1)
                findings_.Warning(line("FLAG"), "the second FLAG item is " +
                                                    Number(wanted.ToInt()) +
                                                    ", not 0 or 1: the box is never shown");
            if (items > 2)
                findings_.Warning(line("FLAG"), "FLAG items after the second are ignored");
            break;
        }
        case KindId::kSwitch:
            if (present("PROC"))
                CheckConditionText(value("PROC"), "PROC", line("PROC"));
            for (const char* key : {"0", "1"}) {
                if (present(key))
                    CheckListNames(value(key), (std::string("list ") + key).c_str(), line(key));
            }
            break;
        case KindId::kShell: {
            const std::vector<TextBuffer> functions = ListItems(value("FUNC"));
            const std::vector<TextBuffer> sources = ListItems(value("FROM"));
            const std::vector<TextBuffer> targets = ListItems(value("TO"));
            const std::vector<TextBuffer> written = ListItems(info.raw[KeyIndex(kind, "TO")]);
            for (size_t i = 0; i < sources.size(); ++i) {
                const int function = i < functions.size()
                                         ? WordIndex(*FindKey(kind, "FUNC"), functions[i].c_str())
                                         : -1;
                const TextBuffer target = i < targets.size() ? targets[i] : TextBuffer();
                const std::string item = "SHELL item " + Number(static_cast<long long>(i + 1));
                if (function == kShellDelete && !target.IsEmpty())
                    findings_.Warning(
                        line("TO"),
                        item + " is a DELETE with the TO item " +
                            Quoted(written.size() == targets.size() ? written[i] : target) +
                            ": an existing TO is deleted too; leave "
                            "it empty");
                if (function >= 0 && function != kShellDelete && target.IsEmpty())
                    findings_.Error(line("TO"), item + " has no TO item: " +
                                                    FindKey(kind, "FUNC")->words[function] +
                                                    " needs one, and the item fails (message 17)");
                if (sources[i].Length() > kShellNameLimit)
                    findings_.Error(line("FROM"), "FROM item " +
                                                      Number(static_cast<long long>(i + 1)) +
                                                      " is " + Number(sources[i].Length()) +
                                                      " bytes long after expansion: the shell "
                                                      "takes at most " +
                                                      Number(kShellNameLimit) + " (message 17)");
                if (!target.IsEmpty() && target.Length() + 4 > kShellNameLimit)
                    findings_.Error(line("TO"), "TO item " + Number(static_cast<long long>(i + 1)) +
                                                    " is " + Number(target.Length()) +
                                                    " bytes long after expansion: with \".tmp\" "
                                                    "the shell takes at most " +
                                                    Number(kShellNameLimit) + " (message 17)");
            }
            break;
        }
        case KindId::kLink: {
            const std::vector<TextBuffer> links = ListItems(value("DST"));
            for (size_t i = 0; i < links.size(); ++i) {
                const std::string item = "DST item " + Number(static_cast<long long>(i + 1));
                if (EndsWithNoCase(links[i], ".lnk"))
                    findings_.Warning(line("DST"),
                                      item +
                                          " ends with .lnk, and LINK appends \".LNK\": write "
                                          "it without the extension");
                const size_t characters = Characters(links[i]) + 4;
                if (characters > kLinkPathLimit)
                    findings_.Error(line("DST"), item + " is " + Number(characters) +
                                                     " characters long with \".LNK\" after "
                                                     "expansion: LINK saves at most " +
                                                     Number(kLinkPathLimit) + " (message 15)");
            }
            break;
        }
        case KindId::kCrc: {
            const TextBuffer& type = value("TYPE");
            if (present("TYPE") && !SameName(type, "AND"))
                findings_.Warning(line("TYPE"), "CRC TYPE " + Quoted(type) +
                                                    " is not AND: one matching file is enough");
            break;
        }
        default:
            break;
    }
}

void ScriptCheck::CheckListNames(const TextBuffer& value, const char* key, int line) {
    const std::vector<TextBuffer> names = ListItems(value);
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].IsEmpty()) {
            findings_.Error(line, std::string(key) + " item " +
                                      Number(static_cast<long long>(i + 1)) +
                                      " is empty: no section has an empty name (message 2)");
            continue;
        }
        const ProfileSection* section = Section(names[i].c_str());
        if (section == nullptr) {
            findings_.Error(line, Quoted(names[i]) + " in " + key + " has no section" +
                                      SectionHint(names[i].c_str()) + " (message 2)");
            continue;
        }
        listed_.insert(section);
    }
}

void ScriptCheck::CheckConditionText(const TextBuffer& condition, const char* key, int line) {
    std::vector<std::string> names;
    const ConditionOutcome outcome = ReadCondition(condition, NameRecorder(&names));
    if (outcome.fault != ConditionFault::kNone) {
        const char* why = outcome.fault == ConditionFault::kNotAfterNot ? "NOT cannot follow NOT"
                          : outcome.fault == ConditionFault::kNotAsOperator
                              ? "NOT stands where AND or OR belongs"
                              : "AND or OR is missing before it";
        findings_.Error(line, std::string(key) + " condition " + Quoted(condition) +
                                  " does not parse at " + Quoted(outcome.token) + ": " + why +
                                  " (message 6)");
        return;
    }
    bool blank = !condition.IsEmpty();
    for (int i = 0; blank && i < condition.ItemCount(" "); ++i)
        blank = condition.Item(i, " ").IsEmpty();
    if (blank)
        findings_.Warning(line, std::string(key) + " condition of spaces only is always false");
    for (const std::string& name : names) {
        if (Section(name.c_str()) == nullptr)
            findings_.Error(line, std::string(key) + " condition names " + Quoted(name) +
                                      ", but no section has that name" + SectionHint(name) +
                                      " (message 6)");
    }
}

std::string ScriptCheck::SectionHint(const std::string& name) {
    if (section_names_.empty()) {
        for (const ProfileSection& section : text_.Sections()) {
            if (section.line != 0 && !SameName(section.name.c_str(), "UPDATER") &&
                !SameName(section.name.c_str(), "DEFINE"))
                section_names_.push_back(section.name);
        }
    }
    const std::string hint = Hint(name, section_names_);
    return hint.empty() ? "" : "; did you mean [" + hint + "]?";
}
