// Test helper: holds the file named by its argument open without sharing, so
// that nobody can delete, move or write it, for three seconds from when it
// becomes ready for input (a LAUNCH with ISWAIT=0 goes on only then). Writes
// "<exe>.ended" when it has let the file go.
#include "helper_record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE file = CreateFileA(helper::ArgumentsText().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetTimer(nullptr, 0, 3000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
        DispatchMessageA(&message);
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    helper::WriteText(helper::OwnPath() + ".ended", "");
    return 0;
}
