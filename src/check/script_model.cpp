#include "check/script_model.h"

#include <cstring>
#include <string>

#include "check/nearest.h"
#include "script/script_keys.h"
#include "text/code_page.h"
#include "text/text_builder.h"

const char* const kBuiltInSymbols[6][2] = {
    {"<Win>", "C:\\WINDOWS"},
    {"<Sys>", "C:\\WINDOWS\\system32"},
    {"<Src>", kSourceFolder},
    {"<Desktop>", "C:\\Documents and Settings\\All Users\\Desktop"},
    {"<Programs>", "C:\\Documents and Settings\\All Users\\Start Menu\\Programs"},
    {"<Temp>", "C:\\DOCUME~1\\user\\LOCALS~1\\Temp"},
};

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
    path = "C:\\SpecialFolder" + HexText(static_cast<uint32_t>(csidl));
    return true;
}

Script::Script(const char* bytes_, size_t size_, const CheckOptions& options_, Findings& findings)
    : bytes(bytes_),
      size(size_),
      options(options_),
      text(bytes_, size_, options_.code_page),
      source(text),
      symbols(lookups, command_line),
      if_given(app_path_given, command_line, kStandInFolder),
      if_empty(app_path_empty, no_words) {
    for (const TextBuffer& word : options.params) {
        if (!command_line.IsEmpty())
            command_line.Append(" ");
        // A word with a space in it is quoted; {?Param} gives it without the quotes.
        const bool quote = strchr(word.c_str(), ' ') != nullptr;
        command_line.Append(quote ? "\"" + word + "\"" : word);
    }
    for (const ProfileNote& note : text.Notes()) {
        if (note.issue == ProfileIssue::kUtf16)
            return;  // nothing of it can be read here
    }
    readable = true;
    for (const ProfileSection& section : text.Sections()) {
        procedure_of.Add(-1);
        first_of_name.Add(section.line != 0 ? Section(section.name.c_str()) : nullptr);
        if (section.line != 0 && !SameName(section.name.c_str(), "UPDATER") &&
            !SameName(section.name.c_str(), "DEFINE"))
            section_names.Add(section.name.c_str());
    }
    ReadDefinitions(findings);
    DefineSymbols(findings);
    for (const Definition& definition : definitions) symbol_names.Add(definition.name.c_str());
    for (const auto& symbol : kBuiltInSymbols) symbol_names.Add(symbol[0]);

    if (const ProfileSection* section = Section("UPDATER")) {
        has_updater = true;
        updater.section = section;
        updater.kind = &UpdaterKeys();
        ReadKeys(updater, findings);
    }
    List<const char*> modes;
    for (int i = 0; i < KindCount(); ++i) modes.Add(KindAt(i).mode);
    for (int s = 0; s < static_cast<int>(text.Sections().size()); ++s) {
        const ProfileSection& section = text.Sections()[s];
        if (!IsProcedureSection(section) || text.FindEntry(section, "MODE") == nullptr)
            continue;
        ProcedureInfo info;
        info.section = &section;
        if (ReadKey(section, "MODE", false, info.mode, findings) && info.mode.expanded) {
            info.kind = FindKind(info.mode.value.c_str());
            if (info.kind == nullptr) {
                // Checked as the kind it was most likely meant to be.
                const char* hint = Nearest(info.mode.value.c_str(), modes);
                info.kind = hint != nullptr ? FindKind(hint) : nullptr;
                info.kind_guessed = true;
            }
            if (info.kind != nullptr)
                ReadKeys(info, findings);
        }
        procedure_of[s] = procedures.Count();
        procedures.Add(std::move(info));
    }
}

bool Script::IsProcedureSection(const ProfileSection& section) const {
    return section.line != 0 && FirstOfName(section) == &section &&
           !SameName(section.name.c_str(), "UPDATER") && !SameName(section.name.c_str(), "DEFINE");
}

const ProcedureInfo* Script::ProcedureOf(const ProfileSection* section) const {
    if (section == nullptr)
        return nullptr;
    const int index = procedure_of[Index(*section)];
    return index >= 0 ? &procedures[index] : nullptr;
}

bool Script::IsSymbol(const TextBuffer& name) const {
    TextBuffer value;
    return symbols.Lookup(name.c_str(), value);
}

void Script::ReadDefinitions(Findings& findings) {
    const ProfileSection* section = Section("DEFINE");
    if (section == nullptr)
        return;
    // What the program reads; the lines beyond it are cut off.
    ByteArray lines;
    source.ReadSection("DEFINE", kValueCapacity, lines);
    const char* read = reinterpret_cast<const char*>(lines.Data());
    const char* end = read + lines.Size();
    for (const ProfileEntry& entry : section->entries) {
        if ((entry.name.c_str()[0] == '\0' && !entry.hasValue) || entry.name.c_str()[0] == ';')
            continue;  // lines the section read leaves out
        TextBuffer line(entry.name.c_str());
        if (entry.hasValue)
            line = line + "=" + entry.value.c_str();
        if (read == nullptr || read >= end || strcmp(read, line.c_str()) != 0) {
            findings.Error(entry.line,
                           "DEFINE is cut here: the program reads a section only up to " +
                               Number(kValueCapacity - 1) + " bytes");
            return;
        }
        read += strlen(read) + 1;
        Definition definition;
        definition.name = line.Item(0, "=");
        definition.raw = line.Item(1, "=");
        definition.has_value = entry.hasValue;
        definition.second_equals = strchr(entry.value.c_str(), '=') != nullptr;
        definition.line = entry.line;
        definition.first = defined.Add(definition.name.c_str(), definitions.Count());
        definitions.Add(std::move(definition));
    }
}

bool Script::BuildTable(SymbolTable& table, const char* source_folder, TextBuffer& too_long) {
    // As the program builds its table: the DEFINE lines, then the built-ins,
    // then each definition expanded once, in order, within the limits.
    ::ReadDefinitions(source, table);
    for (const auto& symbol : kBuiltInSymbols) table.Define(symbol[0], symbol[1]);
    table.Define("<Src>", source_folder);
    return table.ExpandDefinitions(too_long);
}

void Script::DefineSymbols(Findings& findings) {
    TextBuffer too_long;
    tables_built = BuildTable(if_given, kStandInFolder, too_long) &&
                   BuildTable(if_empty, kStandInFolder, too_long);
    ByteArray lines;
    source.ReadSection("DEFINE", kValueCapacity, lines);
    tables_alike = lines.Size() == 0 || memchr(lines.Data(), '{', lines.Size()) == nullptr;
    if (BuildTable(symbols, kSourceFolder, too_long))
        return;
    // The program stops at this line with message 2, for the value alone or
    // for all the symbols together.
    const int found = defined.Find(too_long.c_str());
    if (found < 0)
        return;
    const Definition& definition = definitions[found];
    TextBuffer value = definition.raw;
    findings.Error(definition.line, symbols.ExpandValue(value)
                                        ? "the symbols grow beyond " + Number(kMostSymbolBytes) +
                                              " bytes together here (message 2)"
                                        : "the value grows beyond " + Number(kMostExpandedLength) +
                                              " bytes by expansion (message 2)");
}

void Script::ReadKeys(ProcedureInfo& info, Findings& findings) {
    for (int k = 0; k < KeyCount(*info.kind); ++k) {
        const KeySpec& key = KeyAt(*info.kind, k);
        ReadKey(*info.section, key.name, key.form == KeyForm::kNumber, info.keys[k], findings);
    }
}

bool Script::ReadKey(const ProfileSection& section, const char* key, bool number, KeyRead& read,
                     Findings& findings) {
    // The section is the first of its name, the one the program reads.
    const ProfileEntry* entry = text.FindEntry(section, key);
    read.line = entry != nullptr ? entry->line : section.line;
    const size_t capacity = number ? kNumberCapacity : kValueCapacity;
    std::string value;
    if (entry == nullptr)
        return false;
    text.GetString(entry, "NO_DATA", static_cast<uint32_t>(capacity), &value);
    if (EqualsNoCase(value.c_str(), "NO_DATA"))
        return false;  // as the program's reader reads it: missing
    read.present = true;
    read.raw = value.c_str();
    // Only a value as long as the buffer may have been cut.
    std::string whole;
    if (read.raw.Length() + 1 >= capacity)
        text.GetString(entry, "", static_cast<uint32_t>(entry->value.size() + 2), &whole);
    if (whole.size() > read.raw.Length())
        findings.Error(read.line, key + (" is " + Number(static_cast<long long>(whole.size()))) +
                                      " bytes long: the program reads only the first " +
                                      Number(static_cast<long long>(capacity - 1)));
    read.value = read.raw;
    // A number is read as "%d", never expanded.
    read.expanded = number || symbols.ExpandValue(read.value);
    if (!read.expanded) {
        findings.Error(read.line, "the value grows beyond " + Number(kMostExpandedLength) +
                                      " bytes by expansion (message 2)");
        read.value = read.raw;
    }
    return true;
}

bool SameName(const TextBuffer& a, const char* b) {
    return EqualsNoCase(a.c_str(), b);
}

void ListItems(const TextBuffer& value, List<TextBuffer>& items) {
    const char* text = value.c_str();
    if (*text == '\0')
        return;
    for (ptrdiff_t begin = 0;;) {
        const ptrdiff_t comma = FindText(text, begin, ",");
        const ptrdiff_t end = comma < 0 ? static_cast<ptrdiff_t>(value.Length()) : comma;
        TextBuffer item(text + begin, static_cast<size_t>(end - begin));
        item.Trim(" ", " ");
        items.Add(std::move(item));
        if (comma < 0)
            return;
        begin = comma + 1;
    }
}

TextBuffer Quoted(const TextBuffer& text) {
    // Long values are cut, at a character boundary.
    const size_t kShown = 60;
    const char* p = text.c_str();
    if (text.Length() <= kShown)
        return "\"" + text + "\"";
    size_t end = 0;
    while (end < kShown)
        end += (IsLeadByte(static_cast<unsigned char>(p[end])) && p[end + 1] != '\0') ? 2 : 1;
    return "\"" + TextBuffer(p, end) + "...\"";
}

TextBuffer Number(long long n) {
    const uint64_t magnitude = static_cast<uint64_t>(n);
    return n < 0 ? "-" + DecimalText(0 - magnitude) : DecimalText(magnitude);
}
