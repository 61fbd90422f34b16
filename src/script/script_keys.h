// The script's keys as the program uses them: read from the script, string
// values expanded, a missing key reported with message 2.
#pragma once

#include <cstdint>

#include "base/reporter.h"
#include "script/kind_table.h"
#include "script/script_source.h"
#include "script/symbols.h"

class ScriptKeys {
public:
    ScriptKeys(const ScriptSource& source, const SymbolTable& symbols, Reporter& reporter)
        : source_(source), symbols_(symbols), reporter_(reporter) {}

    // The expanded value; false (message 2 shown) when the key is missing or
    // its value would grow beyond what expansion allows. empties, when given,
    // receives where a symbol or function in it expanded to nothing.
    bool ReadText(const char* section, const char* key, TextBuffer& value,
                  EmptyExpansions* empties = nullptr) const;
    // The expanded value of a key that may be left out; false, and nothing
    // shown, when it is missing or would grow beyond what expansion allows.
    bool ReadOptionalText(const char* section, const char* key, TextBuffer& value) const;
    // True when the section has the key (with a value other than "NO_DATA").
    bool Has(const char* section, const char* key) const;
    // True when the [UPDATER] key says YES, in any letter case; a missing
    // key and any other value are off.
    bool IsYes(const char* key) const;
    // A value that is read as a number ("%d", ToInt): unexpanded, and only
    // its first 259 bytes. False (message 2 shown) when the key is missing.
    bool ReadNumber(const char* section, const char* key, TextBuffer& value) const;
    // A key of [UPDATER] as its row in the key table says: a required key
    // that is missing is reported (message 2), an optional one gives false
    // quietly. A key without a row is never read: the checker knows only
    // the rows.
    bool ReadUpdater(const char* key, TextBuffer& value) const;

private:
    const ScriptSource& source_;
    const SymbolTable& symbols_;
    Reporter& reporter_;
};

// UPDATER/RETRY: how many seconds a file change waits for a file that
// another program holds. Whole seconds, spaces around them allowed, none
// for 0; false for anything else, or more than this.
const uint32_t kMostRetrySeconds = 600;
bool ParseRetrySeconds(const TextBuffer& value, uint32_t* seconds);

// Adds the lines of the DEFINE section that do not begin with ";" to the table.
void ReadDefinitions(const ScriptSource& source, SymbolTable& symbols);

// The value written directly behind "/letter" (or "-letter") in the command
// line, up to the first space outside double quotes; false when there is none.
bool FindOption(const TextBuffer& command_line, char letter, TextBuffer& value);
