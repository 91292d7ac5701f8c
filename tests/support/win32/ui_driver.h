// Drives the modal dialogs of a test's main thread from a helper thread, the way a user would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// How long any one step of a script waits for the user interface before it gives up.
constexpr DWORD kUiStepTimeoutMs = 15000;

// A visible top-level window of the thread with exactly this caption, or null after the timeout.
HWND WaitForThreadWindow(DWORD threadId, const std::string& caption,
                         DWORD timeoutMs = kUiStepTimeoutMs);

// Another visible top-level window of the thread (for example a message box), other than the
// ones named; null after the timeout.
HWND WaitForOtherThreadWindow(DWORD threadId, HWND except1, HWND except2,
                              DWORD timeoutMs = kUiStepTimeoutMs);

// True once the window no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kUiStepTimeoutMs);

// Text of a window that another thread runs, read with a bounded wait.
std::string TextOf(HWND window);
std::string DialogItemText(HWND dialog, int id);

// Replaces the text of a window that another thread runs; false if it did not answer in time.
bool SetTextOf(HWND window, const std::string& text);
bool SetDialogItemText(HWND dialog, int id, const std::string& text);

// Posts the notification that a click on the push button `id` of the dialog sends.
void ClickDialogButton(HWND dialog, int id);

// The edit field holding the file name in the platform's file-open dialog, or null.
HWND FileDialogNameField(HWND fileDialog);

// Runs `modal` on the calling thread while `script` runs on a helper thread and returns what the
// script reported: empty when every step it took worked, else what went wrong. The script must
// end the modal run itself. If the run is still going once the script has finished (at once if
// the script failed, otherwise after a grace period), every window of the calling thread is
// closed and that is reported too; a run that cannot be closed ends the process, so a broken
// dialog fails the test instead of hanging it.
std::string RunDriven(const std::function<void()>& modal,
                      const std::function<std::string(DWORD mainThreadId)>& script);
