// The spy is the program's debugger. It finds MessageBoxA (and the other
// message-box functions) in the program's own copy of user32 (the module's
// export table, read from the program), writes an int3 over the first byte of
// each, and when a breakpoint is hit it reads the arguments from the stack and
// returns from the call itself: EAX = the answer, EIP = the return address,
// ESP past the return address and the stdcall arguments. The original instruction never runs, so
// the breakpoint stays in place for the next box and nothing has to be restored or single-stepped.
#include "box_spy.h"

#include <windows.h>

#include <cstring>

static_assert(sizeof(void*) == 4, "the spy reads 32-bit programs and is one itself");

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (IsValid())
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// The debugged program's memory.
class ChildMemory {
public:
    explicit ChildMemory(HANDLE process) : process_(process) {}

    bool Read(uintptr_t address, void* out, size_t size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, reinterpret_cast<LPCVOID>(address), out, size, &done) &&
               done == size;
    }
    template <typename T>
    bool Read(uintptr_t address, T* out) const {
        return Read(address, out, sizeof(T));
    }

    // A zero-terminated string; null reads as "". Read page by page, because
    // one read that runs into an unreadable page fails as a whole.
    bool ReadString(uintptr_t address, std::string* out) const {
        out->clear();
        if (address == 0)
            return true;
        const size_t kPage = 4096;
        const size_t kLimit = 1 << 20;
        char chunk[kPage];
        while (out->size() < kLimit) {
            const size_t size = kPage - address % kPage;
            if (!Read(address, chunk, size))
                return false;
            const void* end = memchr(chunk, 0, size);
            if (end != nullptr) {
                out->append(chunk, static_cast<const char*>(end) - chunk);
                return true;
            }
            out->append(chunk, size);
            address += size;
        }
        return false;
    }

    // Code pages are not writable; open the one byte for the write only.
    bool WriteCodeByte(uintptr_t address, unsigned char byte) const {
        LPVOID target = reinterpret_cast<LPVOID>(address);
        DWORD old_protection = 0;
        if (!VirtualProtectEx(process_, target, 1, PAGE_EXECUTE_READWRITE, &old_protection)) {
            return false;
        }
        SIZE_T done = 0;
        const bool written = WriteProcessMemory(process_, target, &byte, 1, &done) && done == 1;
        VirtualProtectEx(process_, target, 1, old_protection, &old_protection);
        FlushInstructionCache(process_, target, 1);
        return written;
    }

private:
    HANDLE process_;
};

// The address of function in the module loaded at base, if that module's
// export directory calls it module_name; 0 otherwise.
uintptr_t FindExport(const ChildMemory& memory, uintptr_t base, const char* module_name,
                     const char* function) {
    IMAGE_DOS_HEADER dos;
    if (!memory.Read(base, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE)
        return 0;
    IMAGE_NT_HEADERS32 nt;
    if (!memory.Read(base + dos.e_lfanew, &nt) || nt.Signature != IMAGE_NT_SIGNATURE)
        return 0;
    if (nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
        return 0;
    const IMAGE_DATA_DIRECTORY& directory =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    IMAGE_EXPORT_DIRECTORY exports;
    if (directory.VirtualAddress == 0 || !memory.Read(base + directory.VirtualAddress, &exports)) {
        return 0;
    }
    std::string name;
    if (!memory.ReadString(base + exports.Name, &name) ||
        lstrcmpiA(name.c_str(), module_name) != 0) {
        return 0;
    }
    // The name table is sorted, so a binary search reads only a few names.
    DWORD low = 0;
    DWORD high = exports.NumberOfNames;
    while (low < high) {
        const DWORD middle = low + (high - low) / 2;
        DWORD name_rva = 0;
        if (!memory.Read(base + exports.AddressOfNames + 4 * middle, &name_rva) ||
            !memory.ReadString(base + name_rva, &name)) {
            return 0;
        }
        const int order = strcmp(name.c_str(), function);
        if (order < 0) {
            low = middle + 1;
        } else if (order > 0) {
            high = middle;
        } else {
            WORD ordinal = 0;
            DWORD function_rva = 0;
            if (!memory.Read(base + exports.AddressOfNameOrdinals + 2 * middle, &ordinal) ||
                ordinal >= exports.NumberOfFunctions ||
                !memory.Read(base + exports.AddressOfFunctions + 4 * ordinal, &function_rva)) {
                return 0;
            }
            // An address inside the export directory is a forwarder string, not code.
            if (function_rva >= directory.VirtualAddress &&
                function_rva < directory.VirtualAddress + directory.Size) {
                return 0;
            }
            return base + function_rva;
        }
    }
    return 0;
}

// The functions the spy catches, with the size of their arguments in 4-byte
// slots. The first, MessageBoxA, is answered; the others are only named.
struct Trap {
    const char* name;
    DWORD argument_slots;
};
const Trap kTraps[] = {{"MessageBoxA", 4},         {"MessageBoxW", 4},
                       {"MessageBoxExA", 5},       {"MessageBoxExW", 5},
                       {"MessageBoxIndirectA", 1}, {"MessageBoxIndirectW", 1},
                       {"MessageBoxTimeoutA", 6},  {"MessageBoxTimeoutW", 6}};
const size_t kTrapCount = sizeof kTraps / sizeof kTraps[0];

class Spy {
public:
    Spy(HANDLE process, DWORD process_id, const std::vector<int>& answers,
        const std::function<void(const ShownBox&)>& while_shown, SpyResult* result)
        : process_(process),
          process_id_(process_id),
          memory_(process),
          answers_(answers),
          while_shown_(while_shown),
          result_(result) {}

    bool HasExited() const { return exited_; }

    // Handles one debug event and gives the status to continue it with.
    DWORD OnEvent(const DEBUG_EVENT& event) {
        if (event.dwProcessId != process_id_)
            return DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT: {
                Handle image_file(event.u.CreateProcessInfo.hFile);  // ours to close
                break;
            }
            case LOAD_DLL_DEBUG_EVENT: {
                Handle image_file(event.u.LoadDll.hFile);
                OnModuleLoaded(reinterpret_cast<uintptr_t>(event.u.LoadDll.lpBaseOfDll));
                break;
            }
            case UNLOAD_DLL_DEBUG_EVENT:
                if (reinterpret_cast<uintptr_t>(event.u.UnloadDll.lpBaseOfDll) == user32_) {
                    user32_ = 0;
                    memset(traps_, 0, sizeof traps_);
                    armed_ = false;
                }
                break;
            case EXCEPTION_DEBUG_EVENT:
                return OnException(event);
            case EXIT_PROCESS_DEBUG_EVENT:
                result_->exit_code = event.u.ExitProcess.dwExitCode;
                exited_ = true;
                break;
            default:
                break;
        }
        return DBG_CONTINUE;
    }

private:
    void OnModuleLoaded(uintptr_t base) {
        if (user32_ != 0)
            return;
        traps_[0] = FindExport(memory_, base, "user32.dll", kTraps[0].name);
        if (traps_[0] == 0)
            return;
        user32_ = base;
        for (size_t i = 1; i < kTrapCount; ++i)
            traps_[i] = FindExport(memory_, base, "user32.dll", kTraps[i].name);
        // Before the loader's breakpoint the module may still be relocated,
        // which could patch bytes over the int3; arm it there instead.
        if (loader_breakpoint_seen_)
            Arm();
    }

    void Arm() {
        if (user32_ == 0 || armed_)
            return;
        armed_ = true;
        for (uintptr_t address : traps_) {
            if (address != 0 && !memory_.WriteCodeByte(address, 0xCC)) {
                armed_ = false;
                Fail("cannot write the breakpoint on a message-box function");
            }
        }
    }

    DWORD OnException(const DEBUG_EVENT& event) {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        if (record.ExceptionCode != EXCEPTION_BREAKPOINT)
            return DBG_EXCEPTION_NOT_HANDLED;
        const uintptr_t address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
        for (size_t i = 0; armed_ && i < kTrapCount; ++i) {
            if (traps_[i] != 0 && address == traps_[i])
                return OnTrap(event.dwThreadId, i);
        }
        if (!loader_breakpoint_seen_) {
            loader_breakpoint_seen_ = true;
            Arm();
            return DBG_CONTINUE;
        }
        // The program's own breakpoint: its handlers decide.
        return DBG_EXCEPTION_NOT_HANDLED;
    }

    // Returns from the call at once, as the function would: EAX = the
    // answer, EIP = the return address, ESP past it and the arguments.
    DWORD OnTrap(DWORD thread_id, size_t trap) {
        Handle thread(OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, thread_id));
        CONTEXT context;
        memset(&context, 0, sizeof context);
        context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
        // At the entry: return address, then the arguments (for MessageBoxA
        // owner, text, caption, flags).
        DWORD frame[5];
        if (!thread.IsValid() || !GetThreadContext(thread.get(), &context) ||
            !memory_.Read(context.Esp, frame, sizeof frame)) {
            return Abandon("cannot read a message-box call");
        }
        int answer = IDOK;
        if (trap == 0) {
            ShownBox box;
            box.owner = frame[1];
            box.flags = frame[4];
            if (!memory_.ReadString(frame[2], &box.text) ||
                !memory_.ReadString(frame[3], &box.caption)) {
                Fail("cannot read the text or caption of a box");
            }
            result_->boxes.push_back(box);
            if (while_shown_)
                while_shown_(box);
            if (next_answer_ < answers_.size())
                answer = answers_[next_answer_++];
        } else {
            result_->other_boxes.push_back(kTraps[trap].name);
        }
        context.Eax = static_cast<DWORD>(answer);
        context.Eip = frame[0];
        context.Esp += 4 * (1 + kTraps[trap].argument_slots);
        if (!SetThreadContext(thread.get(), &context)) {
            return Abandon("cannot return from a message-box call");
        }
        return DBG_CONTINUE;
    }

    void Fail(const char* what) {
        if (result_->problem.empty())
            result_->problem = what;
    }

    // The thread stands on the int3 and cannot be sent on safely: end the program.
    DWORD Abandon(const char* what) {
        Fail(what);
        TerminateProcess(process_, 1);
        return DBG_CONTINUE;
    }

    HANDLE process_;
    DWORD process_id_;
    ChildMemory memory_;
    const std::vector<int>& answers_;
    const std::function<void(const ShownBox&)>& while_shown_;
    SpyResult* result_;
    size_t next_answer_ = 0;
    uintptr_t user32_ = 0;
    uintptr_t traps_[kTrapCount] = {};
    bool armed_ = false;
    bool loader_breakpoint_seen_ = false;
    bool exited_ = false;
};

}  // namespace

std::string WindowsPathOf(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return path;
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/')
            c = '\\';
    }
    return windows;
}

namespace {

// The caller's environment block with the entries added, each replacing a
// variable of the same name.
std::string EnvironmentWith(const std::vector<std::string>& added) {
    std::string block;
    char* own = GetEnvironmentStringsA();
    for (const char* entry = own; *entry != '\0'; entry += strlen(entry) + 1) {
        const std::string text = entry;
        bool replaced = false;
        for (const std::string& variable : added) {
            const size_t equals = variable.find('=');
            replaced = replaced || lstrcmpiA(text.substr(0, text.find('=', 1) + 1).c_str(),
                                             variable.substr(0, equals + 1).c_str()) == 0;
        }
        if (!replaced)
            block.append(text).push_back('\0');
    }
    FreeEnvironmentStringsA(own);
    for (const std::string& variable : added) block.append(variable).push_back('\0');
    block.push_back('\0');
    return block;
}

}  // namespace

SpyResult RunWithBoxSpy(const std::string& exe, const std::string& arguments,
                        const std::string& working_folder, const std::vector<int>& answers,
                        unsigned long timeout_ms, const std::vector<std::string>& environment,
                        const std::function<void(const ShownBox&)>& while_shown) {
    SpyResult result;
    const std::string path = WindowsPathOf(exe);
    const std::string folder = WindowsPathOf(working_folder);
    std::string command = "\"" + path + "\"";
    if (!arguments.empty())
        command += " " + arguments;

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    memset(&info, 0, sizeof info);
    // DEBUG_ONLY_THIS_PROCESS: programs it starts in turn run undebugged.
    std::string block = EnvironmentWith(environment);
    if (!CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        environment.empty() ? nullptr : &block[0],
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        result.problem = "cannot start " + path + " (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    Handle process(info.hProcess);
    Handle main_thread(info.hThread);
    result.started = true;

    Spy spy(process.get(), info.dwProcessId, answers, while_shown, &result);
    DWORD start = GetTickCount();
    DWORD limit = timeout_ms;
    while (!spy.HasExited()) {
        const DWORD elapsed = GetTickCount() - start;
        DEBUG_EVENT event;
        if (elapsed >= limit || !WaitForDebugEvent(&event, limit - elapsed)) {
            if (result.timed_out) {
                result.problem = "the program did not end after it was terminated";
                break;
            }
            result.timed_out = true;
            TerminateProcess(process.get(), kSpyTimeoutExitCode);
            // Wait for its exit event, which also ends the debugging.
            start = GetTickCount();
            limit = 5000;
            continue;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, spy.OnEvent(event));
    }
    return result;
}

std::string Cp932ToUtf8(const std::string& bytes) {
    if (bytes.empty())
        return std::string();
    const int size = static_cast<int>(bytes.size());
    const int wide_size = MultiByteToWideChar(932, 0, bytes.data(), size, nullptr, 0);
    if (wide_size <= 0)
        return std::string();
    std::wstring wide(wide_size, L'\0');
    MultiByteToWideChar(932, 0, bytes.data(), size, &wide[0], wide_size);
    const int utf8_size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
    if (utf8_size <= 0)
        return std::string();
    std::string utf8(utf8_size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, &utf8[0], utf8_size, nullptr, nullptr);
    return utf8;
}
