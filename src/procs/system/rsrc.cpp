// RSRC: copies resources from the FROM module into the TO file in one batch,
// so that the target gets all of them or, on a failure, none.
#include "procs/system/rsrc.h"

#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
#include "procs/kinds.h"

namespace {

// The error of a resource update that gave none (Wine's gives none for a file
// that another program holds): what opening the file for writing says.
uint32_t ErrorOfUpdate(const char* path) {
    const DWORD error = GetLastError();
    if (error != 0)
        return error;
    UniqueHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid() ? 0 : GetLastError();
}

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
        path_ = path;
        handle_ = BeginUpdateResourceA(path, FALSE);
        return handle_ != nullptr;
    }
    HANDLE Get() const { return handle_; }
    // Writes the changes; the handle is gone afterwards, whatever the outcome.
    Status Commit() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return EndUpdateResourceA(handle, FALSE) ? Status::Done()
                                                 : Status::Failed(ErrorOfUpdate(path_));
    }
    void Discard() {
        if (handle_ != nullptr)
            EndUpdateResourceA(handle_, TRUE);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
    const char* path_ = "";
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
            *error = ErrorOfUpdate(Value("TO").c_str());
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
        Gathered gathered = kGathered;
        // Either file may be held by another program for a moment.
        RetryHeldFile(run.events, FileAction::kResourcesUpdated, source.c_str(), target.c_str(),
                      [&] {
                          gathered = Gather(update, &error);
                          return gathered == kGathered ? Status::Done() : Status::Failed(error);
                      });
        if (gathered == kSourceNotLoaded) {
            run.reporter.Fail(kMsgFileNotFound, {source}, error);
            return false;
        }
        if (gathered == kTargetNotOpened) {
            run.reporter.Fail(kMsgFileNotFound, {target}, error);
            return false;
        }
        // A commit that fails has not changed the target either; one tried
        // again gathers anew, as the handle is gone.
        const Status committed =
            gathered != kGathered
                ? Status::Failed(error)
                : ActOnFile(run.events, FileAction::kResourcesUpdated, source, target.c_str(), [&] {
                      if (update.Get() == nullptr && Gather(update, &error) != kGathered)
                          return Status::Failed(error);
                      return update.Commit();
                  });
        if (!committed) {
            update.Discard();
            if (!run.events.StopRequested())
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
