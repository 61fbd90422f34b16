#include "app/engine.h"

Engine::ProcList::~ProcList() {
    for (Procedure* procedure : procedures) delete procedure;
}

bool Engine::RunTopList(const TextBuffer& names) {
    const int count = names.ItemCount(",");
    if (count == 0) {
        run_.reporter.Fail(kMsgBadItemCount, {"UPDATER", "PROC"});
        NoteStop("", RunEnd::kFailed);
        return false;
    }
    completed_ = RunList(names, count);
    return completed_;
}

bool Engine::RunNestedList(const TextBuffer& names) {
    const int count = names.ItemCount(",");
    return count == 0 || RunList(names, count);
}

bool Engine::Build(const TextBuffer& names, int count, ProcList& list) {
    for (int i = 0; i < count; ++i) {
        const TextBuffer name = ListItem(names, i);
        Procedure* procedure = BuildProcedure(run_, name);
        if (procedure == nullptr) {
            NoteStop(name, RunEnd::kFailed);
            return false;
        }
        if (!list.procedures.Add(procedure)) {
            delete procedure;
            run_.reporter.Fail(kMsgOutOfMemory, {"ProcList"});
            NoteStop(name, RunEnd::kFailed);
            return false;
        }
    }
    return true;
}

void Engine::NoteStop(const TextBuffer& procedure, RunEnd end) {
    if (end_ != RunEnd::kCompleted)
        return;
    end_ = end;
    stopped_at_ = procedure;
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
        // A procedure that stops the run without a failure does so on the
        // user's answer or Cancel; after Cancel nothing more runs.
        const int failures = run_.reporter.FailureCount();
        went_on = !RefuseMisaimedItems(run_, *procedure) && procedure->Run(run_);
        if (!went_on && run_.reporter.FailureCount() > failures) {
            NoteStop(procedure->name, RunEnd::kFailed);
        } else if (run_.events.StopRequested()) {
            went_on = false;
            NoteStop(procedure->name, RunEnd::kCancelled);
        } else if (!went_on) {
            NoteStop(procedure->name, RunEnd::kAnswered);
        }
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
