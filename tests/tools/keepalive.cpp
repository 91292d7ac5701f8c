// Test helper: an idle Windows program kept alive for the whole test run. While it lives, Wine
// keeps its services and its desktop process up (the desktop stays while a top-level window
// exists), so every program started after it skips seconds of start-up.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // A hidden top-level window: never shown, never in the way of a test.
    CreateWindowExA(0, "STATIC", "corvelle test keepalive", WS_POPUP, 0, 0, 1, 1, nullptr,
                    nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
