#include "app/caller.h"

#include <windows.h>

#include <cstring>

#include "app/run_log.h"

namespace {

TextBuffer Variable(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    TextBuffer value;
    if (size == 0 || !value.Reserve(size) ||
        GetEnvironmentVariableA(name, value.data(), size) >= size)
        return TextBuffer();
    return value;
}

}  // namespace

TextBuffer CallerRequest::AcceptedLog() const {
    return IsLogFileName(log.c_str()) ? log : TextBuffer();
}

CallerRequest ReadCallerRequest() {
    CallerRequest request;
    const char* const kNames[] = {"UPDATER_EXIT_STATUS", "UPDATER_UNATTENDED", "UPDATER_ANSWERS",
                                  "UPDATER_LOG"};
    TextBuffer values[4];
    for (int i = 0; i < 4; ++i) {
        values[i] = Variable(kNames[i]);
        if (values[i].IsEmpty())
            continue;
        if (!request.summary.IsEmpty())
            request.summary.Append(", ");
        request.summary.Append(TextBuffer(kNames[i]) + "=" + values[i]);
    }
    // "1" turns a switch on; a space behind it ("set X=1 && ...") is forgiven.
    const auto on = [](TextBuffer value) {
        value.Trim(" ", " ");
        return strcmp(value.c_str(), "1") == 0;
    };
    request.exit_status = on(values[0]);
    request.unattended = on(values[1]);
    request.answers = values[2];
    request.log = values[3];
    if (!request.log.IsEmpty() && request.AcceptedLog().IsEmpty())
        request.summary.Append(" (UPDATER_LOG is ignored: not the path of a .log file)");
    SetEnvironmentVariableA("UPDATER_ANSWERS", nullptr);
    return request;
}
