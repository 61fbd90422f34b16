#include "app/log_file.h"

#include "base/system.h"
#include "version.h"

namespace {

// TokenElevation of TOKEN_INFORMATION_CLASS; systems before Vista refuse it.
const TOKEN_INFORMATION_CLASS kTokenElevation = static_cast<TOKEN_INFORMATION_CLASS>(20);

TextBuffer LocalTimeText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DecimalText(now.wYear, 4) + "-" + DecimalText(now.wMonth, 2) + "-" +
           DecimalText(now.wDay, 2) + " " + DecimalText(now.wHour, 2) + ":" +
           DecimalText(now.wMinute, 2) + ":" + DecimalText(now.wSecond, 2);
}

// As it really is, as OSVER MIN sees it; Windows 11 reads 10.0 with a build
// of 22000 or more.
TextBuffer WindowsText() {
    OSVERSIONINFOA info;
    if (!RunningWindows(&info))
        return "unknown";
    const VersionNumber number = NumberOf(info);
    TextBuffer text = DecimalText(number.major) + "." + DecimalText(number.minor) + "." +
                      DecimalText(number.build);
    if (info.szCSDVersion[0] != '\0')
        text = text + " " + info.szCSDVersion;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? text : text + " (Windows 9x family)";
}

TextBuffer ElevationText(LogSink& sink) {
    auto unknown = [&sink](DWORD error) {
        return "unknown, error " + DecimalText(error) + ": " + sink.ErrorText(error);
    };
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return unknown(GetLastError());
    UniqueHandle owner(token);
    DWORD elevated = 0;  // TOKEN_ELEVATION holds this one field
    DWORD size = 0;
    if (!GetTokenInformation(token, kTokenElevation, &elevated, sizeof elevated, &size))
        return unknown(GetLastError());
    return elevated != 0 ? "yes" : "no";
}

TextBuffer DefaultLogPath() {
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH)
        return TextBuffer();
    return TextBuffer(folder) + kDefaultLogName;
}

}  // namespace

void LogFile::Open(const TextBuffer& path) {
    // A relative path is taken from the current folder once, here.
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    TextBuffer full;
    if (size != 0 && full.Reserve(size) &&
        GetFullPathNameA(path.c_str(), size, full.data(), nullptr) < size) {
        path_ = full;
    } else {
        path_ = path;
    }
    OpenFile();
}

bool LogFile::OpenFile() {
    // Append only: a log is never cut. Others may read it, write to it (a
    // second run) and delete or rename it meanwhile.
    file_.Reset(CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.IsValid())
        return false;
    DWORD high = 0;
    if (GetFileSize(file_.Get(), &high) == 0 && high == 0) {
        const char bom[] = {'\xEF', '\xBB', '\xBF'};
        Put(bom, sizeof bom);
    }
    if (waiting_.Size() != 0) {
        Put(waiting_.Data(), waiting_.Size());
        waiting_.Clear();
    }
    return true;
}

void LogFile::Put(const char* bytes, size_t count) {
    DWORD written = 0;
    WriteFile(file_.Get(), bytes, static_cast<DWORD>(count), &written, nullptr);
}

void LogFile::WriteLine(const char* text, size_t length) {
    utf8_.Clear();
    wchar_t* wide = reinterpret_cast<wchar_t*>(wide_.Room(length * sizeof(wchar_t)));
    const int units = length == 0 || wide == nullptr
                          ? 0
                          : MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide,
                                                static_cast<int>(length));
    // UTF-8 takes at most three bytes for each UTF-16 unit.
    char* utf8 = units > 0 ? utf8_.Room(static_cast<size_t>(units) * 3) : nullptr;
    if (utf8 != nullptr) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8, units * 3, nullptr, nullptr);
        utf8_.Grow(static_cast<size_t>(bytes));
    }
    utf8_.Append("\r\n", 2);
    if (file_.IsValid()) {
        Put(utf8_.Data(), utf8_.Size());
    } else {
        waiting_.Append(utf8_.Data(), utf8_.Size());
    }
}

void LogFile::Flush() {
    if (!file_.IsValid() && (path_.IsEmpty() || !OpenFile()))
        return;
    FlushFileBuffers(file_.Get());
}

void LogFile::Close() {
    file_.Reset();
}

TextBuffer LogFile::ErrorText(uint32_t error) {
    char text[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    // The system ends its texts with a line break; those bytes are never
    // trail bytes.
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        --length;
    text[length] = '\0';
    return TextBuffer(text);
}

void RunLogger::Start(RunContext& run, const CallerRequest& caller, bool script_readable) {
    // The caller's log comes first, then the script's own; an unattended
    // run that has neither writes the default one.
    TextBuffer path = caller.AcceptedLog();
    if (path.IsEmpty() && script_readable)
        run.Keys().ReadOptionalText("UPDATER", "LOG", path);
    if (path.IsEmpty() && caller.unattended)
        path = DefaultLogPath();
    if (path.IsEmpty())
        return;
    file_.Open(path);
    LogHeader header;
    header.local_time = LocalTimeText();
    header.version = UPDATER_VERSION_TEXT;
    header.program_path = run.program_path;
    header.script_path = run.script_path;
    header.command_line = run.command_line;
    header.windows = WindowsText();
    header.elevated = ElevationText(file_);
    header.caller = caller.summary;
    log_.Begin(header, file_.Path());
    run.events.Add(&log_);
    run.reporter.AddListener(&log_);
}
