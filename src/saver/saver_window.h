// The full-screen display window, run as a modal dialog.
#pragma once

#include <windows.h>

constexpr UINT_PTR kSaverTimerId = 20001;

// Black; every erase of the display window paints with it.
extern HBRUSH g_backgroundBrush;

INT_PTR CALLBACK SaverDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Ends the display with result 0 and shows the cursor again; only the first call acts.
void DismissSaver(HWND window);
