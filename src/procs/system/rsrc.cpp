// RSRC: copies resources from the FROM module into the TO file in one batch,
// so that the target gets all of them or, on a failure, none.
#include "procs/system/rsrc.h"

#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
#include "procs/kinds.h"

namespace {

// The pending changes of BeginUpdateResourceA; discarded unless committed.
class ResourceUpdate {
public:
    ResourceUpdate() = default;
    ~ResourceUpdate() { Discard(); }
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;

    // The target's own resources are kept.
    bool Begin(const char* path) {
        Discard();
        handle_ = BeginUpdateResourceA(path, FALSE);
        return handle_ != nullptr;
    }
    HANDLE Get() const { return handle_; }
    // Writes the changes; the handle is gone afterwards, whatever the outcome.
    Status Commit() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return CallStatus(EndUpdateResourceA(handle, FALSE));
    }
    void Discard() {
        if (handle_ != nullptr)
            EndUpdateResourceA(handle_, TRUE);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

enum Gathered { kGathered, kSourceNotLoaded, kTargetNotOpened, kResourceRefused };

struct RsrcProcedure : Procedure {
    // The source is read only while this runs: it is let go of before the
    // target is written.
    Gathered Gather(ResourceUpdate& update, uint32_t* error) const {
        ModuleResources module;
        if (!module.Open(Value("FROM").c_str(), error))
            return kSourceNotLoaded;
        if (!update.Begin(Value("TO").c_str())) {
            *error = GetLastError();
            return kTargetNotOpened;
        }
        return AddResources(module, update.Get(), Value("TYPE"), Value("NAME"), error)
                   ? kGathered
                   : kResourceRefused;
    }

    void ReportItemFailure(RunContext& run, int, uint32_t error) const override {
        run.reporter.Fail(kMsgResourceFailed, {Value("FROM"), Value("TO")}, error);
    }

    bool Run(RunContext& run) override {
        if (MainItemCount(run) == 0)
            return false;
        const TextBuffer& source = Value("FROM");
        const TextBuffer& target = Value("TO");
        ResourceUpdate update;
        uint32_t error = 0;
        const Gathered gathered = Gather(update, &error);
        if (gathered == kSourceNotLoaded) {
            run.reporter.Fail(kMsgFileNotFound, {source}, error);
            return false;
        }
        if (gathered == kTargetNotOpened) {
            run.reporter.Fail(kMsgFileNotFound, {target}, error);
            return false;
        }
        // A commit that fails has not changed the target either.
        const Status committed = gathered != kGathered
                                     ? Status::Failed(error)
                                     : ActOnFile(run.events, FileAction::kResourcesUpdated, source,
                                                 target.c_str(), [&] { return update.Commit(); });
        if (!committed) {
            update.Discard();
            ReportItemFailure(run, 0, committed.Error());
            return false;
        }
        result = true;
        return true;
    }
};

}  // namespace

bool AddResources(const ModuleResources& source, HANDLE update, const TextBuffer& types,
                  const TextBuffer& names, uint32_t* error) {
    const int count = types.ItemCount(",");
    for (int i = 0; i < count; ++i) {
        const TextBuffer type = ListItem(types, i);
        const TextBuffer name = ListItem(names, i);
        WORD language = 0;
        const void* bytes = nullptr;
        DWORD size = 0;
        // Not in the source: an update without data would delete the
        // target's resource of that name, so nothing is given at all.
        if (!source.Find(type.c_str(), name.c_str(), &language, &bytes, &size))
            continue;
        if (!UpdateResourceA(update, type.c_str(), name.c_str(), language, const_cast<void*>(bytes),
                             size)) {
            *error = GetLastError();
            return false;
        }
    }
    return true;
}

Procedure* NewRsrc() {
    return new (std::nothrow) RsrcProcedure;
}
