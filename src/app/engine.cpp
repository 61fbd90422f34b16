#include "app/engine.h"

#include <cstring>

#include "app/messages.h"
#include "app/run_state.h"
#include "procs/kinds.h"
#include "script/reader.h"

namespace {

struct ProcedureKind {
    const char* mode;
    ConstructFunction construct;
};

// In the order in which a MODE value is compared with them.
const ProcedureKind kKinds[] = {
    {"EXIST", ConstructExist},     {"DATE", ConstructDate},       {"SWITCH", ConstructSwitch},
    {"MSGBOX", ConstructMsgBox},   {"COPY", ConstructCopy},       {"LAUNCH", ConstructLaunch},
    {"DELETE", ConstructDelete},   {"LINK", ConstructLink},       {"OSVER", ConstructOsVer},
    {"MAKEDIR", ConstructMakeDir}, {"ATTR", ConstructAttr},       {"CRC", ConstructCrc},
    {"MOVE", ConstructMove},       {"WAITAPP", ConstructWaitApp}, {"APPEXIST", ConstructAppExist},
    {"VERIFY", ConstructVerify},   {"RSRC", ConstructRsrc},       {"SHELL", ConstructShell},
};

// The live lists, oldest first, one pointer each; the stack does not own them.
ByteArray g_list_stack;
int g_list_depth = 0;

ProcList ListAt(int position) {
    ProcList list = nullptr;
    memcpy(&list, g_list_stack.Data() + position * sizeof list, sizeof list);
    return list;
}

}  // namespace

ConstructFunction FindKind(const char* mode) {
    for (const ProcedureKind& kind : kKinds) {
        if (EqualsNoCase(kind.mode, mode))
            return kind.construct;
    }
    return nullptr;
}

bool RunUpdater() {
    const int count = UpdaterProc.ItemCount(",");
    if (count == 0) {
        ShowMessage(kMsgBadItemCount, "UPDATER", "PROC");
        return false;
    }
    if (BuildList(UpdaterProc, count) == nullptr)
        return false;
    if (!RunList(TopList()))
        return false;
    DestroyList(TopList());
    return true;
}

ProcList BuildList(const TextBuffer& text, int count) {
    if (count <= 0 || g_list_depth >= kMaxListDepth) {
        ShowMessage(kMsgBadProcedureCount);
        return nullptr;
    }
    ProcList list = new (std::nothrow) Procedure*[count + 1]();
    if (list == nullptr) {
        ShowMessage(kMsgOutOfMemory, "ProcList");
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        TextBuffer name = text.Item(i, ",");
        name.Trim(" ", " ");
        TextBuffer mode;
        if (!ReadStringKey(name.c_str(), "MODE", mode))
            break;
        const ConstructFunction construct = FindKind(mode.c_str());
        if (construct == nullptr) {
            ShowMessage(kMsgBadSymbol, mode.c_str());
            break;
        }
        list[i] = construct(name, mode);
        if (list[i] == nullptr)
            break;
    }
    if (list[count - 1] == nullptr) {
        // Not pushed: destroy what was built and leave the stack as it was.
        for (int i = 0; list[i] != nullptr; ++i) delete list[i];
        delete[] list;
        return nullptr;
    }
    if (!PushList(list)) {
        ShowMessage(kMsgOutOfMemory, "ProcListArray");
        DestroyList(list);
        return nullptr;
    }
    return list;
}

bool RunList(ProcList list) {
    for (int i = 0; list[i] != nullptr; ++i) {
        if (!list[i]->Run())
            return false;
    }
    return true;
}

int DestroyList(ProcList list) {
    if (list == nullptr)
        return 0;
    const int depth = PopList(list);
    for (int i = 0; list[i] != nullptr; ++i) {
        delete list[i];
        list[i] = nullptr;
    }
    delete[] list;
    return depth;
}

void DestroyRemainingLists() {
    while (DestroyList(TopList()) != 0) {
    }
}

bool PushList(ProcList list) {
    if (list == nullptr || !g_list_stack.Append(&list, sizeof list))
        return false;
    ++g_list_depth;
    return true;
}

ProcList TopList() {
    return g_list_depth == 0 ? nullptr : ListAt(g_list_depth - 1);
}

int PopList(ProcList list) {
    for (int position = g_list_depth - 1; position >= 0; --position) {
        if (ListAt(position) == list) {
            --g_list_depth;
            g_list_stack.Remove(static_cast<uint32_t>(position * sizeof list), sizeof list);
            return g_list_depth;
        }
    }
    return g_list_depth;
}

int ListDepth() {
    return g_list_depth;
}

void ResetListStack() {
    g_list_stack.Clear();
    g_list_depth = 0;
}

Procedure* FindProcedure(const char* name, ProcList list) {
    if (list != nullptr) {
        for (int i = 0; list[i] != nullptr; ++i) {
            if (EqualsNoCase(list[i]->name.c_str(), name))
                return list[i];
        }
        return nullptr;
    }
    for (int position = g_list_depth - 1; position >= 0; --position) {
        if (Procedure* found = FindProcedure(name, ListAt(position)))
            return found;
    }
    return nullptr;
}
