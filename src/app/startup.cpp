#include "app/startup.h"

#include <windows.h>

#include "app/engine.h"
#include "app/messages.h"
#include "app/run_state.h"
#include "procs/file/walker.h"
#include "script/reader.h"
#include "script/symbols.h"

TextBuffer CommandLine;
TextBuffer Caption;
TextBuffer ProgramPath;
TextBuffer ScriptPath;
TextBuffer UpdaterName;
TextBuffer UpdaterProc;

const char* const kDefaultCaption = "フォルネア アップデータ";

bool FindOption(char letter, TextBuffer& value) {
    char marker[3] = {'/', letter, '\0'};
    TextBuffer found = CommandLine.Item(1, marker);
    if (found.IsEmpty()) {
        marker[0] = '-';
        found = CommandLine.Item(1, marker);
    }
    if (found.IsEmpty())
        return false;
    value = found.Words(0, 0);
    return true;
}

bool ReadUpdaterSection() {
    ResetListStack();
    return ReadStringKey("UPDATER", "NAME", UpdaterName) &&
           ReadStringKey("UPDATER", "PROC", UpdaterProc);
}

bool InitializeRun(const char* command_line) {
    CommandLine = command_line;
    TextBuffer option;
    Caption = FindOption('t', option) ? option : TextBuffer(kDefaultCaption);

    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    ProgramPath = path;

    if (FindOption('i', option)) {
        // Always relative to the program's folder, even when absolute.
        ScriptPath = ProgramPath.Items(0, -2, "\\") + "\\" + option;
    } else {
        ScriptPath = ProgramPath;
        ScriptPath.ReplaceItems(-1, -1, ".", "ini");
    }
    if (!FileExists(ScriptPath.c_str())) {
        ShowMessage(kMsgFileNotFound, ScriptPath.c_str());
        return false;
    }
    DefineSymbols();
    if (!ReadUpdaterSection())
        return false;
    if (!UpdaterName.IsEmpty())
        Caption = UpdaterName;
    return true;
}
