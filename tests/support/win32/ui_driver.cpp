// A helper thread playing the user against the main thread's modal dialogs, with bounded waits.
#include "ui_driver.h"

#include <dlgs.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kMessageTimeoutMs = 5000;
// A run that does not end this long after the forced closing started is given up on.
constexpr DWORD kForcedCloseMs = 20000;
// Time for a window to react to one round of closing messages before the next round.
constexpr DWORD kForcedClosePauseMs = 500;

template <typename Predicate>
bool PollUntil(Predicate done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM windows)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleThreadWindows(DWORD threadId)
{
    std::vector<HWND> windows;
    EnumThreadWindows(threadId, CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

BOOL CALLBACK StopAtEdit(HWND child, LPARAM found)
{
    char className[16];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Edit") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

HWND FindEditBelow(HWND parent)
{
    HWND found = nullptr;
    EnumChildWindows(parent, StopAtEdit, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Asks every window of the thread to go away: dialogs take IDCANCEL, anything else WM_CLOSE.
void CloseThreadWindows(DWORD threadId)
{
    for (HWND window : VisibleThreadWindows(threadId)) {
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

}  // namespace

HWND WaitForThreadWindow(DWORD threadId, const std::string& caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    PollUntil(
        [&] {
            for (HWND window : VisibleThreadWindows(threadId)) {
                if (TextOf(window) == caption) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

HWND WaitForOtherThreadWindow(DWORD threadId, HWND except1, HWND except2, DWORD timeoutMs)
{
    HWND found = nullptr;
    PollUntil(
        [&] {
            for (HWND window : VisibleThreadWindows(threadId)) {
                if (window != except1 && window != except2) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    return PollUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::string TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return "<no answer>";
    std::vector<char> text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return "<no answer>";
    return std::string(text.data(), copied);
}

std::string DialogItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr ? TextOf(item) : "<no control " + std::to_string(id) + ">";
}

bool SetTextOf(HWND window, const std::string& text)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)
           && result != 0;
}

bool SetDialogItemText(HWND dialog, int id, const std::string& text)
{
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr && SetTextOf(item, text);
}

void ClickDialogButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND FileDialogNameField(HWND fileDialog)
{
    // The explorer-style dialog keeps the name in an edit inside the combo box cmb13; the older
    // style has a plain edit edt1.
    if (HWND combo = GetDlgItem(fileDialog, cmb13)) {
        char className[16];
        GetClassNameA(combo, className, sizeof className);
        return lstrcmpiA(className, "Edit") == 0 ? combo : FindEditBelow(combo);
    }
    return GetDlgItem(fileDialog, edt1);
}

std::string RunDriven(const std::function<void()>& modal,
                      const std::function<std::string(DWORD mainThreadId)>& script)
{
    const DWORD mainThread = GetCurrentThreadId();
    std::atomic<bool> modalEnded{false};
    std::string report;
    std::thread helper([&] {
        report = script(mainThread);
        const DWORD grace = report.empty() ? kUiStepTimeoutMs : 0;
        if (PollUntil([&] { return modalEnded.load(); }, grace))
            return;
        report += report.empty() ? "" : "; ";
        report += "the dialog was still open after the script ended and was closed by force";
        const ULONGLONG deadline = GetTickCount64() + kForcedCloseMs;
        while (GetTickCount64() < deadline) {
            CloseThreadWindows(mainThread);
            if (PollUntil([&] { return modalEnded.load(); }, kForcedClosePauseMs))
                return;
        }
        std::fprintf(stderr, "%s; it did not close either: ending the test program\n",
                     report.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    });
    modal();
    modalEnded = true;
    helper.join();
    return report;
}
