// A script as the program reads it, read once: its sections, the DEFINE
// lines and the symbol table built from them, the keys of [UPDATER] and of
// each procedure, raw and expanded. The checks are passes over it and never
// change it. Reading reports what the reading itself finds: values that the
// reader cuts or expansion refuses.
#pragma once

#include "check/checker.h"
#include "check/findings.h"
#include "check/name_index.h"
#include "script/kind_table.h"
#include "script/profile_text.h"
#include "script/script_source.h"
#include "script/symbols.h"

// The script's values, read by the checker's own reader as the program's
// profile functions read them.
class ProfileSource : public ScriptSource {
public:
    explicit ProfileSource(const ProfileText& text) : text_(text) {}
    bool ReadValue(const char* section, const char* key, size_t capacity,
                   TextBuffer& value) const override;
    void ReadSection(const char* section, size_t capacity, ByteArray& lines) const override;

private:
    const ProfileText& text_;
};

// A machine without a registry: App Paths are never found (the function stays
// as written) and special folders are made-up paths.
class PlaceholderLookups : public SystemLookups {
public:
    bool AppPath(const char*, AppPathValue, TextBuffer&) const override { return false; }
    bool SpecialFolder(int csidl, TextBuffer& path) const override;
};

// App Paths entries that are all found, each with the same value: a path of
// its own, or nothing.
class FoundAppPaths : public PlaceholderLookups {
public:
    explicit FoundAppPaths(const char* value) : value_(value) {}
    bool AppPath(const char*, AppPathValue, TextBuffer& value) const override {
        value = value_;
        return true;
    }

private:
    const char* value_;
};

// One key as the program reads it.
struct KeyRead {
    TextBuffer raw;         // as written
    TextBuffer value;       // as the program holds it: expanded, numbers raw
    int line = 0;           // of the key; of the header when it is missing
    bool present = false;   // the program finds it
    bool expanded = false;  // within the expansion limits
};

// A section with MODE (or [UPDATER]) and its keys, in the order of its kind's keys.
struct ProcedureInfo {
    const ProfileSection* section = nullptr;
    KeyRead mode;
    // What MODE names; when it names no kind, the nearest kind, which the
    // section is checked as (null: none near).
    const KindSpec* kind = nullptr;
    bool kind_guessed = false;
    KeyRead keys[kMostKeys];

    const KeyRead& Key(const char* name) const { return keys[KeyIndex(*kind, name)]; }
};

// A line of DEFINE as the program reads it.
struct Definition {
    TextBuffer name;             // before the first "="
    TextBuffer raw;              // between the first and a second "="
    bool has_value = false;      // the line has a "="
    bool first = true;           // no line above defines the same name
    bool second_equals = false;  // the value is cut there
    int line = 0;
};

// Built-in symbols as on a typical system: the checker knows no machine.
extern const char* const kBuiltInSymbols[6][2];
const char* const kSourceFolder = "C:\\Update";  // <Src>
// What stands for a path that the checker cannot know (<Src>, a word of
// the command line, an App Paths entry) where it asks where an item aims:
// such a path may lie at any depth, so ".." steps from it name a folder,
// never a drive.
const char* const kStandInFolder = "C:\\Update\\1\\2\\3\\4\\5\\6\\7\\8";

class Script {
public:
    Script(const char* bytes, size_t size, const CheckOptions& options, Findings& findings);
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // The section the program reads for a name: the first of that name.
    const ProfileSection* Section(const char* name) const { return text.FindSection(name); }
    // The section the program reads for this one's name; null for one cut
    // at a NUL byte, which it never finds.
    const ProfileSection* FirstOfName(const ProfileSection& section) const {
        return first_of_name[Index(section)];
    }
    // Whether a section is the one its name finds, and not [UPDATER] or
    // [DEFINE]: a procedure's section.
    bool IsProcedureSection(const ProfileSection& section) const;
    int Index(const ProfileSection& section) const {
        return static_cast<int>(&section - text.Sections().data());
    }
    // The procedure a section holds; null when it has no MODE.
    const ProcedureInfo* ProcedureOf(const ProfileSection* section) const;
    bool IsSymbol(const TextBuffer& name) const;

    const char* bytes;
    size_t size;
    bool readable = false;  // false for UTF-16, which is not read
    const CheckOptions& options;
    ProfileText text;
    ProfileSource source;
    PlaceholderLookups lookups;
    TextBuffer command_line;  // the --param words
    SymbolTable symbols;
    // The same symbols where each function whose result depends on the
    // machine or the command line ({?Param}, {?App}, {?AppPath}) gives a
    // path (if_given: the --param word where there is one) or nothing
    // (if_empty). What the two expand alike is certain; built-in folders
    // and {?SpFolder} are never empty. <Src> is kStandInFolder in both.
    FoundAppPaths app_path_given{kStandInFolder}, app_path_empty{""};
    TextBuffer no_words;
    SymbolTable if_given;
    SymbolTable if_empty;
    bool tables_built = false;     // both within the limits of expansion
    bool tables_alike = false;     // no function in DEFINE: the two hold the same
    List<Definition> definitions;  // in file order, as far as the program reads DEFINE
    NameIndex defined;             // a name -> its first definition
    bool has_updater = false;
    ProcedureInfo updater;  // the keys of [UPDATER]
    List<ProcedureInfo> procedures;
    List<int> procedure_of;                     // by section, its index in procedures, or -1
    List<const ProfileSection*> first_of_name;  // by section
    // For hints: the names of procedure sections, and of the symbols.
    List<const char*> section_names;
    List<const char*> symbol_names;

private:
    void ReadDefinitions(Findings& findings);
    void DefineSymbols(Findings& findings);
    bool BuildTable(SymbolTable& table, const char* source_folder, TextBuffer& too_long);
    void ReadKeys(ProcedureInfo& info, Findings& findings);
    bool ReadKey(const ProfileSection& section, const char* key, bool number, KeyRead& read,
                 Findings& findings);
};

// Shared by the passes.

bool SameName(const TextBuffer& a, const char* b);
// Items of a "," list, trimmed of spaces, as the kinds take them; in time
// proportional to the value.
void ListItems(const TextBuffer& value, List<TextBuffer>& items);
// Quoted for a finding, cut when long.
TextBuffer Quoted(const TextBuffer& text);
TextBuffer Number(long long n);
