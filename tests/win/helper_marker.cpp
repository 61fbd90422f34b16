// Test helper: waits a moment, writes "<exe>.txt" (arguments and working
// folder) and ends. The delay lets a caller that does not wait for the end
// run ahead of the file.
#include "helper_record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(150);
    helper::WriteStartRecord();
    return 0;
}
