// The lists as they can run: from PROC, through either list of every SWITCH,
// each list built whole before it runs, conditions seeing only the
// procedures of the running lists, newest first.
#include <map>

#include "check/script_check.h"
#include "script/condition.h"

namespace {

// Enough for every script written by hand; a script that branches into more
// combinations is followed this far.
const int kMostLists = 20000;
// A repeat condition with more names than this is not worked out.
const size_t kMostNames = 12;

// Where a condition's name is found: the newest running list that holds it.
struct Found {
    int list = -1;
    int position = 0;
    const ProcedureInfo* procedure = nullptr;
};

// lists: how many of the stack's lists were running then.
Found Resolve(const std::vector<RunningList>& stack, const char* name, size_t lists) {
    Found found;
    const std::string folded = FoldedName(name);
    for (int m = static_cast<int>(lists) - 1; m >= 0; --m) {
        const auto at = stack[m].positions.find(folded);
        if (at != stack[m].positions.end()) {
            found.list = m;
            found.position = at->second;
            found.procedure = stack[m].procedures[at->second];
            return found;
        }
    }
    return found;
}

bool IsKind(const ProcedureInfo* procedure, KindId id) {
    return procedure != nullptr && procedure->kind != nullptr && procedure->kind->id == id;
}

const TextBuffer& ValueOf(const ProcedureInfo& procedure, const char* key) {
    return procedure.values[KeyIndex(*procedure.kind, key)];
}

// A MSGBOX that is shown whenever it runs.
bool ShownAlways(const ProcedureInfo& box) {
    return ValueOf(box, "FLAG").ItemCount(",") < 2;
}

// A MSGBOX with Yes and No: the user chooses its flag.
bool AsksQuestion(const ProcedureInfo& box) {
    const int type = WordIndex(*FindKey(*box.kind, "TYPE"), ValueOf(box, "TYPE").c_str());
    return type == kBoxWarning || type == kBoxQuestion;
}

bool EndsRunOn(const ProcedureInfo& box, int answer) {
    TextBuffer item = ValueOf(box, "ISABORT").Item(answer, ",");
    return item.ToInt() != 0;
}

// The flags one condition reads, by the name it is written with: a bit of
// the flags tried, or -1 for a flag that is always false.
class AssignedFlags : public ConditionFlags {
public:
    AssignedFlags(const std::map<std::string, int>& variable, unsigned bits)
        : variable_(variable), bits_(bits) {}
    bool Find(const char* name, bool* flag) const override;

private:
    const std::map<std::string, int>& variable_;
    unsigned bits_;
};

std::string Folded(const char* name) {
    std::string folded = name;
    for (char& c : folded) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return folded;
}

bool AssignedFlags::Find(const char* name, bool* flag) const {
    const auto found = variable_.find(Folded(name));
    if (found == variable_.end())
        return false;
    *flag = found->second >= 0 && ((bits_ >> found->second) & 1) != 0;
    return true;
}

// A SWITCH that must choose its list again for a repeat to go on.
struct Step {
    const ProcedureInfo* procedure;
    int branch;
    size_t lists;                         // running when it decides
    std::map<std::string, int> variable;  // its names' flags
};

}  // namespace

RunningList ScriptCheck::MakeList(const TextBuffer& names, const ProcedureInfo* opener,
                                  int branch) {
    RunningList list;
    list.opener = opener;
    list.branch = branch;
    for (const TextBuffer& name : ListItems(names)) {
        const ProfileSection* section = name.IsEmpty() ? nullptr : Section(name.c_str());
        const ProcedureInfo* procedure = nullptr;
        if (section != nullptr) {
            reachable_.insert(section);
            const auto known = procedures_.find(section);
            if (known != procedures_.end())
                procedure = &known->second;
        }
        list.positions.emplace(FoldedName(name.c_str()), static_cast<int>(list.names.size()));
        list.names.push_back(name);
        list.procedures.push_back(procedure);
    }
    return list;
}

void ScriptCheck::CheckFlow() {
    if (proc_.ItemCount(",") == 0)
        return;
    std::vector<RunningList> stack;
    stack.push_back(MakeList(proc_, nullptr, 0));
    FollowList(stack);
    if (lists_followed_ > kMostLists)
        findings_.Warning(proc_line_, "the SWITCH lists branch into more than " +
                                          Number(kMostLists) +
                                          " combinations: only that many were followed");
    for (const ProfileSection& section : text_.Sections()) {
        if (section.line == 0 || Section(section.name.c_str()) != &section ||
            SameName(section.name.c_str(), "UPDATER") || SameName(section.name.c_str(), "DEFINE") ||
            reachable_.count(&section) != 0)
            continue;
        findings_.Warning(section.line,
                          "[" + section.name + "] is never run: no list that can run names it");
    }
}

void ScriptCheck::FollowList(std::vector<RunningList>& stack) {
    if (++lists_followed_ > kMostLists)
        return;
    const size_t top = stack.size() - 1;
    for (size_t i = 0; i < stack[top].procedures.size(); ++i) {
        stack[top].running = static_cast<int>(i);
        const ProcedureInfo* procedure = stack[top].procedures[i];
        if (IsKind(procedure, KindId::kMsgBox)) {
            const int flag = KeyIndex(*procedure->kind, "FLAG");
            if (procedure->present[flag] && procedure->values[flag].ItemCount(",") >= 2)
                CheckConditionAt(stack, procedure->values[flag].Item(0, ","),
                                 procedure->lines[flag]);
        }
        if (!IsKind(procedure, KindId::kSwitch))
            continue;
        const int condition = KeyIndex(*procedure->kind, "PROC");
        if (procedure->present[condition])
            CheckConditionAt(stack, procedure->values[condition], procedure->lines[condition]);
        for (int branch = 0; branch < 2; ++branch) {
            const int key = KeyIndex(*procedure->kind, branch == 0 ? "0" : "1");
            const TextBuffer& names = procedure->values[key];
            if (!procedure->present[key] || names.ItemCount(",") == 0)
                continue;
            size_t first = 0;
            while (first < stack.size() &&
                   !(stack[first].opener == procedure && stack[first].branch == branch))
                ++first;
            if (first < stack.size()) {
                CheckRepeat(stack, first, *procedure, branch);
                continue;
            }
            if (stack.size() >= static_cast<size_t>(kMaxListDepth)) {
                findings_.Error(procedure->lines[key],
                                "[" + procedure->section->name + "] would open nested list " +
                                    Number(kMaxListDepth + 1) +
                                    ": the program stops with message 11 (at most " +
                                    Number(kMaxListDepth) + ")");
                continue;
            }
            stack.push_back(MakeList(names, procedure, branch));
            FollowList(stack);
            stack.pop_back();
        }
    }
}

void ScriptCheck::CheckConditionAt(const std::vector<RunningList>& stack,
                                   const TextBuffer& condition, int line) {
    std::vector<std::string> names;
    if (!ConditionNames(condition, &names))
        return;  // reported with the procedure
    for (const std::string& name : names) {
        const Found found = Resolve(stack, name.c_str(), stack.size());
        if (found.list < 0) {
            // A name without a section is reported with the procedure.
            if (Section(name.c_str()) != nullptr)
                findings_.Error(line, "the condition names " + Quoted(name) +
                                          ", which is in no running list here: conditions see "
                                          "only the lists that are running (message 6)");
        } else if (IsKind(found.procedure, KindId::kSwitch)) {
            findings_.Warning(line, "the condition names the SWITCH " + Quoted(name) +
                                        ", whose flag is always false");
        } else if (found.position >= stack[found.list].running) {
            findings_.Warning(line, "the condition reads " + Quoted(name) +
                                        " before it has run: its flag is always false here");
        }
    }
}

void ScriptCheck::CheckRepeat(const std::vector<RunningList>& stack, size_t first,
                              const ProcedureInfo& opener, int branch) {
    // The repeat goes on while the SWITCH at the top and each SWITCH that
    // opened a list above the first repeated one choose the same lists again.
    std::vector<Step> steps = {{&opener, branch, stack.size(), {}}};
    for (size_t m = first + 1; m < stack.size(); ++m)
        steps.push_back({stack[m].opener, stack[m].branch, m, {}});

    // Flags the user sets by answering a question inside the repeated lists,
    // flags that come out either way, and flags that are always false.
    std::vector<int> user, free;
    std::map<std::pair<int, int>, int> variables;
    for (Step& step : steps) {
        std::vector<std::string> names;
        if (!ConditionNames(ValueOf(*step.procedure, "PROC"), &names))
            return;  // the SWITCH fails before it repeats
        for (const std::string& name : names) {
            const Found found = Resolve(stack, name.c_str(), step.lists);
            if (found.list < 0)
                return;  // message 6 ends the run first
            int& bit = step.variable[Folded(name.c_str())];
            const std::pair<int, int> where(found.list, found.position);
            if (IsKind(found.procedure, KindId::kSwitch) ||
                found.position >= stack[found.list].running) {
                bit = -1;
            } else if (variables.count(where) != 0) {
                bit = variables[where];
            } else {
                bit = static_cast<int>(variables.size());
                variables[where] = bit;
                const bool asked = found.list >= static_cast<int>(first) &&
                                   IsKind(found.procedure, KindId::kMsgBox) &&
                                   AsksQuestion(*found.procedure) && ShownAlways(*found.procedure);
                (asked ? user : free).push_back(bit);
            }
        }
    }

    // Can the lists be chosen again, and can some answers prevent it whatever
    // the other flags are?
    bool chosen = false, stoppable = variables.size() > kMostNames;
    for (unsigned u = 0; variables.size() <= kMostNames && u < (1u << user.size()); ++u) {
        bool avoided = true;
        for (unsigned f = 0; f < (1u << free.size()); ++f) {
            unsigned bits = 0;
            for (size_t k = 0; k < user.size(); ++k) bits |= ((u >> k) & 1u) << user[k];
            for (size_t k = 0; k < free.size(); ++k) bits |= ((f >> k) & 1u) << free[k];
            bool again = true;
            for (const Step& step : steps) {
                bool value = false;
                EvaluateCondition(ValueOf(*step.procedure, "PROC"),
                                  AssignedFlags(step.variable, bits), &value);
                again = again && (value ? 1 : 0) == step.branch;
            }
            chosen = chosen || again;
            avoided = avoided && !again;
        }
        stoppable = stoppable || (avoided && !user.empty());
    }
    if (!chosen && !stoppable)
        return;

    // A question that runs before the SWITCH in every round and ends the run
    // on one answer stops the repeat too; a box that always ends it prevents it.
    for (size_t m = first; m < stack.size(); ++m) {
        for (int p = 0; p < stack[m].running; ++p) {
            const ProcedureInfo* box = stack[m].procedures[p];
            if (!IsKind(box, KindId::kMsgBox) || !ShownAlways(*box))
                continue;
            if (!AsksQuestion(*box) && EndsRunOn(*box, 0))
                return;
            if (AsksQuestion(*box) && (EndsRunOn(*box, 0) || EndsRunOn(*box, 1)))
                stoppable = true;
        }
    }
    const int line = opener.lines[KeyIndex(*opener.kind, branch == 0 ? "0" : "1")];
    const std::string name = "[" + opener.section->name + "]";
    if (stoppable) {
        findings_.Warning(line, name +
                                    " selects itself again until a question is answered "
                                    "otherwise (a retry loop): at " +
                                    Number(kMaxListDepth) +
                                    " nested lists the program stops with message 11");
    } else {
        findings_.Error(line, name + " selects itself again and no answer can stop it: at " +
                                  Number(kMaxListDepth) +
                                  " nested lists the program stops with message 11");
    }
}
