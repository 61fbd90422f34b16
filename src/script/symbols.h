// The symbol table (<Name>=value entries from DEFINE and the built-in
// folders) and the expansion every string value of the script passes through.
#pragma once

#include <windows.h>

#include "text/text_buffer.h"

// Builds the table at start-up: DEFINE lines first, then the built-ins, then
// every value expanded once in table order.
bool DefineSymbols();
// Adds an entry, or replaces the value of the entry of that name.
void DefineSymbol(const char* name, const char* value);
// name includes its angle brackets; compared without regard to ASCII case.
bool LookupSymbol(const char* name, TextBuffer& target);

// Symbols, then functions, then "\.." steps, in place.
void ExpandValue(TextBuffer& value);
bool ExpandSymbols(TextBuffer& value);
bool ExpandFunctions(TextBuffer& value);
bool CollapseParentDirs(TextBuffer& value);
void ExpandDefinitions();

enum AppPathValue { kAppPathDefault, kAppPathPath };
// Reads a value of the App Paths key of an executable name.
bool GetAppPathValue(const char* name, TextBuffer& target, AppPathValue which);
bool GetSpecialFolder(HWND owner, TextBuffer& target, int csidl);

// The table's text and entry count, for tests.
const TextBuffer& SymbolText();
int SymbolCount();
