// The procedure engine: builds a procedure list from a list text, runs it
// and destroys it. The running lists are where conditions find procedures
// by name, newest list first.
#pragma once

#include "procs/procedure.h"
#include "text/list.h"

class Engine : public ProcedureLists {
public:
    explicit Engine(RunContext& run) : run_(run) { run_.lists = this; }
    ~Engine() override { run_.lists = nullptr; }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The top-level list (UPDATER/PROC); an empty one is reported with
    // message 4.
    bool RunTopList(const TextBuffer& names);
    // How the top-level list ended, and the procedure that stopped it ("" when
    // it completed or stopped before any procedure).
    RunEnd End() const { return completed_ ? RunEnd::kCompleted : end_; }
    const TextBuffer& StoppedAt() const { return stopped_at_; }
    bool RunNestedList(const TextBuffer& names) override;
    const Procedure* FindProcedure(const char* name) const override;

private:
    // A built list owns its procedures.
    class ProcList {
    public:
        ProcList() = default;
        ProcList(const ProcList&) = delete;
        ProcList& operator=(const ProcList&) = delete;
        ~ProcList();
        List<Procedure*> procedures;
    };

    // Builds every procedure of the list before the first runs, runs them
    // in order until one fails, and destroys the list.
    bool RunList(const TextBuffer& names, int count);
    bool Build(const TextBuffer& names, int count, ProcList& list);
    // Keeps where the run stopped; only the first (innermost) stop counts.
    void NoteStop(const TextBuffer& procedure, RunEnd end);

    RunContext& run_;
    const ProcList* running_[kMaxListDepth] = {};
    int depth_ = 0;
    RunEnd end_ = RunEnd::kCompleted;
    bool completed_ = false;
    TextBuffer stopped_at_;
};
