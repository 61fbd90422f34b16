#include "app/win_handles.h"

#include "text/text_buffer.h"

HMODULE LoadSystemLibrary(const char* file_name) {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    TextBuffer path(folder);
    path.Append("\\");
    path.Append(file_name);
    return LoadLibraryA(path.c_str());
}
