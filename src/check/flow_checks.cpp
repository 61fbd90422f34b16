// The lists as they can run: from PROC, through either list of every SWITCH,
// each list built whole before it runs, conditions seeing only the
// procedures of the running lists, newest first.
#include "check/checks.h"
#include "script/condition.h"

namespace {

// Enough for every script written by hand; a script that branches into more
// combinations is followed this far.
const int kMostLists = 20000;
// A repeat condition with more names than this is not worked out.
const int kMostNames = 12;

// A list as it runs: the procedures of its names, and the one running now.
struct RunningList {
    const ProcedureInfo* opener = nullptr;  // the SWITCH that built it; null for PROC
    int branch = 0;
    List<TextBuffer> names;
    List<const ProcedureInfo*> procedures;  // null for a name without a section
    NameIndex positions;                    // a name -> its first position
    int running = 0;
};

// Where a condition's name is found: the newest running list that holds it.
struct Found {
    int list = -1;
    int position = 0;
    const ProcedureInfo* procedure = nullptr;
};

// lists: how many of the stack's lists were running then.
Found Resolve(const List<RunningList>& stack, const char* name, int lists) {
    Found found;
    for (int m = lists - 1; m >= 0; --m) {
        const int at = stack[m].positions.Find(name);
        if (at >= 0) {
            found.list = m;
            found.position = at;
            found.procedure = stack[m].procedures[at];
            return found;
        }
    }
    return found;
}

bool IsKind(const ProcedureInfo* procedure, KindId id) {
    return procedure != nullptr && procedure->kind != nullptr && procedure->kind->id == id;
}

// A MSGBOX that is shown whenever it runs.
bool ShownAlways(const ProcedureInfo& box) {
    return box.Key("FLAG").value.ItemCount(",") < 2;
}

// A MSGBOX with Yes and No: the user chooses its flag.
bool AsksQuestion(const ProcedureInfo& box) {
    const int type = WordIndex(*FindKey(*box.kind, "TYPE"), box.Key("TYPE").value.c_str());
    return type == kBoxWarning || type == kBoxQuestion;
}

bool EndsRunOn(const ProcedureInfo& box, int answer) {
    return box.Key("ISABORT").value.Item(answer, ",").ToInt() != 0;
}

// The flags one condition reads, by the name it is written with: 1 + a bit
// of the flags tried, or 0 for a flag that is always false.
class AssignedFlags : public ConditionFlags {
public:
    AssignedFlags(const NameIndex& variable, unsigned bits) : variable_(variable), bits_(bits) {}
    bool Find(const char* name, bool* flag) const override {
        const int bit = variable_.Find(name);
        if (bit < 0)
            return false;
        *flag = bit > 0 && ((bits_ >> (bit - 1)) & 1) != 0;
        return true;
    }

private:
    const NameIndex& variable_;
    unsigned bits_;
};

// A SWITCH that must choose its list again for a repeat to go on.
struct Step {
    const ProcedureInfo* procedure = nullptr;
    int branch = 0;
    int lists = 0;       // running when it decides
    NameIndex variable;  // its names' flags, as AssignedFlags reads them
};

class Follow {
public:
    explicit Follow(Check& check) : check_(check) {
        for (size_t s = 0; s < check.script.text.Sections().size(); ++s) reachable_.Add(false);
    }
    void Run();

private:
    void Push(const TextBuffer& names, const ProcedureInfo* opener, int branch);
    void FollowTop();
    void CheckConditionAt(const TextBuffer& condition, int line);
    void CheckRepeat(int first, const ProcedureInfo& opener, int branch);

    Check& check_;
    List<RunningList> stack_;
    List<bool> reachable_;  // by section
    int lists_followed_ = 0;
};

void Follow::Push(const TextBuffer& names, const ProcedureInfo* opener, int branch) {
    RunningList list;
    list.opener = opener;
    list.branch = branch;
    ListItems(names, list.names);
    const Script& script = check_.script;
    for (const TextBuffer& name : list.names) {
        const ProfileSection* section = name.IsEmpty() ? nullptr : script.Section(name.c_str());
        if (section != nullptr)
            reachable_[script.Index(*section)] = true;
        list.positions.Add(name.c_str(), list.procedures.Count());
        list.procedures.Add(script.ProcedureOf(section));
    }
    stack_.Add(std::move(list));
}

void Follow::Run() {
    const Script& script = check_.script;
    if (!script.has_updater)
        return;
    const KeyRead& proc = script.updater.Key("PROC");
    if (!proc.present || !proc.expanded || proc.value.ItemCount(",") == 0)
        return;
    Push(proc.value, nullptr, 0);
    FollowTop();
    if (lists_followed_ > kMostLists)
        check_.findings.Warning(proc.line, "the SWITCH lists branch into more than " +
                                               Number(kMostLists) +
                                               " combinations: only that many were followed");
    for (size_t s = 0; s < script.text.Sections().size(); ++s) {
        const ProfileSection& section = script.text.Sections()[s];
        if (!script.IsProcedureSection(section) || reachable_[static_cast<int>(s)])
            continue;
        check_.findings.Warning(
            section.line, "[" + (section.name.c_str() + TextBuffer("] is never run: no list that "
                                                                   "can run names it")));
    }
}

void Follow::FollowTop() {
    if (++lists_followed_ > kMostLists)
        return;
    const int top = stack_.Count() - 1;
    for (int i = 0; i < stack_[top].procedures.Count(); ++i) {
        stack_[top].running = i;
        const ProcedureInfo* procedure = stack_[top].procedures[i];
        if (IsKind(procedure, KindId::kMsgBox)) {
            const KeyRead& flag = procedure->Key("FLAG");
            if (flag.present && flag.value.ItemCount(",") >= 2)
                CheckConditionAt(flag.value.Item(0, ","), flag.line);
        }
        if (!IsKind(procedure, KindId::kSwitch))
            continue;
        const KeyRead& condition = procedure->Key("PROC");
        if (condition.present)
            CheckConditionAt(condition.value, condition.line);
        for (int branch = 0; branch < 2; ++branch) {
            const KeyRead& names = procedure->Key(branch == 0 ? "0" : "1");
            if (!names.present || names.value.ItemCount(",") == 0)
                continue;
            int first = 0;
            while (first < stack_.Count() &&
                   !(stack_[first].opener == procedure && stack_[first].branch == branch))
                ++first;
            if (first < stack_.Count()) {
                CheckRepeat(first, *procedure, branch);
                continue;
            }
            if (stack_.Count() >= kMaxListDepth) {
                check_.findings.Error(names.line, "[" +
                                                      (procedure->section->name.c_str() +
                                                       TextBuffer("] would open nested list ")) +
                                                      Number(kMaxListDepth + 1) +
                                                      ": the program stops with message 11 (at "
                                                      "most " +
                                                      Number(kMaxListDepth) + ")");
                continue;
            }
            Push(names.value, procedure, branch);
            FollowTop();
            stack_.RemoveLast();
        }
    }
}

void Follow::CheckConditionAt(const TextBuffer& condition, int line) {
    List<TextBuffer> names;
    if (!ConditionNames(condition, names))
        return;  // reported with the procedure
    for (const TextBuffer& name : names) {
        const Found found = Resolve(stack_, name.c_str(), stack_.Count());
        if (found.list < 0) {
            // A name without a section is reported with the procedure.
            if (check_.script.Section(name.c_str()) != nullptr)
                check_.findings.Error(line, "the condition names " + Quoted(name) +
                                                ", which is in no running list here: conditions "
                                                "see only the lists that are running (message 6)");
        } else if (IsKind(found.procedure, KindId::kSwitch)) {
            check_.findings.Warning(line, "the condition names the SWITCH " + Quoted(name) +
                                              ", whose flag is always false");
        } else if (found.position >= stack_[found.list].running) {
            check_.findings.Warning(line, "the condition reads " + Quoted(name) +
                                              " before it has run: its flag is always false here");
        }
    }
}

void Follow::CheckRepeat(int first, const ProcedureInfo& opener, int branch) {
    // The repeat goes on while the SWITCH at the top and each SWITCH that
    // opened a list above the first repeated one choose the same lists again.
    List<Step> steps;
    steps.Add(Step{&opener, branch, stack_.Count(), NameIndex()});
    for (int m = first + 1; m < stack_.Count(); ++m)
        steps.Add(Step{stack_[m].opener, stack_[m].branch, m, NameIndex()});

    // Flags the user sets by answering a question inside the repeated lists,
    // flags that come out either way, and flags that are always false.
    List<int> user, free;
    NameIndex variables;  // "list:position" -> its bit
    int count = 0;
    for (Step& step : steps) {
        List<TextBuffer> names;
        if (!ConditionNames(step.procedure->Key("PROC").value, names))
            return;  // the SWITCH fails before it repeats
        for (const TextBuffer& name : names) {
            const Found found = Resolve(stack_, name.c_str(), step.lists);
            if (found.list < 0)
                return;  // message 6 ends the run first
            if (step.variable.Find(name.c_str()) >= 0)
                continue;
            const TextBuffer where = Number(found.list) + ":" + Number(found.position);
            if (IsKind(found.procedure, KindId::kSwitch) ||
                found.position >= stack_[found.list].running) {
                step.variable.Add(name.c_str(), 0);
                continue;
            }
            int bit = variables.Find(where.c_str());
            if (bit < 0) {
                bit = count++;
                variables.Add(where.c_str(), bit);
                const bool asked = found.list >= first &&
                                   IsKind(found.procedure, KindId::kMsgBox) &&
                                   AsksQuestion(*found.procedure) && ShownAlways(*found.procedure);
                (asked ? user : free).Add(bit);
            }
            step.variable.Add(name.c_str(), bit + 1);
        }
    }

    // Can the lists be chosen again, and can some answers prevent it whatever
    // the other flags are?
    bool chosen = false, stoppable = count > kMostNames;
    for (unsigned u = 0; count <= kMostNames && u < (1u << user.Count()); ++u) {
        bool avoided = true;
        for (unsigned f = 0; f < (1u << free.Count()); ++f) {
            unsigned bits = 0;
            for (int k = 0; k < user.Count(); ++k) bits |= ((u >> k) & 1u) << user[k];
            for (int k = 0; k < free.Count(); ++k) bits |= ((f >> k) & 1u) << free[k];
            bool again = true;
            for (const Step& step : steps) {
                bool value = false;
                EvaluateCondition(step.procedure->Key("PROC").value,
                                  AssignedFlags(step.variable, bits), &value);
                again = again && (value ? 1 : 0) == step.branch;
            }
            chosen = chosen || again;
            avoided = avoided && !again;
        }
        stoppable = stoppable || (avoided && user.Count() > 0);
    }
    if (!chosen && !stoppable)
        return;

    // A question that runs before the SWITCH in every round and ends the run
    // on one answer stops the repeat too; a box that always ends it prevents it.
    for (int m = first; m < stack_.Count(); ++m) {
        for (int p = 0; p < stack_[m].running; ++p) {
            const ProcedureInfo* box = stack_[m].procedures[p];
            if (!IsKind(box, KindId::kMsgBox) || !ShownAlways(*box))
                continue;
            if (!AsksQuestion(*box) && EndsRunOn(*box, 0))
                return;
            if (AsksQuestion(*box) && (EndsRunOn(*box, 0) || EndsRunOn(*box, 1)))
                stoppable = true;
        }
    }
    const int line = opener.Key(branch == 0 ? "0" : "1").line;
    const TextBuffer name = "[" + (opener.section->name.c_str() + TextBuffer("]"));
    if (stoppable) {
        check_.findings.Warning(line, name +
                                          " selects itself again until a question is answered "
                                          "otherwise (a retry loop): at " +
                                          Number(kMaxListDepth) +
                                          " nested lists the program stops with message 11");
    } else {
        check_.findings.Error(line, name + " selects itself again and no answer can stop it: at " +
                                        Number(kMaxListDepth) +
                                        " nested lists the program stops with message 11");
    }
}

}  // namespace

void CheckFlow(Check& check) {
    Follow(check).Run();
}
