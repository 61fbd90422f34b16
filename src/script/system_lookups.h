// What expansion asks the system: the registry's App Paths, the shell's
// special folders, and the folders behind the built-in symbols.
#pragma once

#include "script/symbols.h"

class SystemFolders : public SystemLookups {
public:
    bool AppPath(const char* name, AppPathValue which, TextBuffer& value) const override;
    bool SpecialFolder(int csidl, TextBuffer& path) const override;
};

// Defines <Win>, <Sys>, <Src> (program_folder), <Desktop>, <Programs> and
// <Temp>, in this order.
void DefineBuiltInSymbols(SymbolTable& symbols, const SystemLookups& lookups,
                          const TextBuffer& program_folder);
