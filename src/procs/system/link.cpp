// LINK: shell shortcut files, one for each SRC item, saved under the DST item
// at the same position with ".LNK" appended.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "app/messages.h"
#include "app/win_handles.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

// The show command stored for a window state code; 0 leaves the default.
int ShowCommandOf(int32_t code) {
    switch (code) {
        case 1:
            return SW_SHOWNORMAL;
        case 2:
            return SW_SHOWMINNOACTIVE;
        case 3:
            return SW_SHOWMAXIMIZED;
    }
    return 0;
}

// Only the save decides: the settings before it are taken as given.
bool CreateShortcut(const TextBuffer& target, const TextBuffer& link_file,
                    const TextBuffer& parameters, int32_t code) {
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.Out()))) {
        return false;
    }
    TextBuffer folder;  // stays empty for a target without a folder part
    FolderOfPath(target.c_str(), folder);
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(folder.c_str());
    link->SetArguments(parameters.c_str());
    const int show = ShowCommandOf(code);
    if (show != 0)
        link->SetShowCmd(show);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out())))
        return false;
    // A path that does not fit is refused, never saved cut short.
    WCHAR path[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link_file.c_str(), -1, path, MAX_PATH) == 0)
        return false;
    return SUCCEEDED(file->Save(path, TRUE));
}

struct LinkProcedure : Procedure {
    TextBuffer targets;
    TextBuffer parameters;
    TextBuffer show_codes;
    TextBuffer links;

    bool ReadKeys() {
        return ReadTextKeys(
            name,
            {{"SRC", &targets}, {"PARAM", &parameters}, {"SHOWCMD", &show_codes}, {"DST", &links}});
    }

    bool Run() override {
        const int count = MainItemCount(targets, "LINK");
        if (count == 0)
            return false;
        for (int i = 0; i < count; ++i) {
            const TextBuffer target = ListItem(targets, i);
            const TextBuffer link = ListItem(links, i);
            const TextBuffer arguments = ListItem(parameters, i);
            const int32_t code = ListItem(show_codes, i).ToInt();
            // A folder that cannot be made shows up as a failed save.
            MakeFolderPath(link.Items(0, -2, "\\"));
            if (!CreateShortcut(target, link + ".LNK", arguments, code)) {
                ShowMessage(kMsgLinkFailed, target.c_str(), link.c_str());
                return false;
            }
        }
        result = true;
        return true;
    }
};

}  // namespace

Procedure* ConstructLink(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<LinkProcedure>(name, mode, "SHORTCUT_INFO");
}
