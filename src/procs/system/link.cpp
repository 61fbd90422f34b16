// LINK: shell shortcut files, one for each SRC item, saved under the DST item
// at the same position with ".LNK" appended.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
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
Status CreateShortcut(const TextBuffer& target, const TextBuffer& link_file,
                      const TextBuffer& parameters, int32_t code) {
    ComPtr<IShellLinkA> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, link.Out());
    if (FAILED(result))
        return Status::Failed(static_cast<uint32_t>(result));
    TextBuffer folder;  // stays empty for a target without a folder part
    FolderOfPath(target.c_str(), folder);
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(folder.c_str());
    link->SetArguments(parameters.c_str());
    const int show = ShowCommandOf(code);
    if (show != 0)
        link->SetShowCmd(show);

    ComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.Out());
    if (FAILED(result))
        return Status::Failed(static_cast<uint32_t>(result));
    // A path that does not fit is refused, never saved cut short.
    WCHAR path[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link_file.c_str(), -1, path, MAX_PATH) == 0)
        return LastErrorStatus();
    result = file->Save(path, TRUE);
    return SUCCEEDED(result) ? Status::Done() : Status::Failed(static_cast<uint32_t>(result));
}

struct LinkProcedure : Procedure {
    bool Run(RunContext& run) override {
        return ActOnEachItem(run, [&](int i) {
            const TextBuffer link = Item("DST", i);
            // A folder that cannot be made shows up as a failed save.
            MakeFolderPath(run.events, ParentOf(link));
            const TextBuffer link_file = link + ".LNK";
            const TextBuffer target = Item("SRC", i);
            return ActOnFile(run.events, FileAction::kShortcutSaved, link_file, target.c_str(),
                             [&] {
                                 return CreateShortcut(target, link_file, Item("PARAM", i),
                                                       Item("SHOWCMD", i).ToInt());
                             });
        });
    }
    void ReportItemFailure(RunContext& run, int i, uint32_t error) const override {
        run.reporter.Fail(kMsgLinkFailed, {Item("SRC", i), Item("DST", i)}, error);
    }
};

}  // namespace

Procedure* NewLink() {
    return new (std::nothrow) LinkProcedure;
}
