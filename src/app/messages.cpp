#include "app/messages.h"

#include <windows.h>

#include "app/run_state.h"

void FormatMessageTextList(TextBuffer& target, int id, va_list args) {
    char format[256] = {};
    LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), format, sizeof format);
    target.FormatList(format, args);
}

void FormatMessageText(TextBuffer& target, int id, ...) {
    va_list args;
    va_start(args, id);
    FormatMessageTextList(target, id, args);
    va_end(args);
}

void ShowMessage(int id, ...) {
    TextBuffer text;
    va_list args;
    va_start(args, id);
    FormatMessageTextList(text, id, args);
    va_end(args);
    MessageBoxA(nullptr, text.c_str(), Caption.c_str(), MB_ICONERROR | MB_SETFOREGROUND);
}
