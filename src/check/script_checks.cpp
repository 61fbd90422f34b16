// The file itself, its layout, DEFINE, [UPDATER] and LOG.
#include <cctype>
#include <cstring>

#include "check/checks.h"
#include "check/nearest.h"
#include "script/script_keys.h"
#include "text/code_page.h"

namespace {

// Whether the bytes, without a byte-order mark, are UTF-8 with at least one
// character beyond ASCII; line: where the first such character is.
bool LooksLikeUtf8(const unsigned char* p, size_t size, int* line) {
    size_t i = (size >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) ? 3 : 0;
    int current = 1;
    int first = 0;
    for (; i < size; ++i) {
        if (p[i] == '\n' || (p[i] == '\r' && (i + 1 >= size || p[i + 1] != '\n')))
            ++current;
        if (p[i] < 0x80)
            continue;
        const size_t length = (p[i] & 0xE0) == 0xC0   ? 2
                              : (p[i] & 0xF0) == 0xE0 ? 3
                              : (p[i] & 0xF8) == 0xF0 ? 4
                                                      : 0;
        if (length == 0 || i + length > size || (length == 2 && p[i] < 0xC2))
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        }
        if (first == 0)
            first = current;
        i += length - 1;
    }
    *line = first;
    return first != 0;
}

bool IsBuiltIn(const TextBuffer& name) {
    for (const auto& symbol : kBuiltInSymbols) {
        if (SameName(name, symbol[0]))
            return true;
    }
    return false;
}

// A path as the system resolves it, for comparing: "/" read as "\", one
// separator between names, "." and ".." steps gone, dots and blanks at the
// end of each name gone, ASCII letters folded. A path that starts from the
// current folder or drive keeps a mark of that in front, so that it equals
// only another such path; relative tells whether it does.
TextBuffer ComparablePath(const TextBuffer& path, bool* relative = nullptr) {
    TextBuffer text = path;
    for (char* c = text.data(); c != nullptr && *c != '\0'; ++c) {
        if (*c == '/')
            *c = '\\';  // never a trail byte
    }
    const char* p = text.c_str();
    TextBuffer head;
    const char* rest = p;
    if (p[0] == '\\' && p[1] == '\\') {
        head = "\\\\";
        rest = p + 2;
    } else if (isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        head = TextBuffer(p, 2) + (p[2] == '\\' ? "" : "<CURRENT>");
        rest = p + 2;
    } else {
        head = p[0] == '\\' ? "<DRIVE>" : "<DRIVE><CURRENT>";
    }
    if (relative != nullptr)
        *relative = strstr(head.c_str(), "<") != nullptr;
    List<TextBuffer> names;
    for (ptrdiff_t begin = 0;;) {
        const ptrdiff_t end = FindText(rest, begin, "\\");
        size_t length = end < 0 ? strlen(rest + begin) : static_cast<size_t>(end - begin);
        while (length > 0 && (rest[begin + length - 1] == '.' || rest[begin + length - 1] == ' '))
            --length;
        const TextBuffer name(rest + begin, length);
        if (strcmp(name.c_str(), "..") == 0)
            names.RemoveLast();
        else if (!name.IsEmpty() && strcmp(name.c_str(), "..") != 0)
            names.Add(name);
        if (end < 0)
            break;
        begin = end + 1;
    }
    for (const TextBuffer& name : names) head = head + "\\" + name;
    return FoldedName(head.c_str());
}

TextBuffer CodePageName(const Script& script) {
    return "code page " + Number(script.options.code_page);
}

}  // namespace

const char* Check::Hint(const char* word, const List<const char*>& names) {
    const size_t cost = static_cast<size_t>(names.Count());
    if (cost > hint_budget)
        return nullptr;
    hint_budget -= cost;
    return Nearest(word, names);
}

void CheckEncoding(Check& check) {
    const Script& script = check.script;
    Findings& findings = check.findings;
    for (const ProfileNote& note : script.text.Notes()) {
        switch (note.issue) {
            case ProfileIssue::kUtf8Mark:
                findings.Warning(note.line,
                                 "the file begins with a UTF-8 byte-order mark: Windows reads it "
                                 "as part of line 1, Wine reads the whole file as UTF-8; save "
                                 "the script in " +
                                     CodePageName(script) + " without it");
                break;
            case ProfileIssue::kUtf16:
                findings.Error(note.line, "the file is UTF-16; save the script in " +
                                              CodePageName(script) + " (nothing else was checked)");
                break;
            case ProfileIssue::kBadDoubleByte:
                findings.Warning(note.line,
                                 "invalid double-byte character: Windows reads its bytes as "
                                 "they are, Wine reads U+30FB in its place");
                break;
            case ProfileIssue::kDuplicateCode:
                findings.Warning(note.line,
                                 "double-byte character with a second code (NEC or IBM "
                                 "extension): Wine reads it as the other code, so names with "
                                 "it may not match");
                break;
            case ProfileIssue::kOutsideSection:
                findings.Warning(note.line,
                                 "line before the first section: Windows ignores it, Wine "
                                 "reads it as a section named \"\"");
                break;
            case ProfileIssue::kUnnamedSection:
                findings.Warning(note.line,
                                 "section without a name: Windows finds it by an empty name, "
                                 "Wine never does");
                break;
            case ProfileIssue::kNulByte:
                findings.Warning(note.line, "NUL byte: the name or value ends there");
                break;
            case ProfileIssue::kRepeatedEmptyName:
                findings.Warning(note.line, "second line in a row without a name: Wine drops it");
                break;
        }
    }
    int line = 0;
    if (script.options.code_page != 65001 &&
        LooksLikeUtf8(reinterpret_cast<const unsigned char*>(script.bytes), script.size, &line))
        findings.Warning(line, "the script is UTF-8: the program reads it in " +
                                   CodePageName(script) +
                                   ", so its text beyond ASCII comes out garbled");
}

void CheckLayout(Check& check) {
    for (const ProfileSection& section : check.script.text.Sections()) {
        if (section.line == 0)
            continue;
        const ProfileSection* first = check.script.FirstOfName(section);
        if (first == nullptr)
            continue;  // a name cut at a NUL byte: the program never finds it
        const TextBuffer name = section.name.c_str();
        if (first != &section) {
            check.findings.Warning(section.line, "section [" + name +
                                                     "] appears again: the program reads only "
                                                     "the first one, at line " +
                                                     Number(first->line));
            continue;
        }
        if (SameName(name, "DEFINE"))
            continue;    // its lines are symbol definitions, checked on their own
        NameIndex seen;  // key name -> its first line
        for (const ProfileEntry& entry : section.entries) {
            if (entry.name.c_str()[0] == ';' || seen.Add(entry.name.c_str(), entry.line))
                continue;
            check.findings.Warning(entry.line, entry.name.c_str() + (" appears again in [" + name) +
                                                   "]: only the first, at line " +
                                                   Number(seen.Find(entry.name.c_str())) +
                                                   ", is read");
        }
    }
}

void CheckDefinitions(Check& check) {
    const Script& script = check.script;
    for (int i = 0; i < script.definitions.Count(); ++i) {
        const Definition& definition = script.definitions[i];
        const TextBuffer& name = definition.name;
        const char* text = name.c_str();
        const size_t length = name.Length();
        const int line = definition.line;
        if (!definition.first) {
            const Definition& earlier = script.definitions[script.defined.Find(text)];
            check.findings.Warning(line, name +
                                             " is defined again: the first definition, at line " +
                                             Number(earlier.line) + ", counts");
            continue;
        }
        if (IsBuiltIn(name)) {
            check.findings.Warning(
                line, name + " is a built-in symbol and cannot be redefined: remove this line");
            continue;
        }
        if (length < 2 || text[0] != '<' || text[length - 1] != '>') {
            check.findings.Warning(line, "DEFINE name " + Quoted(name) +
                                             " has no angle brackets: no value can use it; "
                                             "write <" +
                                             name + ">");
            continue;
        }
        if (!definition.has_value) {
            check.findings.Warning(line, "DEFINE line without '=': " + name + " is empty");
            continue;
        }
        if (definition.second_equals)
            check.findings.Warning(line, "the value of " + name +
                                             " ends at the second '=': it is " +
                                             Quoted(definition.raw));
        CheckWritten(check, definition.raw, line, false);
        // Definitions are expanded once, in order: one further down is still raw.
        List<TextRange> groups;
        FindEachGroup(definition.raw, "<", ">", groups);
        for (const TextRange& group : groups) {
            const TextBuffer used(definition.raw.c_str() + group.first,
                                  static_cast<size_t>(group.last - group.first + 1));
            const int found = script.defined.Find(used.c_str());
            if (found < i)
                continue;
            check.findings.Warning(
                line, name +
                          (found == i ? TextBuffer(" uses itself")
                                      : " uses " + used + ", which is defined further down") +
                          ": it gets that text as written, unexpanded");
        }
    }
}

void CheckUpdater(Check& check) {
    const Script& script = check.script;
    if (!script.has_updater) {
        check.findings.Error(1, "no [UPDATER] section: the program stops with message 2" +
                                    SectionHint(check, "UPDATER"));
        return;
    }
    const ProcedureInfo& updater = script.updater;
    CheckSectionKeys(check, updater);
    const KeyRead& name = updater.Key("NAME");
    if (name.present && name.expanded && name.value.IsEmpty())
        check.findings.Error(name.line,
                             "NAME is empty: every box shows the /t caption or the built-in one");
    const KeyRead& proc = updater.Key("PROC");
    if (proc.present && proc.expanded)
        CheckListNames(check, proc.value, "PROC", proc.line);
}

void CheckLog(Check& check) {
    const Script& script = check.script;
    if (!script.has_updater)
        return;
    const KeyRead& log = script.updater.Key("LOG");
    if (!log.present || log.value.IsEmpty())
        return;
    bool relative = false;
    const TextBuffer path = ComparablePath(log.value, &relative);
    if (relative)
        check.findings.Warning(log.line, "LOG " + Quoted(log.value) +
                                             " has no drive: it is taken from the folder the "
                                             "updater is started in; begin it with a symbol or "
                                             "a drive");
    // The script as the program finds it: in its own folder, under its own
    // name or the one /i gives.
    TextBuffer name;
    if (!FindOption(script.command_line, 'i', name))
        name = script.options.script_name;
    if (strcmp(path.c_str(), ComparablePath(kSourceFolder + ("\\" + name)).c_str()) == 0) {
        check.findings.Error(log.line,
                             "LOG names the script itself: each run would write its log into it");
        return;
    }
    for (const ProcedureInfo& procedure : script.procedures) {
        const KindSpec* kind = procedure.kind;
        if (kind == nullptr || kind->id == KindId::kDelete)
            continue;  // what is deleted may be the log: the log lets go of it first
        for (int k = 0; k < KeyCount(*kind); ++k) {
            const KeySpec& row = KeyAt(*kind, k);
            const KeyRead& key = procedure.keys[k];
            if (!key.present || row.items != ItemForm::kPath)
                continue;
            // The names a kind writes beside its items.
            const bool shell_target = kind->id == KindId::kShell && strcmp(row.name, "TO") == 0;
            const char* suffix = kind->id == KindId::kLink ? ".LNK" : shell_target ? ".tmp" : "";
            List<TextBuffer> items;
            if (row.form == KeyForm::kList)
                ListItems(key.value, items);
            else
                items.Add(key.value);
            for (int i = 0; i < items.Count(); ++i) {
                if (items[i].IsEmpty())
                    continue;
                const bool same =
                    (kind->id != KindId::kLink &&
                     strcmp(path.c_str(), ComparablePath(items[i]).c_str()) == 0) ||
                    (*suffix != '\0' &&
                     strcmp(path.c_str(), ComparablePath(items[i] + suffix).c_str()) == 0);
                if (!same)
                    continue;
                check.findings.Error(
                    log.line, "LOG names " + (row.name + (" item " + Number(i + 1))) + " of [" +
                                  procedure.section->name.c_str() + "], a file the update " +
                                  (row.writes ? "writes" : "reads") +
                                  ": the log would write into it; give the log "
                                  "a file of its own");
            }
        }
    }
}
