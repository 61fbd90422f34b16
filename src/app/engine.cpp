#include "app/engine.h"

Engine::ProcList::~ProcList() {
    for (Procedure* procedure : procedures) delete procedure;
}

bool Engine::RunTopList(const TextBuffer& names) {
    const int count = names.ItemCount(",");
    if (count == 0) {
        run_.reporter.Fail(kMsgBadItemCount, {"UPDATER", "PROC"});
        return false;
    }
    return RunList(names, count);
}

bool Engine::RunNestedList(const TextBuffer& names) {
    const int count = names.ItemCount(",");
    return count == 0 || RunList(names, count);
}

bool Engine::Build(const TextBuffer& names, int count, ProcList& list) {
    for (int i = 0; i < count; ++i) {
        Procedure* procedure = BuildProcedure(run_, ListItem(names, i));
        if (procedure == nullptr)
            return false;
        if (!list.procedures.Add(procedure)) {
            delete procedure;
            run_.reporter.Fail(kMsgOutOfMemory, {"ProcList"});
            return false;
        }
    }
    return true;
}

bool Engine::RunList(const TextBuffer& names, int count) {
    if (depth_ >= kMaxListDepth) {
        run_.reporter.Fail(kMsgBadProcedureCount);
        return false;
    }
    ProcList list;
    if (!Build(names, count, list))
        return false;
    running_[depth_++] = &list;
    bool went_on = true;
    for (Procedure* procedure : list.procedures) {
        run_.events.ProcedureStarting(*procedure, depth_);
        went_on = !RefuseRootItems(run_, *procedure) && procedure->Run(run_);
        run_.events.ProcedureEnded(*procedure, depth_, went_on);
        if (!went_on)
            break;
    }
    running_[--depth_] = nullptr;
    return went_on;
}

const Procedure* Engine::FindProcedure(const char* name) const {
    for (int level = depth_ - 1; level >= 0; --level) {
        for (const Procedure* procedure : running_[level]->procedures) {
            if (EqualsNoCase(procedure->name.c_str(), name))
                return procedure;
        }
    }
    return nullptr;
}
