// The display run in this process: cursor, layout, ticks, z-order, desk changes, erases, GDI.
#include "res/resource.h"
#include "saver/saver_state.h"
#include "saver/saver_window.h"
#include "scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace {

int CursorCount()
{
    const int count = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    return count;
}

bool AnyPicture(const SaverState& state = g_saver)
{
    return std::any_of(std::begin(state.slots), std::end(state.slots),
                       [](const ImageSlot& slot) { return slot.bitmap != nullptr; });
}

// The display's window, as the dialog manager hands it over: no other window is looked at; its
// state and the second on the clock once it has started, the ticks it was given and the times
// its pictures were laid out.
HWND g_display;
SaverState g_started;
std::time_t g_startSecond;
int g_ticks, g_layouts;
INT_PTR CALLBACK RecordingSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_display = window;
    g_ticks += message == WM_TIMER;
    const bool bare = !AnyPicture();
    const INT_PTR result = SaverDialogProc(window, message, wParam, lParam);
    g_layouts += bare && AnyPicture();
    if (message == WM_INITDIALOG) {
        g_started = g_saver;
        g_startSecond = std::time(nullptr);
    }
    return result;
}

// Where each slot lies, how large it is and which way it moves.
std::string Layout(const SaverState& state)
{
    std::ostringstream text;
    for (const ImageSlot& slot : state.slots)
        text << slot.x << "," << slot.y << " " << slot.cx << "x" << slot.cy << " " << slot.dx << ","
             << slot.dy << "; ";
    return text.str();
}

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right)
        + "," + std::to_string(r.bottom);
}

// As seen while the display ran.
int g_step, g_cursorWhileShown, g_layoutsOnceStill;
POINT g_onTop;                     // the centre of a window of ours that stays on top
HWND g_atOnTop;                    // the window seen there once the display has started
std::string g_afterDpiChange, g_afterDisplayChanges, g_moves;
COLORREF g_erased, g_mark;
SaverState g_waiting, g_laidOut;   // the display right after the changes, and once laid out

// Drops the display below the windows kept on top and to a small rectangle, as a DPI or display
// change might leave it, then sends it the change and a tick (a display change five times, a
// burst); returns where the display is after each, and whether it is below the window on top.
std::string AfterChange(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::string after;
    for (int times = message == WM_DISPLAYCHANGE ? 5 : 1; times > 0; --times) {
        SetWindowPos(g_display, HWND_NOTOPMOST, 10, 10, 100, 80, SWP_NOACTIVATE);
        SendMessageA(g_display, message, wParam, lParam);
        RECT got;
        GetWindowRect(g_display, &got);
        after += (after.empty() ? "" : "; ") + Text(got)
            + (WindowFromPoint(g_onTop) == g_display ? "" : " below");
        SendMessageA(g_display, WM_TIMER, kSaverTimerId, 0);
    }
    return after;
}

// Moves the pointer to `x` on the row where it started and tells the display; notes whether it
// still runs.
void MovePointer(int x, const char* what)
{
    SetCursorPos(x, 300);
    SendMessageA(g_display, WM_MOUSEMOVE, 0, 0);
    g_moves += what + std::string(g_saver.dismissed ? ": ended; " : ": stayed; ");
}

// One step per call. First: looks at the display, sends it a DPI change and a burst of display
// changes after the system has moved the pointer, sees the erase that follows. Once the pictures
// are laid out again: moves the pointer 20 pixels, then 50 on a desk changed but not yet told.
// Once laid out for that: marks a pixel. Last, some thirty ticks later: reads the mark back,
// moves the pointer 20 and 21 pixels, and hands the display every ending at once.
void CALLBACK Inspect(HWND, UINT, UINT_PTR, DWORD)
{
    HDC dc = GetDC(g_display);
    const int step = g_step++;
    if (step == 0) {
        g_cursorWhileShown = CursorCount();
        g_atOnTop = WindowFromPoint(g_onTop);
        RECT suggested = {10, 10, 110, 90};
        g_afterDpiChange = AfterChange(WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&suggested));
        SetCursorPos(450, 300);
        g_afterDisplayChanges = AfterChange(WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
        // Then a change that leaves the desk's size as it was, so that nothing is newly exposed.
        UpdateWindow(g_display);
        SetPixel(dc, 9, 9, RGB(255, 255, 255));
        g_saver.updateRect = SaverRect{0, 0, 1, 1};   // a rectangle of another desk
        SendMessageA(g_display, WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
        g_waiting = g_saver;
        UpdateWindow(g_display);
        g_erased = GetPixel(dc, 9, 9);
    } else if (step < 3 && g_saver.layoutOwed && GetTickCount() - g_saver.deskChangedAt < 3000) {
        --g_step;   // the desk is not still yet
    } else if (step == 1) {
        g_laidOut = g_saver;
        g_layoutsOnceStill = g_layouts;
        MovePointer(470, "the change first, 20 more");
        ++g_saver.monitorCount;   // a desk that is not the display's
        MovePointer(520, "the move first");
    } else if (step == 2) {
        g_mark = SetPixel(dc, 7, 7, RGB(255, 255, 255));
    } else {
        g_mark = GetPixel(dc, 7, 7);
        MovePointer(540, "20 more");
        MovePointer(541, "21 more");   // the display ends with its pictures
        for (UINT message : {WM_COMMAND, WM_LBUTTONDBLCLK, WM_CLOSE, WM_COMMAND})
            SendMessageA(g_display, message, message == WM_COMMAND ? IDCANCEL : 0, 0);
    }
    ReleaseDC(g_display, dc);
}

// Runs the display with the pointer at 400,300, inspected every `milliseconds`; puts the pointer
// back afterwards.
INT_PTR RunDisplay(UINT milliseconds)
{
    g_saver = SaverState{};
    g_step = g_layouts = 0;
    g_moves.clear();
    POINT pointer;
    GetCursorPos(&pointer);
    SetCursorPos(400, 300);
    const UINT_PTR timer = SetTimer(nullptr, 0, milliseconds, Inspect);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER),
                                           nullptr, RecordingSaverProc, 0);
    KillTimer(nullptr, timer);
    SetCursorPos(pointer.x, pointer.y);
    return result;
}

}  // namespace

TEST(SaverWindow, HidesTheCursorLaysOutOncePerBurstOfChangesEndsOnceAndLeavesNoGdiObjects)
{
    // Pictures a quarter of the screen exceed their tenth: each is replaced by a resized copy.
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const std::string picture = ScratchFolder() + "\\window-test.bmp";
    WriteBitmap(picture, width / 4, height / 4);
    StorePictures(std::vector<std::string>(10, picture));
    const int cursorBefore = CursorCount();
    std::srand(1);
    EXPECT_EQ(0, RunDisplay(300));   // also creates whatever the system keeps for later paints
    EXPECT_FALSE(AnyPicture(g_waiting)) << "laid out before the desk was still";
    EXPECT_EQ(2, g_layoutsOnceStill) << "layouts, at start-up and once after the burst";
    for (const ImageSlot& slot : g_laidOut.slots) {   // halved once, to fit a fifth of the screen
        EXPECT_TRUE(slot.bitmap && slot.cx == width / 8 && slot.cy == height / 8 && slot.x > 0
                    && slot.y > 0 && slot.x + slot.cx <= width && slot.y + slot.cy <= height)
            << "laid out after display changes: " << Layout(g_laidOut);
    }
    EXPECT_EQ(cursorBefore - 1, g_cursorWhileShown);
    EXPECT_EQ(cursorBefore, CursorCount()) << "the cursor is shown once per display";

    // A second start in another second lays the pictures out anew, from the generator as it was.
    const std::string firstLayout = Layout(g_started);
    while (std::time(nullptr) == g_startSecond)
        Sleep(20);
    const int freeBefore = FreeGdiObjects();
    std::srand(1);
    g_ticks = 0;
    EXPECT_EQ(0, RunDisplay(750));   // some 300 ticks and paints
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "GDI objects left after the display";
    EXPECT_NE(firstLayout, Layout(g_started)) << "the same layout in two seconds";
    // A 1 ms timer gives some 64 ticks a second on Windows and 100 on Wine, one of 250 ms 4.
    EXPECT_GE(g_ticks, 100) << "ticks in three seconds";
}

TEST(SaverWindow, StaysOnTopAndCoversEachNewDeskAtOnceErasesOnlyThenAndNeverEndsOnItsOwn)
{
    StorePictures({});
    // A sticky note that another program keeps on top: neither owner nor owned by the display.
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HWND onTop = CreateWindowExA(WS_EX_TOPMOST, "Edit", "", WS_POPUP | WS_VISIBLE, left + 200,
                                 top + 200, 60, 60, nullptr, nullptr, nullptr, nullptr);
    g_onTop = POINT{left + 230, top + 230};
    EXPECT_EQ(0, RunDisplay(300));
    DestroyWindow(onTop);
    EXPECT_EQ(g_display, g_atOnTop) << "the window at the centre of one kept on top";
    const std::string screen = Text(RECT{left, top, left + width, top + height});
    EXPECT_EQ(screen, g_afterDpiChange) << "after a DPI change";
    EXPECT_EQ(screen + "; " + screen + "; " + screen + "; " + screen + "; " + screen,
              g_afterDisplayChanges) << "after each display change";
    EXPECT_EQ(Text(RECT{0, 0, width, height}),
              Text(RECT{g_waiting.updateRect.left, g_waiting.updateRect.top,
                        g_waiting.updateRect.right, g_waiting.updateRect.bottom}))
        << "repainted on each tick after the changes";
    EXPECT_EQ(RGB(0, 0, 0), g_erased) << "a display change leaves the screen unerased";
    EXPECT_EQ(RGB(255, 255, 255), g_mark) << "a later erase blackened the mark";
    EXPECT_EQ("the change first, 20 more: stayed; the move first: stayed; 20 more: stayed; "
              "21 more: ended; ", g_moves);
}
