// Test helper: holds the file named by its argument open without sharing, so
// that nobody can delete, move or write it, from before it becomes ready for
// input (a LAUNCH with ISWAIT=0 goes on only then) until "<exe>.stop"
// appears, or 20 s have passed. Writes "<exe>.ended" when it has let go.
#include "helper_record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE file = CreateFileA(helper::ArgumentsText().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    helper::RunUntilStopped(20000);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    helper::WriteText(helper::OwnPath() + ".ended", "");
    return 0;
}
