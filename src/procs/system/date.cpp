// DATE: whether an update is due, that is whether some listed file is
// missing, in use, or last written before a given date.
#include "procs/system/date.h"

#include <windows.h>

#include "base/win_handles.h"
#include "procs/kinds.h"

namespace {

struct DateProcedure : Procedure {
    bool Run(RunContext& run) override {
        return TestItems(run, false, [&](int i) {
            return !IsFileDateOnOrAfter(Item("FILE", i).c_str(), Value("DATE"));
        });
    }
};

}  // namespace

bool IsFileDateOnOrAfter(const char* file, const TextBuffer& date) {
    FILETIME written = {};
    {
        // No sharing: a file that another program holds open counts as unreadable.
        UniqueHandle handle(CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle.IsValid())
            return false;
        if (!GetFileTime(handle.Get(), nullptr, nullptr, &written))
            return false;
    }
    FILETIME local = {};
    SYSTEMTIME file_day = {};
    if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &file_day)) {
        return false;
    }
    // The script's numbers are cut to the 16 bits of the system's fields.
    const WORD year = static_cast<WORD>(date.Item(0, "/").ToInt());
    const WORD month = static_cast<WORD>(date.Item(1, "/").ToInt());
    const WORD day = static_cast<WORD>(date.Item(2, "/").ToInt());
    if (file_day.wYear != year)
        return file_day.wYear > year;
    if (file_day.wMonth != month)
        return file_day.wMonth > month;
    return file_day.wDay >= day;
}

Procedure* NewDate() {
    return new (std::nothrow) DateProcedure;
}
