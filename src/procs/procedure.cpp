#include "procs/procedure.h"

#include "procs/kinds.h"
#include "script/misaimed_items.h"
#include "text/version_number.h"

namespace {

// Whether an optional key's value has the form its items must have.
bool HasForm(const KeySpec& key, const TextBuffer& value) {
    VersionNumber version;
    return key.items != ItemForm::kVersion || ParseVersion(value.c_str(), &version);
}

}  // namespace

const TextBuffer& Procedure::Value(const char* key) const {
    const int index = KeyIndex(*kind, key);
    // Every kind asks only for its own keys; the empty text is a safe answer otherwise.
    static const TextBuffer kNone;
    return index >= 0 ? values[index] : kNone;
}

TextBuffer Procedure::Item(const char* key, int i) const {
    return ListItem(Value(key), i);
}

int Procedure::MainItemCount(RunContext& run) const {
    const KeySpec* main = MainKey(*kind);
    const int count = Value(main->name).ItemCount(",");
    if (count == 0)
        run.reporter.Fail(kMsgBadItemCount,
                          {name, kind->count_label != nullptr ? kind->count_label : main->name});
    return count;
}

bool IsCurrentDriveRootPath(const TextBuffer& path) {
    return MisaimOf(path, 0, static_cast<ptrdiff_t>(path.Length()) - 1, EmptyExpansions()) ==
           Misaim::kDriveRoot;
}

bool RefuseMisaimedItems(RunContext& run, const Procedure& procedure) {
    List<MisaimedItem> misaimed;
    FindMisaimedItems(*procedure.kind, procedure.values, procedure.empties, misaimed);
    if (misaimed.Count() == 0)
        return false;
    procedure.ReportItemFailure(run, misaimed[0].item, 0);
    return true;
}

Procedure* BuildProcedure(RunContext& run, const TextBuffer& name) {
    const ScriptKeys keys = run.Keys();
    TextBuffer mode;
    if (!keys.ReadText(name.c_str(), "MODE", mode))
        return nullptr;
    const KindSpec* kind = FindKind(mode.c_str());
    if (kind == nullptr) {
        run.reporter.Fail(kMsgBadSymbol, {mode});
        return nullptr;
    }
    Procedure* procedure = NewProcedure(kind->id);
    if (procedure == nullptr) {
        run.reporter.Fail(kMsgOutOfMemory, {kind->object_name});
        return nullptr;
    }
    procedure->name = name;
    procedure->mode = mode;
    procedure->kind = kind;
    for (int i = 0; i < kind->key_count; ++i) {
        const KeySpec& key = kind->keys[i];
        TextBuffer& value = procedure->values[i];
        const bool read =
            key.form == KeyForm::kNumber
                ? keys.ReadNumber(name.c_str(), key.name, value)
                : keys.ReadText(name.c_str(), key.name, value, &procedure->empties[i]);
        if (!read) {
            delete procedure;
            return nullptr;
        }
    }
    for (int i = kind->key_count; i < kind->key_count + kind->optional_count; ++i) {
        const KeySpec& key = KeyAt(*kind, i);
        if (!keys.Has(name.c_str(), key.name))
            continue;
        TextBuffer& value = procedure->values[i];
        if (!keys.ReadText(name.c_str(), key.name, value)) {
            delete procedure;
            return nullptr;
        }
        if (!HasForm(key, value)) {
            run.reporter.Fail(kMsgBadFormat, {name, key.name});
            delete procedure;
            return nullptr;
        }
    }
    return procedure;
}
