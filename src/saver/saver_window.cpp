// Display window: start-up sequence, timer-driven animation and ending on user activity.
#include "saver/saver_window.h"

#include "saver/dismiss_rule.h"
#include "saver/frame_painting.h"
#include "saver/image_loading.h"
#include "saver/motion.h"
#include "saver/placement.h"
#include "saver/saver_state.h"
#include "saver/screen_change.h"

#include <cstdlib>
#include <ctime>

// Created before WinMain runs and never deleted: the process end releases it.
HBRUSH g_backgroundBrush = CreateSolidBrush(RGB(0, 0, 0));

namespace {

// The whole desktop, including monitors left of or above the primary one, and above the windows
// that programs keep on top. Picture positions stay client coordinates.
void CoverVirtualScreen(HWND window)
{
    SetWindowPos(window, HWND_TOPMOST, GetSystemMetrics(SM_XVIRTUALSCREEN),
                 GetSystemMetrics(SM_YVIRTUALSCREEN), g_saver.screenWidth, g_saver.screenHeight,
                 0);
}

// Moving to the virtual screen can put the window on a monitor of another scaling, and the dialog
// manager would then resize it to the new DPI and uncover part of the desktop. Windows before 10
// 1703, and Wine, have no such resizing and no way to turn it off.
void KeepSizeOnDpiChange(HWND window)
{
    using SetBehavior = decltype(&SetDialogDpiChangeBehavior);
    using AnyFunction = void (*)();
    const auto setBehavior = reinterpret_cast<SetBehavior>(reinterpret_cast<AnyFunction>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetDialogDpiChangeBehavior")));
    if (setBehavior != nullptr)
        setBehavior(window, DDC_DISABLE_RESIZE, DDC_DISABLE_RESIZE);
}

// Loads the list's pictures and fits and places them one by one, for the current screen.
void LayOutPictures()
{
    LoadImageSet();
    for (int i = 0; i < kSlotCount; ++i) {
        if (g_saver.slots[i].bitmap == nullptr)
            continue;
        FitImage(i);
        PlaceImages(i);
    }
}

void StartDisplay(HWND window)
{
    ShowCursor(FALSE);
    g_saver.screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    g_saver.screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    LayOutPictures();

    KeepSizeOnDpiChange(window);
    CoverVirtualScreen(window);
    ShowWindow(window, SW_SHOW);

    RECT update = {};
    GetUpdateRect(window, &update, FALSE);
    g_saver.updateRect = SaverRect{update.left, update.top, update.right, update.bottom};
    g_saver.eraseDone = 0;

    POINT cursor = {};
    GetCursorPos(&cursor);
    g_saver.cursorOriginX = cursor.x;
    g_saver.cursorOriginY = cursor.y;
    SetTimer(window, kSaverTimerId, 1, nullptr);
}

INT_PTR OnTimer(HWND window)
{
    StepImages();
    const RECT update = {g_saver.updateRect.left, g_saver.updateRect.top,
                         g_saver.updateRect.right, g_saver.updateRect.bottom};
    InvalidateRect(window, &update, TRUE);
    return TRUE;
}

// Only the first erase after start-up clears the screen; afterwards the frames do the wiping.
INT_PTR OnEraseBackground()
{
    if (g_saver.eraseDone)
        return TRUE;
    g_saver.eraseDone = 1;
    return FALSE;
}

// Both steps are safe to repeat: a later dismissing message changes nothing.
INT_PTR EndDisplay(HWND window)
{
    DismissSaver(window);
    DeleteSlotBitmaps();
    return TRUE;
}

// Whatever size the system suggests for the new DPI, the display goes on covering every monitor.
INT_PTR OnDpiChanged(HWND window)
{
    CoverVirtualScreen(window);
    return TRUE;
}

// A monitor plugged in, unplugged or rearranged: cover the new desktop, blacken it all once more
// and lay the pictures out for it afresh, since their sizes and places were made for the old one.
INT_PTR OnDisplayChange(HWND window)
{
    if (!AdoptScreen(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                     DeleteBitmap))
        return TRUE;
    LayOutPictures();
    CoverVirtualScreen(window);
    InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

INT_PTR OnMouseMove(HWND window)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (IsDismissingMove(g_saver.cursorOriginX, g_saver.cursorOriginY, cursor.x, cursor.y))
        return EndDisplay(window);
    return TRUE;
}

}  // namespace

void DismissSaver(HWND window)
{
    if (g_saver.dismissed)
        return;
    g_saver.dismissed = 1;
    EndDialog(window, 0);
    ShowCursor(TRUE);
}

INT_PTR CALLBACK SaverDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        StartDisplay(window);
        return TRUE;
    case WM_TIMER:
        return OnTimer(window);
    case WM_PAINT:
        PaintFrame(window);
        return FALSE;
    case WM_ERASEBKGND:
        return OnEraseBackground();
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(g_backgroundBrush);
    case WM_MOUSEMOVE:
        return OnMouseMove(window);
    case WM_DPICHANGED:
        return OnDpiChanged(window);
    case WM_DISPLAYCHANGE:
        return OnDisplayChange(window);
    case WM_COMMAND:
    case WM_LBUTTONDBLCLK:
    case WM_CLOSE:
        return EndDisplay(window);
    default:
        return FALSE;
    }
}
