// The program the box spy's tests run: shows fixed boxes, appends every
// answer it gets to a file (one number a line) and exits with a given code.
//
//   box_target.exe <scenario> <answer-file> <exit-code>
//
// boxes:      four boxes (Japanese text, an owner, a long text, no caption)
// none:       no box at all
// exceptions: hits its own int3 and raises an exception, both of which its
//             handler must get, then one box
// hang:       one box, then waits forever
// others:     one box each of MessageBoxW, MessageBoxExA and MessageBoxIndirectW
// crash:      writes through a null pointer
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* answer_file = "";
int breakpoints_handled = 0;
int raised_handled = 0;
const DWORD kRaisedCode = 0xE0000001;

void AppendLine(const std::string& line) {
    FILE* file = fopen(answer_file, "ab");
    if (file == nullptr)
        return;
    fputs((line + "\n").c_str(), file);
    fclose(file);
}

// Calls MessageBoxA with the stack pointer checked around the call: a spy
// that returns for the function must also drop its four arguments.
void Show(HWND owner, const char* text, const char* caption, UINT flags) {
    const DWORD call[5] = {reinterpret_cast<DWORD>(owner), reinterpret_cast<DWORD>(text),
                           reinterpret_cast<DWORD>(caption), flags,
                           reinterpret_cast<DWORD>(&MessageBoxA)};
    int answer = 0;
    int moved = 0;
    asm volatile(
        "mov %%esp, %%esi\n\t"
        "pushl 12(%2)\n\t"
        "pushl 8(%2)\n\t"
        "pushl 4(%2)\n\t"
        "pushl (%2)\n\t"
        "call *16(%2)\n\t"
        "mov %%esp, %%ecx\n\t"
        "sub %%esi, %%ecx\n\t"
        "mov %%esi, %%esp"
        : "=a"(answer), "=c"(moved)
        : "b"(call)
        : "esi", "edx", "memory", "cc");
    AppendLine(std::to_string(answer) +
               (moved != 0 ? " stack moved " + std::to_string(moved) : ""));
}

// A debugger that swallowed these exceptions would keep them from coming here.
LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (code == kRaisedCode) {
        ++raised_handled;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (code != EXCEPTION_BREAKPOINT)
        return EXCEPTION_CONTINUE_SEARCH;
    ++breakpoints_handled;
    // Go on behind the one-byte int3.
    exception->ContextRecord->Eip =
        reinterpret_cast<DWORD>(exception->ExceptionRecord->ExceptionAddress) + 1;
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 4)
        return 100;
    const std::string scenario = __argv[1];
    answer_file = __argv[2];
    const int exit_code = static_cast<int>(strtoul(__argv[3], nullptr, 10));
    FILE* file = fopen(answer_file, "wb");
    if (file == nullptr)
        return 101;
    fclose(file);

    if (scenario == "boxes") {
        // Both trail bytes here are backslashes (表 is 95 5C, ソ is 83 5C).
        Show(nullptr, "ファイルをコピーできませんでした。\nC:\\表\\ソフト.txt", "スパイ試験",
             MB_ICONERROR | MB_SETFOREGROUND);
        // Never shown for real, so any owner value will do.
        Show(reinterpret_cast<HWND>(0x00012340), "続けますか?", "Question",
             MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        // Longer than a page: read from the program in more than one piece.
        std::string long_text;
        for (int i = 0; i < 3000; ++i) long_text += "あ";
        long_text += "end";
        Show(nullptr, long_text.c_str(), "", MB_OKCANCEL | MB_ICONINFORMATION);
        Show(nullptr, "last", nullptr, MB_OK);
    } else if (scenario == "exceptions") {
        AddVectoredExceptionHandler(1, OnException);
        DebugBreak();
        RaiseException(kRaisedCode, 0, 0, nullptr);
        AppendLine("breakpoints " + std::to_string(breakpoints_handled) + ", raised " +
                   std::to_string(raised_handled));
        Show(nullptr, "after the exceptions", "exceptions", MB_OK);
    } else if (scenario == "hang") {
        Show(nullptr, "before hanging", "hang", MB_OK);
        Sleep(INFINITE);
    } else if (scenario == "others") {
        AppendLine(std::to_string(MessageBoxW(nullptr, L"wide", L"W", MB_OK)));
        AppendLine(std::to_string(MessageBoxExA(nullptr, "ex", "Ex", MB_YESNO, 0)));
        MSGBOXPARAMSW params = {};
        params.cbSize = sizeof params;
        params.lpszText = L"indirect";
        AppendLine(std::to_string(MessageBoxIndirectW(&params)));
    } else if (scenario == "crash") {
        *static_cast<volatile int*>(nullptr) = exit_code;
    } else if (scenario != "none") {
        return 102;
    }
    return exit_code;
}
