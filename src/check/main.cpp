// updcheck: checks update scripts before they ship. One line per finding,
// "SCRIPT.ini:LINE: error|warning: TEXT", sorted by line; exit status 0 when
// clean, 1 with warnings only, 2 with errors (or when it cannot check), 3
// when the checker itself failed. It only reads the scripts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check/checker.h"
#include "text/list.h"
#include "text/text_builder.h"
#include "text/code_page.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <unistd.h>

// Code page 932 to UTF-16, 0 where there is no character: made at build time.
extern const uint16_t kCp932Single[256];
extern const uint16_t kCp932Double[0x7D][0xC0];
#endif
#include <csignal>

#ifdef __SANITIZE_ADDRESS__
// What the sanitizers find in a test build ends like any other fault.
extern "C" const char* __asan_default_options() {
    return "exitcode=3";
}
extern "C" const char* __ubsan_default_options() {
    return "exitcode=3:print_stacktrace=1";
}
#endif

namespace {

// A CI step must never read a checker that failed as a clean script.
const int kFaultStatus = 3;
const char kFaultLine[] =
    "updcheck: internal error: the checker failed; the script is not checked\n";

const char kUsage[] =
    "usage: updcheck [--param WORD]... [--codepage N] SCRIPT.ini...\n"
    "  --param WORD   a word of the updater's command line, for {?Param\\n}\n"
    "  --codepage N   the script's code page (932 unless given)\n";

#ifdef _WIN32

// The system's own tables.
class SystemConverter : public CharacterConverter {
public:
    explicit SystemConverter(unsigned code_page) : code_page_(code_page) {}
    bool Known() const { return IsValidCodePage(code_page_) != FALSE; }
    bool ToUtf8(const char* bytes, size_t size, TextBuilder& utf8) override {
        WCHAR wide[4];
        const int units = MultiByteToWideChar(code_page_, MB_ERR_INVALID_CHARS, bytes,
                                              static_cast<int>(size), wide, 4);
        return units > 0 && AppendUtf8(wide, units, utf8);
    }
    static bool AppendUtf8(const WCHAR* wide, int units, TextBuilder& utf8) {
        char* room = utf8.Room(4 * static_cast<size_t>(units) + 4);
        const int n = room == nullptr ? 0
                                      : WideCharToMultiByte(CP_UTF8, 0, wide, units, room,
                                                            4 * units + 4, nullptr, nullptr);
        utf8.Grow(n > 0 ? static_cast<size_t>(n) : 0);
        return n > 0;
    }

private:
    unsigned code_page_;
};

// Paths come from the command line in the system's ANSI code page.
void PathInUtf8(const char* path, TextBuilder& utf8) {
    const int units = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    List<WCHAR> wide;
    for (int i = 0; i < units; ++i) wide.Add(0);
    if (units <= 1 || MultiByteToWideChar(CP_ACP, 0, path, -1, wide.begin(), units) != units ||
        !SystemConverter::AppendUtf8(wide.begin(), units - 1, utf8))
        utf8.Append(path);
}

// A console shows UTF-16 whatever its code page; a file or a pipe gets UTF-8.
void Write(const TextBuilder& utf8) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const int size = static_cast<int>(utf8.Size());
        const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.Data(), size, nullptr, 0);
        List<WCHAR> wide;
        for (int i = 0; i < units; ++i) wide.Add(0);
        DWORD written = 0;
        if (units > 0 &&
            MultiByteToWideChar(CP_UTF8, 0, utf8.Data(), size, wide.begin(), units) == units &&
            WriteConsoleW(out, wide.begin(), units, &written, nullptr))
            return;
    }
    fwrite(utf8.Data(), 1, utf8.Size(), stdout);
}

#else

// Code page 932 from its table, built in (a static program on another
// system may find no conversion modules there); other code pages through the
// system's iconv.
class SystemConverter : public CharacterConverter {
public:
    explicit SystemConverter(unsigned code_page) : own_table_(code_page == 932) {
        if (own_table_)
            return;
        const TextBuffer name = code_page == 65001 ? "UTF-8" : "CP" + DecimalText(code_page);
        iconv_ = iconv_open("UTF-8", name.c_str());
    }
    ~SystemConverter() override {
        if (!own_table_ && Known())
            iconv_close(iconv_);
    }
    SystemConverter(const SystemConverter&) = delete;
    SystemConverter& operator=(const SystemConverter&) = delete;
    bool Known() const { return own_table_ || iconv_ != reinterpret_cast<iconv_t>(-1); }
    bool ToUtf8(const char* bytes, size_t size, TextBuilder& utf8) override {
        return own_table_ ? FromTable(bytes, size, utf8) : FromIconv(bytes, size, utf8);
    }

private:
    static bool FromTable(const char* bytes, size_t size, TextBuilder& utf8) {
        const unsigned char lead = static_cast<unsigned char>(bytes[0]);
        const unsigned char trail = size == 2 ? static_cast<unsigned char>(bytes[1]) : 0;
        unsigned unit = 0;
        if (size == 1)
            unit = kCp932Single[lead];
        else if (lead >= 0x80 && trail >= 0x40)
            unit = kCp932Double[lead - 0x80][trail - 0x40];
        if (unit == 0)
            return false;
        char encoded[3];
        size_t n = 0;
        if (unit < 0x800) {
            encoded[n++] = static_cast<char>(0xC0 | unit >> 6);
        } else {
            encoded[n++] = static_cast<char>(0xE0 | unit >> 12);
            encoded[n++] = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        }
        encoded[n++] = static_cast<char>(0x80 | (unit & 0x3F));
        return utf8.Append(encoded, n);
    }
    bool FromIconv(const char* bytes, size_t size, TextBuilder& utf8) {
        char in[4] = {};
        memcpy(in, bytes, size);
        char out[16];
        char* from = in;
        char* to = out;
        size_t left = size, room = sizeof out;
        iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(iconv_, &from, &left, &to, &room) == static_cast<size_t>(-1) || left != 0)
            return false;
        return utf8.Append(out, static_cast<size_t>(to - out));
    }

    bool own_table_;
    iconv_t iconv_ = reinterpret_cast<iconv_t>(-1);
};

void PathInUtf8(const char* path, TextBuilder& utf8) {
    utf8.Append(path);
}

void Write(const TextBuilder& utf8) {
    fwrite(utf8.Data(), 1, utf8.Size(), stdout);
}

#endif

extern "C" void EndOnSignal(int) {
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kFaultLine, sizeof kFaultLine - 1, &written, nullptr);
#else
    if (write(STDERR_FILENO, kFaultLine, sizeof kFaultLine - 1) < 0) {
    }
#endif
    _exit(kFaultStatus);
}

#ifdef _WIN32

LONG WINAPI EndOnException(EXCEPTION_POINTERS*) {
    EndOnSignal(0);
    return EXCEPTION_EXECUTE_HANDLER;
}

void EndFaultsWithStatus() {
    SetUnhandledExceptionFilter(EndOnException);
    signal(SIGABRT, EndOnSignal);
}

#else

void EndFaultsWithStatus() {
    // Its own stack, so that an overflowing one still reaches the handler.
    static char stack[64 * 1024];
    stack_t alternate = {};
    alternate.ss_sp = stack;
    alternate.ss_size = sizeof stack;
    sigaltstack(&alternate, nullptr);
    struct sigaction action = {};
    action.sa_handler = EndOnSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(fault, &action, nullptr);
}

#endif

bool ReadWhole(const char* path, TextBuilder& bytes) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return false;
    char block[65536];
    size_t n = 0;
    bool kept = true;
    while ((n = fread(block, 1, sizeof block, file)) > 0) kept = bytes.Append(block, n) && kept;
    const bool read = ferror(file) == 0 && kept;
    fclose(file);
    return read;
}

// The file's name, as the updater finds it in its folder.
const char* FileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    EndFaultsWithStatus();
    CheckOptions options;
    List<const char*> scripts;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        }
        if (strcmp(argument, "--param") == 0 && i + 1 < argc) {
            options.params.Add(argv[++i]);
        } else if (strcmp(argument, "--codepage") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long code_page = strtoul(argv[++i], &end, 10);
            if (*end != '\0' || code_page == 0 || code_page > 65535) {
                fprintf(stderr, "updcheck: not a code page: %s\n", argv[i]);
                return 2;
            }
            options.code_page = static_cast<unsigned>(code_page);
        } else if (argument[0] == '-' && argument[1] == '-') {
            fprintf(stderr, "updcheck: unknown option %s\n%s", argument, kUsage);
            return 2;
        } else {
            scripts.Add(argument);
        }
    }
    if (scripts.Count() == 0) {
        fputs(kUsage, stderr);
        return 2;
    }
    SystemConverter convert(options.code_page);
    if (!convert.Known()) {
        fprintf(stderr, "updcheck: code page %u is not known here\n", options.code_page);
        return 2;
    }
    // The script's code page decides which bytes begin a double-byte character.
    SetLeadByteRanges(LeadByteRanges(options.code_page));

    int status = 0;
    for (const char* script : scripts) {
        TextBuilder path;
        PathInUtf8(script, path);
        TextBuilder bytes;
        if (!ReadWhole(script, bytes)) {
            fprintf(stderr, "%s: error: cannot read the file\n", path.Text().c_str());
            status = 2;
            continue;
        }
        options.script_name = FileName(script);
        List<Finding> findings;
        CheckScript(bytes.Data(), bytes.Size(), options, findings);
        TextBuilder line;
        for (const Finding& finding : findings) {
            const bool error = finding.severity == Severity::kError;
            line.Clear();
            line.Append(path.Data(), path.Size());
            line.Append(":");
            AppendDecimal(line, static_cast<uint32_t>(finding.line));
            line.Append(error ? ": error: " : ": warning: ");
            ToUtf8(finding.text.c_str(), convert, line);
            line.Append("\n");
            Write(line);
            status = error ? 2 : (status > 1 ? status : 1);
        }
    }
    fflush(stdout);
    return status;
}
