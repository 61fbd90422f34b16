#include "app/log_file.h"

#include <shlobj.h>

#include <cstring>

#include "base/system.h"
#include "version.h"

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

// The name that path ends in, as the system takes it: after the last "\\"
// or "/", without the dots and spaces at its end.
TextBuffer NameOf(const char* path) {
    TextBuffer name = TextBuffer(path).Item(-1, "\\").Item(-1, "/");
    for (size_t length = 0; length != name.Length();) {
        length = name.Length();
        name.Trim("", ".");
        name.Trim("", " ");
    }
    return name;
}

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

LogFile::~LogFile() {
    if (given_up_ || waiting_.Size() == 0)
        return;
    Flush();
    if (waiting_.Size() != 0)
        GiveUpFile("it could not be written at the end of the run: error " +
                   DecimalText(write_error_) + ": " + ErrorText(write_error_));
}

void LogFile::Open(const TextBuffer& path, const TextBuffer& script, const TextBuffer& program,
                   const TextBuffer& stand_in_folder) {
    // A relative path is taken from the current folder once, here.
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    TextBuffer full;
    if (size != 0 && full.Reserve(size) &&
        GetFullPathNameA(path.c_str(), size, full.data(), nullptr) < size) {
        path_ = full;
    } else {
        path_ = path;
    }
    names_[0] = NameOf(path_.c_str());
    script_ = script;
    program_ = program;
    stand_in_folder_ = stand_in_folder;
}

bool LogFile::OpenOwnFile() {
    if (given_up_ || path_.IsEmpty())
        return false;
    // Append only: a log is never cut. Others may read it, write to it (a
    // second run) and delete or rename it meanwhile.
    file_.Reset(CreateFileA(path_.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.IsValid()) {
        write_error_ = GetLastError();
        return false;
    }
    const bool made = GetLastError() != ERROR_ALREADY_EXISTS;
    const TextBuffer why = Refusal(file_.Get(), made);
    if (!why.IsEmpty()) {
        GiveUpFile(why);
        return false;
    }
    // Its other spellings, for IsOwnFile's quick test.
    char other[MAX_PATH + 1] = {};
    if (GetLongPathNameA(path_.c_str(), other, MAX_PATH) - 1 < MAX_PATH - 1)
        names_[0] = NameOf(other);
    if (GetShortPathNameA(path_.c_str(), other, MAX_PATH) - 1 < MAX_PATH - 1)
        names_[1] = NameOf(other);
    DWORD high = 0;
    if (GetFileSize(file_.Get(), &high) == 0 && high == 0)
        Put(kByteOrderMark, sizeof kByteOrderMark - 1);
    if (waiting_.Size() != 0 && Put(waiting_.Data(), waiting_.Size())) {
        waiting_.Clear();
        waiting_header_ = 0;
    }
    return file_.IsValid();
}

TextBuffer LogFile::Refusal(HANDLE file, bool made) const {
    if (made)
        return "";
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information))
        return "it cannot be identified";
    const FileIdentity identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
                                   information.nFileIndexLow};
    FileIdentity other;
    if (IdentityOf(script_, other) && other == identity)
        return "it is the script";
    if (IdentityOf(program_, other) && other == identity)
        return "it is the program";
    // Another name could reach it unseen.
    if (information.nNumberOfLinks > 1)
        return "it has more than one name";
    if (information.nFileSizeLow == 0 && information.nFileSizeHigh == 0)
        return "";
    // A log of this program: its first line, after a byte-order mark.
    char head[sizeof kByteOrderMark - 1 + sizeof kRunMarker - 1] = {};
    DWORD read = 0;
    ReadFile(file, head, sizeof head, &read, nullptr);
    const size_t skip = memcmp(head, kByteOrderMark, sizeof kByteOrderMark - 1) == 0
                            ? sizeof kByteOrderMark - 1
                            : 0;
    if (read < skip + sizeof kRunMarker - 1 ||
        memcmp(head + skip, kRunMarker, sizeof kRunMarker - 1) != 0)
        return "it is not a log file";
    return "";
}

void LogFile::GiveUpFile(const TextBuffer& why) {
    if (given_up_)
        return;
    given_up_ = true;
    file_.Reset();
    OpenStandIn(why);
}

void LogFile::OpenStandIn(const TextBuffer& why) {
    if (stand_in_folder_.IsEmpty())
        return;
    // The program's own folders: never a link that leads elsewhere.
    for (const TextBuffer& folder : {ParentOf(stand_in_folder_), stand_in_folder_}) {
        CreateDirectoryA(folder.c_str(), nullptr);
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return;
    }
    // Always a new file: one of this name that is there already is not ours.
    SYSTEMTIME now;
    GetLocalTime(&now);
    const TextBuffer name = stand_in_folder_ + "\\run-" + DecimalText(now.wYear, 4) +
                            DecimalText(now.wMonth, 2) + DecimalText(now.wDay, 2) + "-" +
                            DecimalText(now.wHour, 2) + DecimalText(now.wMinute, 2) +
                            DecimalText(now.wSecond, 2) + "-" + DecimalText(GetCurrentProcessId());
    for (int attempt = 1; attempt <= 9 && !file_.IsValid(); ++attempt) {
        const TextBuffer file =
            attempt == 1 ? name + ".log" : name + "-" + DecimalText(attempt) + ".log";
        file_.Reset(CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
    if (!file_.IsValid())
        return;
    // The header, the file it stands in for and why, then what waits.
    const TextBuffer instead = "instead of: " + path_ + " (" + why + ")";
    Encode(instead.c_str(), instead.Length());
    if (Put(kByteOrderMark, sizeof kByteOrderMark - 1) && Put(header_.Data(), header_.Size()) &&
        Put(utf8_.Data(), utf8_.Size()) &&
        Put(waiting_.Data() + waiting_header_, waiting_.Size() - waiting_header_)) {
        waiting_.Clear();
        waiting_header_ = 0;
    }
}

bool LogFile::Put(const char* bytes, size_t count) {
    DWORD written = 0;
    if (count == 0)
        return true;
    if (WriteFile(file_.Get(), bytes, static_cast<DWORD>(count), &written, nullptr) &&
        written == count)
        return true;
    // A full disk or a file gone: what did not fit waits for the next open.
    write_error_ = GetLastError();
    file_.Reset();
    return false;
}

void LogFile::Encode(const char* text, size_t length) {
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
}

void LogFile::WriteLine(const char* text, size_t length) {
    Encode(text, length);
    if (!header_done_)
        header_.Append(utf8_.Data(), utf8_.Size());
    if (!file_.IsValid() || !Put(utf8_.Data(), utf8_.Size()))
        waiting_.Append(utf8_.Data(), utf8_.Size());
}

void LogFile::HeaderWritten() {
    header_done_ = true;
    waiting_header_ = waiting_.Size();
}

void LogFile::Flush() {
    if (!file_.IsValid() && !OpenOwnFile())
        return;
    FlushFileBuffers(file_.Get());
}

void LogFile::Close() {
    // A stand-in is the log's own to the end.
    if (!given_up_)
        file_.Reset();
}

bool LogFile::IsOwnFile(const char* path) {
    // Most paths end in another name: only a name the file has, long or
    // short, is looked at closer.
    const TextBuffer name = NameOf(path);
    if (name.IsEmpty() || (!EqualsNoCase(name.c_str(), names_[0].c_str()) &&
                           !EqualsNoCase(name.c_str(), names_[1].c_str())))
        return false;
    return IsSamePlace(path, path_);
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
        run.Keys().ReadUpdater("LOG", path);
    if (path.IsEmpty() && caller.unattended)
        path = DefaultLogPath();
    if (path.IsEmpty())
        return;
    // A stand-in goes into the account's own folder, as the undo journal does.
    TextBuffer local;
    if (run.symbols.Lookups().SpecialFolder(CSIDL_LOCAL_APPDATA, local))
        RemoveTrailingSeparators(local);
    file_.Open(path, run.script_path, run.program_path,
               local.IsEmpty() ? TextBuffer() : local + "\\Updater\\Logs");
    LogHeader header;
    header.local_time = LocalTimeText();
    header.version = UPDATER_VERSION_TEXT;
    header.program_path = run.program_path;
    header.script_path = run.script_path;
    header.command_line = run.command_line;
    header.windows = WindowsText();
    header.elevated = ElevationText(file_);
    header.caller = caller.summary;
    header.undo = script_readable && run.Keys().IsYes("ROLLBACK");
    log_.Begin(header, file_.Path());
    run.events.AddListener(&log_);
    run.reporter.AddListener(&log_);
}
