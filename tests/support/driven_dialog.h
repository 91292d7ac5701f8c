// Runs a modal dialog of the test's thread while a helper thread works it as a user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

// A visible top-level window with this caption, or null when none shows within 15 s.
inline HWND WaitForWindow(const char* caption)
{
    HWND window = nullptr;
    for (int tries = 0; tries < 300 && !(window && IsWindowVisible(window)); ++tries, Sleep(50))
        window = FindWindowA(nullptr, caption);
    return window && IsWindowVisible(window) ? window : nullptr;
}

// Runs `modal` on this thread and `user` on a helper thread. Whatever the user leaves open five
// seconds after its last step is closed, so a step that went wrong fails the test, not hangs it.
inline void RunDriven(const std::function<void()>& modal, const std::function<void()>& user)
{
    const DWORD modalThread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread helper([&] {
        user();
        for (int tries = 0; !done; ++tries, Sleep(100)) {
            if (tries > 50)
                EnumThreadWindows(modalThread, [](HWND w, LPARAM) {
                    return PostMessageA(w, WM_CLOSE, 0, 0);
                }, 0);
        }
    });
    modal();
    done = true;
    helper.join();
}
