// The checker's reading of one script, with the program's own reader rules,
// symbol table, kind table and condition evaluator. Split by subject:
// script_check.cpp (the file, DEFINE, UPDATER), value_checks.cpp (symbols,
// functions, numbers, lengths), procedure_checks.cpp (each procedure's keys)
// and flow_checks.cpp (the lists as they can run).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "check/checker.h"
#include "check/findings.h"
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

// A procedure's section as the program builds it.
struct ProcedureInfo {
    const ProfileSection* section = nullptr;
    const KindSpec* kind = nullptr;  // null: no MODE, or a MODE that names no kind
    TextBuffer values[kMostKeys];    // as the program holds them: expanded, numbers raw
    TextBuffer raw[kMostKeys];       // as written
    bool present[kMostKeys] = {};
    bool expanded[kMostKeys] = {};  // within the expansion limits
    int lines[kMostKeys] = {};      // of the key; of the header when it is missing
};

// A line of DEFINE as the program reads it.
struct Definition {
    TextBuffer name;     // before the first "="
    TextBuffer raw;      // between the first and a second "="
    bool has_value;      // the line has a "="
    bool first;          // no line above defines the same name
    bool second_equals;  // the value is cut there
    int line;
};

// A list as it runs: the procedures of its names, and the one running now.
struct RunningList {
    const ProcedureInfo* opener = nullptr;  // the SWITCH that built it; null for PROC
    int branch = 0;
    std::vector<TextBuffer> names;
    std::vector<const ProcedureInfo*> procedures;  // null for a name without a section
    std::map<std::string, int> positions;          // folded name -> its first position
    int running = 0;
};

class ScriptCheck {
public:
    ScriptCheck(const char* bytes, size_t size, const CheckOptions& options);
    ScriptCheck(const ScriptCheck&) = delete;
    ScriptCheck& operator=(const ScriptCheck&) = delete;

    std::vector<Finding> Run();

private:
    // script_check.cpp
    void CheckEncoding();
    void CheckLayout();
    void ReadDefinitionLines();
    void DefineSymbols();
    void CheckDefinitions();
    void CheckUpdater();
    // LOG naming a file the script itself is, reads or writes.
    void CheckLog();
    std::string CodePageName() const;
    // The section the program reads for a name: the first of that name.
    const ProfileSection* Section(const char* name) const;
    // Why a key reads as missing, for the finding.
    // kind: whose keys to list when the key is absent.
    std::string Missing(const ProfileSection& section, const char* key,
                        const KindSpec* kind = nullptr) const;

    // value_checks.cpp
    // The raw value as the program reads it; false when the key is missing.
    // Reports a value that the reader cuts.
    bool ReadRaw(const ProfileSection& section, const char* key, bool number, TextBuffer& raw,
                 int* line);
    // Expands as the program does; false, with an error, when the value
    // would grow beyond the program's limit.
    bool Expand(const TextBuffer& raw, int line, TextBuffer& value);
    // Symbols and functions as written; prose (a caption, a message) may
    // hold "<", ">", "{" and "}" of its own.
    void CheckWritten(const TextBuffer& raw, int line, bool prose = false);
    void CheckSymbols(const TextBuffer& raw, int line, bool prose);
    void CheckFunctions(const TextBuffer& raw, int line, bool prose);
    // A number item of a key: warns when it is not wholly a number.
    void CheckNumber(const TextBuffer& item, bool hex, const std::string& what, int line);
    // What makes an item (as written) begin with nothing: "begins with ...,
    // which ..."; "" when it cannot.
    std::string EmptyStart(const TextBuffer& raw) const;
    // The function at the start of raw, or of the symbol there, that can
    // give nothing; "" for a symbol defined empty. False when there is none.
    bool EmptyCause(const TextBuffer& raw, int depth, std::string* function) const;
    bool IsSymbol(const TextBuffer& name) const;

    // procedure_checks.cpp
    ProcedureInfo& Info(const ProfileSection& section);
    void CheckProcedure(const ProfileSection& section);
    void CheckKeys(ProcedureInfo& info);
    void CheckItems(const ProcedureInfo& info);
    void CheckKindRules(const ProcedureInfo& info);
    void CheckPairs(const ProcedureInfo& info);
    void CheckUnknownKeys(const ProcedureInfo& info);
    // The names of a list key: each must have a section.
    void CheckListNames(const TextBuffer& value, const char* key, int line);
    // A condition's syntax and that each name has a section.
    void CheckConditionText(const TextBuffer& condition, const char* key, int line);
    std::string SectionHint(const std::string& name);
    // The nearest of names to word, while hints are left.
    std::string Hint(const std::string& word, const std::vector<std::string>& names);

    // flow_checks.cpp
    void CheckFlow();
    void FollowList(std::vector<RunningList>& stack);
    void CheckConditionAt(const std::vector<RunningList>& stack, const TextBuffer& condition,
                          int line);
    void CheckRepeat(const std::vector<RunningList>& stack, size_t first,
                     const ProcedureInfo& opener, int branch);
    RunningList MakeList(const TextBuffer& names, const ProcedureInfo* opener, int branch);

    ProfileText text_;
    const char* bytes_;
    size_t size_;
    CheckOptions options_;
    ProfileSource source_;
    PlaceholderLookups lookups_;
    TextBuffer command_line_;
    SymbolTable symbols_;
    Findings findings_;
    std::map<const ProfileSection*, ProcedureInfo> procedures_;
    std::set<const ProfileSection*> listed_;     // named by some list key
    std::set<const ProfileSection*> reachable_;  // in a list that can run
    std::vector<Definition> definitions_;    // in file order, as far as the program reads DEFINE
    std::map<std::string, size_t> defined_;  // folded name -> its first definition
    ProcedureInfo updater_;                  // the keys of [UPDATER]
    TextBuffer proc_;                        // UPDATER/PROC, expanded; empty when it cannot run
    int proc_line_ = 0;
    int lists_followed_ = 0;
    size_t hint_budget_ = 20000000;           // names compared for hints
    std::vector<std::string> known_symbols_;  // for hints
    std::vector<std::string> section_names_;  // for hints
};

// A name compared as the program compares procedure, symbol and keyword names.
bool SameName(const TextBuffer& a, const char* b);
// The name with ASCII letters folded, double-byte characters kept whole:
// names equal by SameName give the same text.
std::string FoldedName(const char* name);
// The names a condition looks up, in order, as the evaluator reads it; false
// when it does not parse.
bool ConditionNames(const TextBuffer& condition, std::vector<std::string>* names);
// Items of a "," list, trimmed of spaces, as the kinds take them.
std::vector<TextBuffer> ListItems(const TextBuffer& value);
// Quoted for a finding, cut when long.
std::string Quoted(const TextBuffer& text);
std::string Quoted(const std::string& text);
std::string Number(long long n);
