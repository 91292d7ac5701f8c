// Display window: start-up sequence, timer-driven animation and ending on user activity.
#include "saver/saver_window.h"

#include "pictures/image_loading.h"
#include "saver/dismiss_rule.h"
#include "saver/frame_painting.h"
#include "saver/motion.h"
#include "saver/placement.h"
#include "saver/saver_state.h"
#include "saver/screen_change.h"

#include <cstdlib>
#include <ctime>

// Created before WinMain runs and never deleted: the process end releases it.
HBRUSH g_backgroundBrush = CreateSolidBrush(RGB(0, 0, 0));

namespace {

Desk ReadDesk()
{
    return Desk{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                GetSystemMetrics(SM_CMONITORS)};
}

// The whole desk the display took, including monitors left of or above the primary one. Picture
// positions stay client coordinates. HWND_TOPMOST puts the display above the windows that are
// always on top at this moment; one made topmost later, and the system's own higher bands, can
// still come above it.
void CoverVirtualScreen(HWND window)
{
    SetWindowPos(window, HWND_TOPMOST, g_saver.deskLeft, g_saver.deskTop, g_saver.screenWidth,
                 g_saver.screenHeight, 0);
}

// From now on every tick repaints the whole client area, and the next erase blackens it: once
// the window is first shown, and again each time it covers a new desk.
void OweWholeScreen(HWND window)
{
    RECT update = {};
    GetUpdateRect(window, &update, FALSE);
    g_saver.updateRect = SaverRect{update.left, update.top, update.right, update.bottom};
    g_saver.eraseDone = 0;
}

// Where the pointer stands now counts as still: at start-up, and after a change of desk, for
// which the system may have moved the pointer itself.
void ReadCursorOrigin()
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    g_saver.cursorOriginX = cursor.x;
    g_saver.cursorOriginY = cursor.y;
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

// Loads the list's pictures, fits them to the current screen and places them one by one.
void LayOutPictures()
{
    Picture pictures[kSlotCount] = {};
    const int workers = ProcessorCores();
    g_saver.imageCount = LoadImageSet(pictures, workers);
    FitImageSet(pictures, g_saver.screenWidth, g_saver.screenHeight, g_saver.imageCount, workers);
    for (int i = 0; i < kSlotCount; ++i) {
        if (!pictures[i].fitted)
            continue;
        ImageSlot& slot = g_saver.slots[i];
        slot.bitmap = pictures[i].bitmap;
        slot.cx = pictures[i].cx;
        slot.cy = pictures[i].cy;
        PlaceImages(i);
    }
}

void DeleteSlotBitmaps()
{
    for (ImageSlot& slot : g_saver.slots) {
        if (slot.bitmap != nullptr) {
            ReleaseBitmap(slot.bitmap);
            slot.bitmap = nullptr;
        }
    }
}

void StartDisplay(HWND window)
{
    ShowCursor(FALSE);
    TakeDesk(ReadDesk());
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    LayOutPictures();

    KeepSizeOnDpiChange(window);
    CoverVirtualScreen(window);
    ShowWindow(window, SW_SHOW);
    OweWholeScreen(window);
    ReadCursorOrigin();
    SetTimer(window, kSaverTimerId, 1, nullptr);
}

// The only timer: it steps the animation and lays the pictures out for a new desk once due.
INT_PTR OnTimer(HWND window)
{
    if (TakeDueLayout(GetTickCount()))
        LayOutPictures();
    StepImages();
    const RECT update = {g_saver.updateRect.left, g_saver.updateRect.top,
                         g_saver.updateRect.right, g_saver.updateRect.bottom};
    InvalidateRect(window, &update, TRUE);
    return TRUE;
}

// One erase after the window covers its desk clears the screen; afterwards the frames do the
// wiping.
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

// A monitor plugged in, unplugged, rearranged or asleep: cover the new desk at once and blacken
// it, and lay the pictures out for it once the burst of changes is over, since their sizes and
// places were made for the old one. Either way the pointer may have been moved by the system.
INT_PTR OnDisplayChange(HWND window)
{
    if (TakeDesk(ReadDesk())) {
        ClearForNewDesk(GetTickCount(), ReleaseBitmap);
        CoverVirtualScreen(window);
        InvalidateRect(window, nullptr, TRUE);
        OweWholeScreen(window);
    }
    ReadCursorOrigin();
    return TRUE;
}

// Nothing says whether the system's own move of the pointer for a new desk comes before the
// display change is told or after it: a move on a desk that is not the display's is that change.
INT_PTR OnMouseMove(HWND window)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (!IsDismissingMove(g_saver.cursorOriginX, g_saver.cursorOriginY, cursor.x, cursor.y))
        return TRUE;
    if (IsNewDesk(ReadDesk()))
        return OnDisplayChange(window);
    return EndDisplay(window);
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
