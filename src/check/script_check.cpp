#include "check/script_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "check/nearest.h"
#include "script/kind_table.h"
#include "script/script_keys.h"
#include "text/code_page.h"

namespace {

// Built-in symbols as on a typical system: the checker knows no machine.
const char* const kBuiltIns[][2] = {
    {"<Win>", "C:\\WINDOWS"},
    {"<Sys>", "C:\\WINDOWS\\system32"},
    {"<Src>", "C:\\Update"},
    {"<Desktop>", "C:\\Documents and Settings\\All Users\\Desktop"},
    {"<Programs>", "C:\\Documents and Settings\\All Users\\Start Menu\\Programs"},
    {"<Temp>", "C:\\DOCUME~1\\user\\LOCALS~1\\Temp"},
};

// What expansion may make of one value, and of all symbol values together.

bool IsBuiltIn(const TextBuffer& name) {
    for (const auto& symbol : kBuiltIns) {
        if (SameName(name, symbol[0]))
            return true;
    }
    return false;
}

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

// A path as the system resolves it, for comparing: "/" read as "\", one
// separator between names, "." and ".." steps gone, dots and blanks at the
// end of each name gone, ASCII letters folded. A path that starts from the
// current folder or drive keeps a mark of that in front, so that it equals
// only another such path.
std::string ComparablePath(const TextBuffer& path) {
    std::string text = path.c_str();
    for (char& c : text) c = c == '/' ? '\\' : c;  // never a trail byte
    std::string head;
    size_t from = 0;
    const bool drive =
        text.size() >= 2 && text[1] == ':' && isalpha(static_cast<unsigned char>(text[0]));
    if (text.compare(0, 2, "\\\\") == 0) {
        head = "\\\\";
        from = 2;
    } else if (drive) {
        head = text.substr(0, 2) + (text.size() > 2 && text[2] == '\\' ? "" : "<CURRENT>");
        from = 2;
    } else {
        head = text.compare(0, 1, "\\") == 0 ? "<DRIVE>" : "<DRIVE><CURRENT>";
    }
    std::vector<std::string> names;
    const char* rest = text.c_str() + from;
    for (ptrdiff_t begin = 0;;) {
        const ptrdiff_t end = FindText(rest, begin, "\\");
        std::string name(rest + begin, end < 0 ? strlen(rest + begin) : end - begin);
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
        if (name == ".." && !names.empty())
            names.pop_back();
        else if (!name.empty() && name != "..")
            names.push_back(name);
        if (end < 0)
            break;
        begin = end + 1;
    }
    for (const std::string& name : names) head += "\\" + name;
    return FoldedName(head.c_str());
}

}  // namespace

bool ProfileSource::ReadValue(const char* section, const char* key, size_t capacity,
                              TextBuffer& value) const {
    std::string read;
    text_.GetString(section, key, "NO_DATA", static_cast<uint32_t>(capacity), &read);
    if (EqualsNoCase(read.c_str(), "NO_DATA"))
        return false;
    value = read.c_str();
    return true;
}

void ProfileSource::ReadSection(const char* section, size_t capacity, ByteArray& lines) const {
    std::string read;
    text_.GetSection(section, static_cast<uint32_t>(capacity), &read);
    lines.Clear();
    if (read.empty())
        return;
    read.push_back('\0');
    lines.Assign(read.data(), static_cast<uint32_t>(read.size()));
}

bool PlaceholderLookups::SpecialFolder(int csidl, TextBuffer& path) const {
    char folder[32];
    snprintf(folder, sizeof folder, "C:\\SpecialFolder%X", static_cast<unsigned>(csidl));
    path = folder;
    return true;
}

ScriptCheck::ScriptCheck(const char* bytes, size_t size, const CheckOptions& options)
    : text_(bytes, size, options.code_page),
      bytes_(bytes),
      size_(size),
      options_(options),
      source_(text_),
      symbols_(lookups_, command_line_) {
    for (const std::string& word : options.params) {
        if (!command_line_.IsEmpty())
            command_line_.Append(" ");
        // A word with a space in it is quoted; {?Param} gives it without the quotes.
        const bool quote = word.find(' ') != std::string::npos;
        command_line_.Append(quote ? ("\"" + word + "\"").c_str() : word.c_str());
    }
}

std::vector<Finding> ScriptCheck::Run() {
    CheckEncoding();
    for (const ProfileNote& note : text_.Notes()) {
        if (note.issue == ProfileIssue::kUtf16)
            return findings_.Sorted();  // nothing of it can be read here
    }
    CheckLayout();
    ReadDefinitionLines();
    DefineSymbols();
    CheckDefinitions();
    CheckUpdater();
    for (const ProfileSection& section : text_.Sections()) {
        if (section.line == 0 || Section(section.name.c_str()) != &section ||
            SameName(section.name.c_str(), "UPDATER") || SameName(section.name.c_str(), "DEFINE"))
            continue;
        if (text_.FindEntry(section.name.c_str(), "MODE") != nullptr)
            CheckProcedure(section);
    }
    for (const ProfileSection* section : listed_) {
        if (procedures_.count(section) == 0)
            findings_.Error(section->line, "[" + section->name + "] has no MODE key (message 2)");
    }
    CheckLog();
    CheckFlow();
    return findings_.Sorted();
}

const ProfileSection* ScriptCheck::Section(const char* name) const {
    return text_.FindSection(name);
}

std::string ScriptCheck::CodePageName() const {
    return "code page " + Number(options_.code_page);
}

void ScriptCheck::CheckEncoding() {
    for (const ProfileNote& note : text_.Notes()) {
        switch (note.issue) {
            case ProfileIssue::kUtf8Mark:
                findings_.Warning(note.line,
                                  "the file begins with a UTF-8 byte-order mark: Windows reads it "
                                  "as part of line 1, Wine reads the whole file as UTF-8; save "
                                  "the script in " +
                                      CodePageName() + " without it");
                break;
            case ProfileIssue::kUtf16:
                findings_.Error(note.line, "the file is UTF-16; save the script in " +
                                               CodePageName() + " (nothing else was checked)");
                break;
            case ProfileIssue::kBadDoubleByte:
                findings_.Warning(note.line,
                                  "invalid double-byte character: Windows reads its bytes as "
                                  "they are, Wine reads U+30FB in its place");
                break;
            case ProfileIssue::kDuplicateCode:
                findings_.Warning(note.line,
                                  "double-byte character with a second code (NEC or IBM "
                                  "extension): Wine reads it as the other code, so names with "
                                  "it may not match");
                break;
            case ProfileIssue::kOutsideSection:
                findings_.Warning(note.line,
                                  "line before the first section: Windows ignores it, Wine "
                                  "reads it as a section named \"\"");
                break;
            case ProfileIssue::kUnnamedSection:
                findings_.Warning(note.line,
                                  "section without a name: Windows finds it by an empty name, "
                                  "Wine never does");
                break;
            case ProfileIssue::kNulByte:
                findings_.Warning(note.line, "NUL byte: the name or value ends there");
                break;
            case ProfileIssue::kRepeatedEmptyName:
                findings_.Warning(note.line, "second line in a row without a name: Wine drops it");
                break;
        }
    }
    int line = 0;
    if (options_.code_page != 65001 &&
        LooksLikeUtf8(reinterpret_cast<const unsigned char*>(bytes_), size_, &line))
        findings_.Warning(line, "the script is UTF-8: the program reads it in " + CodePageName() +
                                    ", so its text beyond ASCII comes out garbled");
}

void ScriptCheck::CheckLayout() {
    for (const ProfileSection& section : text_.Sections()) {
        if (section.line == 0)
            continue;
        const ProfileSection* first = Section(section.name.c_str());
        if (first == nullptr)
            continue;  // a name cut at a NUL byte: the program never finds it
        if (first != &section) {
            findings_.Warning(section.line, "section [" + section.name +
                                                "] appears again: the program reads only the "
                                                "first one, at line " +
                                                Number(first->line));
            continue;
        }
        if (SameName(section.name.c_str(), "DEFINE"))
            continue;                     // its lines are symbol definitions, checked on their own
        std::map<std::string, int> seen;  // folded key name -> its first line
        for (const ProfileEntry& entry : section.entries) {
            if (entry.name.c_str()[0] == ';')
                continue;
            const auto first_entry = seen.emplace(FoldedName(entry.name.c_str()), entry.line);
            if (!first_entry.second)
                findings_.Warning(entry.line, entry.name + " appears again in [" + section.name +
                                                  "]: only the first, at line " +
                                                  Number(first_entry.first->second) + ", is read");
        }
    }
}

void ScriptCheck::ReadDefinitionLines() {
    const ProfileSection* section = Section("DEFINE");
    if (section == nullptr)
        return;
    // What the program reads, and what a buffer with room for all of it holds.
    ByteArray lines;
    source_.ReadSection("DEFINE", kValueCapacity, lines);
    std::string whole;
    text_.GetSection("DEFINE", static_cast<uint32_t>(size_ + 16), &whole);
    std::vector<std::string> read;
    const char* text = reinterpret_cast<const char*>(lines.Data());
    for (uint32_t p = 0; p < lines.Size() && text[p] != '\0'; p += strlen(text + p) + 1)
        read.push_back(text + p);

    size_t index = 0;
    for (const ProfileEntry& entry : section->entries) {
        if ((entry.name.c_str()[0] == '\0' && !entry.hasValue) || entry.name.c_str()[0] == ';')
            continue;  // lines the section read leaves out
        const std::string line_text =
            entry.hasValue ? std::string(entry.name.c_str()) + "=" + entry.value.c_str()
                           : std::string(entry.name.c_str());
        if (index >= read.size() || read[index] != line_text) {
            findings_.Error(entry.line,
                            "DEFINE is cut here: the program reads a section only up to " +
                                Number(kValueCapacity - 1) + " bytes");
            return;
        }
        ++index;
        const TextBuffer line(line_text.c_str());
        Definition definition{line.Item(0, "="),
                              line.Item(1, "="),
                              entry.hasValue,
                              true,
                              TextBuffer(entry.value.c_str()).CountOf("=") > 0,
                              entry.line};
        definition.first =
            defined_.emplace(FoldedName(definition.name.c_str()), definitions_.size()).second;
        definitions_.push_back(definition);
    }
}

void ScriptCheck::DefineSymbols() {
    // As the program builds its table: the DEFINE lines, then the built-ins,
    // then each definition expanded once, in order, within the limits.
    ReadDefinitions(source_, symbols_);
    for (const auto& symbol : kBuiltIns) symbols_.Define(symbol[0], symbol[1]);
    TextBuffer too_long;
    if (symbols_.ExpandDefinitions(too_long))
        return;
    // The program stops at this line with message 2, for the value alone or
    // for all the symbols together.
    const auto found = defined_.find(FoldedName(too_long.c_str()));
    if (found == defined_.end())
        return;
    const Definition& definition = definitions_[found->second];
    TextBuffer value = definition.raw;
    if (!symbols_.ExpandValue(value)) {
        findings_.Error(definition.line, "the value grows beyond " + Number(kMostExpandedLength) +
                                             " bytes by expansion (message 2)");
    } else {
        findings_.Error(definition.line, "the symbols grow beyond " + Number(kMostSymbolBytes) +
                                             " bytes together here (message 2)");
    }
}

void ScriptCheck::CheckDefinitions() {
    for (size_t i = 0; i < definitions_.size(); ++i) {
        const Definition& definition = definitions_[i];
        const std::string name = definition.name.c_str();
        const int line = definition.line;
        if (!definition.first) {
            const Definition& earlier = definitions_[defined_[FoldedName(name.c_str())]];
            findings_.Warning(line, name + " is defined again: the first definition, at line " +
                                        Number(earlier.line) + ", counts");
            continue;
        }
        if (IsBuiltIn(definition.name)) {
            findings_.Warning(line, name +
                                        " is a built-in symbol and cannot be redefined: "
                                        "remove this line");
            continue;
        }
        if (name.size() < 2 || name.front() != '<' || name.back() != '>') {
            findings_.Warning(line, "DEFINE name " + Quoted(name) +
                                        " has no angle brackets: no value can use it; write <" +
                                        name + ">");
            continue;
        }
        if (!definition.has_value) {
            findings_.Warning(line, "DEFINE line without '=': " + name + " is empty");
            continue;
        }
        if (definition.second_equals)
            findings_.Warning(line, "the value of " + name + " ends at the second '=': it is " +
                                        Quoted(definition.raw));
        CheckWritten(definition.raw, line);
        // Definitions are expanded once, in order: one further down is still raw.
        List<TextRange> groups;
        FindEachGroup(definition.raw, "<", ">", groups);
        for (const TextRange& group : groups) {
            const TextBuffer used = TextBuffer(definition.raw.c_str() + group.first,
                                               static_cast<size_t>(group.last - group.first + 1));
            const auto found = defined_.find(FoldedName(used.c_str()));
            if (found == defined_.end() || found->second < i)
                continue;
            findings_.Warning(line,
                              name +
                                  (found->second == i ? " uses itself"
                                                      : " uses " + std::string(used.c_str()) +
                                                            ", which is defined further down") +
                                  ": it gets that text as written, unexpanded");
        }
    }
}

void ScriptCheck::CheckUpdater() {
    const ProfileSection* section = Section("UPDATER");
    if (section == nullptr) {
        findings_.Error(
            1, "no [UPDATER] section: the program stops with message 2" + SectionHint("UPDATER"));
        return;
    }
    ProcedureInfo& info = updater_;
    info.section = section;
    info.kind = &UpdaterKeys();
    CheckKeys(info);
    CheckUnknownKeys(info);
    CheckItems(info);
    const int name = KeyIndex(*info.kind, "NAME");
    if (info.present[name] && info.values[name].IsEmpty())
        findings_.Error(info.lines[name],
                        "NAME is empty: every box shows the /t caption or the built-in one");
    const int proc = KeyIndex(*info.kind, "PROC");
    if (info.present[proc] && info.expanded[proc]) {
        CheckListNames(info.values[proc], "PROC", info.lines[proc]);
        proc_ = info.values[proc];
        proc_line_ = info.lines[proc];
    }
}

void ScriptCheck::CheckLog() {
    const int key = KeyIndex(UpdaterKeys(), "LOG");
    const TextBuffer& log = updater_.values[key];
    if (!updater_.present[key] || log.IsEmpty())
        return;
    const int line = updater_.lines[key];
    const std::string path = ComparablePath(log);
    if (path.find("<CURRENT>") != std::string::npos || path.compare(0, 7, "<DRIVE>") == 0)
        findings_.Warning(line, "LOG " + Quoted(log) +
                                    " has no drive: it is taken from the folder the updater is "
                                    "started in; begin it with a symbol or a drive");
    // The script as the program finds it: in its own folder, under its own
    // name or the one /i gives.
    TextBuffer script;
    if (!FindOption(command_line_, 'i', script))
        script = options_.script_name.c_str();
    if (path == ComparablePath(TextBuffer(kBuiltIns[2][1]) + "\\" + script)) {
        findings_.Error(line, "LOG names the script itself: each run would write its log into it");
        return;
    }
    for (const auto& entry : procedures_) {
        const ProcedureInfo& info = entry.second;
        if (info.kind == nullptr || info.kind->id == KindId::kDelete)
            continue;  // what is deleted may be the log: the log lets go of it first
        for (int k = 0; k < info.kind->key_count; ++k) {
            const KeySpec& spec = info.kind->keys[k];
            if (!info.present[k] || spec.items != ItemForm::kPath)
                continue;
            // The names the kind writes beside its item.
            const bool shell_target =
                info.kind->id == KindId::kShell && spec.writes && strcmp(spec.name, "TO") == 0;
            const char* suffix = info.kind->id == KindId::kLink ? ".LNK"
                                 : shell_target                 ? ".tmp"
                                                                : "";
            const std::vector<TextBuffer> items = spec.form == KeyForm::kList
                                                      ? ListItems(info.values[k])
                                                      : std::vector<TextBuffer>{info.values[k]};
            for (size_t i = 0; i < items.size(); ++i) {
                if (items[i].IsEmpty())
                    continue;
                const bool same =
                    (info.kind->id != KindId::kLink && path == ComparablePath(items[i])) ||
                    (*suffix != '\0' && path == ComparablePath(items[i] + suffix));
                if (!same)
                    continue;
                findings_.Error(line, "LOG names " + std::string(spec.name) + " item " +
                                          Number(static_cast<long long>(i + 1)) + " of [" +
                                          info.section->name + "], a file the update " +
                                          (spec.writes ? "writes" : "reads") +
                                          ": the log would write into it; give the log a file "
                                          "of its own");
            }
        }
    }
}

std::string ScriptCheck::Missing(const ProfileSection& section, const char* key,
                                 const KindSpec* kind) const {
    const ProfileEntry* entry = text_.FindEntry(section.name.c_str(), key);
    if (entry == nullptr) {
        std::string keys;
        for (int i = 0; kind != nullptr && i < kind->key_count; ++i)
            keys += std::string(i == 0 ? "" : ", ") + kind->keys[i].name;
        return "[" + section.name + "] has no " + key + " key" +
               (kind != nullptr ? std::string(": ") + kind->mode + " reads " + keys : "") +
               " (message 2)";
    }
    if (!entry->hasValue)
        return std::string(key) + " has no '=': it reads as a missing key (message 2)";
    return std::string(key) + " is NO_DATA, which reads as a missing key (message 2)";
}

bool SameName(const TextBuffer& a, const char* b) {
    return EqualsNoCase(a.c_str(), b);
}

std::vector<TextBuffer> ListItems(const TextBuffer& value) {
    // One pass: the items at "," one after the other.
    std::vector<TextBuffer> items;
    const char* text = value.c_str();
    if (*text == '\0')
        return items;
    for (ptrdiff_t begin = 0;;) {
        const ptrdiff_t comma = FindText(text, begin, ",");
        const ptrdiff_t end = comma < 0 ? static_cast<ptrdiff_t>(value.Length()) : comma;
        TextBuffer item(text + begin, static_cast<size_t>(end - begin));
        item.Trim(" ", " ");
        items.push_back(item);
        if (comma < 0)
            return items;
        begin = comma + 1;
    }
}

std::string ScriptCheck::Hint(const std::string& word, const std::vector<std::string>& names) {
    // Each hint costs time in proportion to the names: a script full of
    // unknown names gets hints for its first ones only.
    if (names.size() > hint_budget_)
        return "";
    hint_budget_ -= names.size();
    return Nearest(word, names);
}

std::string Quoted(const std::string& text) {
    // Long values are cut, at a character boundary.
    const size_t kShown = 60;
    if (text.size() <= kShown)
        return "\"" + text + "\"";
    size_t end = 0;
    while (end < kShown)
        end += (IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size()) ? 2 : 1;
    return "\"" + text.substr(0, end) + "...\"";
}

std::string Quoted(const TextBuffer& text) {
    return Quoted(std::string(text.c_str()));
}

std::string FoldedName(const char* name) {
    std::string folded;
    for (const char* p = name; *p != '\0';) {
        const bool pair = IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0';
        folded += (!pair && *p >= 'a' && *p <= 'z') ? static_cast<char>(*p - ('a' - 'A')) : *p;
        if (pair)
            folded += p[1];
        p += pair ? 2 : 1;
    }
    return folded;
}

std::string Number(long long n) {
    return std::to_string(n);
}
