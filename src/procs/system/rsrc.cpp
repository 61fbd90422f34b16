// RSRC: copies resources from the FROM module into the TO file in one batch,
// so that the target gets all of them or, on a failure, none.
#include "procs/system/rsrc.h"

#include "base/system.h"
#include "base/win_handles.h"
#include "procs/file/paths.h"
#include "procs/kinds.h"

namespace {

const WORD kJapanese = 0x0411;  // used until the source names a language
// Maps the file as an image without running it; unknown before Vista.
const DWORD kLoadAsImageResource = 0x00000020;

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

BOOL CALLBACK TakeFirstLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR context) {
    *reinterpret_cast<WORD*>(context) = language;
    return FALSE;  // the first one is all we want
}

struct ResourceData {
    void* bytes = nullptr;
    DWORD size = 0;
};

// The resource in exactly this language. FindResourceA would take the
// language the system prefers, which need not be the one it is written as.
bool FindResourceData(HMODULE module, const char* name, const char* type, WORD language,
                      ResourceData& data) {
    HRSRC resource = FindResourceExA(module, type, name, language);
    if (resource == nullptr)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr)
        return false;
    data.bytes = LockResource(loaded);
    data.size = SizeofResource(module, resource);
    return data.bytes != nullptr;
}

enum Gathered { kGathered, kSourceNotLoaded, kTargetNotOpened, kResourceRefused };

struct RsrcProcedure : Procedure {
    // The source stays loaded only while this runs: it is unloaded before
    // the target is written.
    Gathered Gather(ResourceUpdate& update, uint32_t* error) const {
        LoadedModule module(LoadResourceModule(Value("FROM").c_str()));
        if (module.Get() == nullptr) {
            *error = GetLastError();
            return kSourceNotLoaded;
        }
        if (!update.Begin(Value("TO").c_str())) {
            *error = ErrorOfUpdate(Value("TO").c_str());
            return kTargetNotOpened;
        }
        return AddResources(module.Get(), update.Get(), Value("TYPE"), Value("NAME"), error)
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

HMODULE LoadResourceModule(const char* path) {
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | kLoadAsImageResource);
    if (module == nullptr)
        module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

bool AddResources(HMODULE source, HANDLE update, const TextBuffer& types, const TextBuffer& names,
                  uint32_t* error) {
    // Carried from item to item, as the source's languages are found.
    WORD language = kJapanese;
    const int count = types.ItemCount(",");
    for (int i = 0; i < count; ++i) {
        const TextBuffer type = ListItem(types, i);
        const TextBuffer name = ListItem(names, i);
        EnumResourceLanguagesA(source, type.c_str(), name.c_str(), TakeFirstLanguage,
                               reinterpret_cast<LONG_PTR>(&language));
        ResourceData data;
        // Not in the source: an update without data would delete the
        // target's resource of that name, so nothing is given at all.
        if (!FindResourceData(source, name.c_str(), type.c_str(), language, data))
            continue;
        if (!UpdateResourceA(update, type.c_str(), name.c_str(), language, data.bytes, data.size)) {
            *error = GetLastError();
            return false;
        }
    }
    return true;
}

Procedure* NewRsrc() {
    return new (std::nothrow) RsrcProcedure;
}
