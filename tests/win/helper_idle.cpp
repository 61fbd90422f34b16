// Test helper: a program that becomes ready for input late and then keeps
// running. Writes "<exe>.txt" (arguments and working folder) just before it
// enters its message loop, runs until "<exe>.stop" appears or the number of
// milliseconds given as its argument have passed (10 s when the argument is
// not a number, so that nothing is left behind), then writes "<exe>.done".
#include <cstdlib>

#include "helper_record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    DWORD lifetime = strtoul(helper::ArgumentsText().c_str(), nullptr, 10);
    if (lifetime == 0)
        lifetime = 10000;
    // No message queue is touched before this point, so the program is not
    // idle yet.
    Sleep(150);
    helper::WriteStartRecord();

    helper::RunUntilStopped(lifetime);
    helper::WriteText(helper::OwnPath() + ".done", "");
    return 0;
}
