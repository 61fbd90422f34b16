// The checks: each a pass over the script as read, reporting to findings.
// script_checks.cpp: the file, its layout, DEFINE, [UPDATER] and LOG;
// value_checks.cpp: symbols, functions and numbers as written;
// procedure_checks.cpp: each procedure's keys and items; kind_rules.cpp:
// each kind's own rules; aim_checks.cpp: items aimed at the current drive
// or folder; flow_checks.cpp: the lists as they can run.
#pragma once

#include "check/script_model.h"

// What a pass works with. A hint costs time in proportion to the names it
// is chosen from, so a script full of unknown names gets hints for its
// first ones only; so does naming what makes an item misaimed.
struct Check {
    const Script& script;
    Findings& findings;
    size_t hint_budget = 20000000;   // names compared for hints
    size_t blame_budget = 20000000;  // bytes searched for what makes items misaimed

    // The nearest of names to word, while the budget lasts; null for none.
    const char* Hint(const char* word, const List<const char*>& names);
};

void CheckEncoding(Check& check);
void CheckLayout(Check& check);
void CheckDefinitions(Check& check);
void CheckUpdater(Check& check);
void CheckLog(Check& check);
void CheckProcedures(Check& check);
// The keys of a procedure or of [UPDATER] by the rows of its kind: missing,
// unknown, empty, their items and how the lists pair.
void CheckSectionKeys(Check& check, const ProcedureInfo& info);
void CheckFlow(Check& check);
// Items of the keys that write, move or delete that the updater refuses
// because they name the root of the current drive, the current folder, or a
// path that only an empty symbol or function made relative.
void CheckAims(Check& check, const ProcedureInfo& info);

// Symbols and functions as written; prose (a caption, a message) may hold
// "<", ">", "{" and "}" of its own.
void CheckWritten(Check& check, const TextBuffer& raw, int line, bool prose);
// A number item of a key: warns when it is not wholly a number.
void CheckNumber(Check& check, const TextBuffer& item, bool hex, const TextBuffer& what, int line);

// The names of a list key: each must have a section with MODE.
void CheckListNames(Check& check, const TextBuffer& value, const char* key, int line);
// A condition's syntax and that each name has a section.
void CheckConditionText(Check& check, const TextBuffer& condition, const char* key, int line);
// "; did you mean [Name]?" for the section nearest to name, or "".
TextBuffer SectionHint(Check& check, const char* name);
// The names a condition looks up, in order, as the evaluator reads it;
// false when it does not parse.
bool ConditionNames(const TextBuffer& condition, List<TextBuffer>& names);

// A kind's own rules, beyond what its keys' rows say.
typedef void (*KindRules)(Check& check, const ProcedureInfo& procedure);
// Null for a kind without rules of its own.
KindRules RulesOf(KindId kind);
