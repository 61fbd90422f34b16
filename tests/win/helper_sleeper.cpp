// Test helper: a program without a message loop that runs for the number of
// milliseconds given as its argument (20 s without one, until it is killed).
// Writes "<exe>.started" at once and "<exe>.ended" when its time is up.
#include <cstdlib>

#include "helper_record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string arguments = helper::ArgumentsText();
    const DWORD lifetime = arguments.empty() ? 20000 : strtoul(arguments.c_str(), nullptr, 10);
    helper::WriteText(helper::OwnPath() + ".started", "");
    Sleep(lifetime);
    helper::WriteText(helper::OwnPath() + ".ended", "");
    return 0;
}
