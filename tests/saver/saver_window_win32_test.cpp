// The display run in this process: cursor, layout, ticks, z-order, screen changes, erases, GDI.
#include "res/resource.h"
#include "saver/image_loading.h"
#include "saver/saver_state.h"
#include "saver/saver_window.h"
#include "scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// How many more GDI objects this process can make; a leak shows as a smaller number. Runs
// `whileNoneFree` while all of them are taken.
int FreeGdiObjects(void (*whileNoneFree)() = nullptr)
{
    std::vector<HRGN> made;
    for (HRGN region; (region = CreateRectRgn(0, 0, 1, 1)) != nullptr;)
        made.push_back(region);
    if (whileNoneFree != nullptr)
        whileNoneFree();
    for (HRGN region : made)
        DeleteObject(region);
    return static_cast<int>(made.size());
}

// Stores ten copies of one 32-bit picture, or ten empty paths when width is 0.
void StoreTenPictures(int width, int height)
{
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file = {0x4D42, headers + 4 * width * height, 0, 0, headers};
    const BITMAPINFOHEADER info = {sizeof info, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info), sizeof info).append(4 * width * height, 'c');
    const std::string path = width ? ScratchFolder() + "\\window-test.bmp" : "";
    std::ofstream(path, std::ios::binary) << data;
    for (int picture = 1; picture <= 10; ++picture) {
        RegSetKeyValueA(HKEY_CURRENT_USER, "SoftWare\\Tessarel\\Corvelle",
                        ("File" + std::to_string(picture)).c_str(), REG_SZ, path.c_str(),
                        static_cast<DWORD>(path.size() + 1));
    }
}

int CursorCount()
{
    const int count = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    return count;
}

// The display's window, as the dialog manager hands it over: no other window is looked at; its
// state and the second on the clock once it has started, and the ticks it was given.
HWND g_display;
SaverState g_started;
std::time_t g_startSecond;
int g_ticks;
INT_PTR CALLBACK RecordingSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_display = window;
    g_ticks += message == WM_TIMER;
    const INT_PTR result = SaverDialogProc(window, message, wParam, lParam);
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

// As seen while the display ran.
int g_cursorWhileShown;
POINT g_onTop;                    // the centre of a window of ours that stays on top
HWND g_atOnTop;                   // the window seen there
std::string g_afterDpiChange, g_afterDisplayChange;
COLORREF g_erased, g_mark;
SaverState g_laidOut;             // the slots right after the display changes

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right)
        + "," + std::to_string(r.bottom);
}

// Moves the display to a small rectangle, as a DPI or display change might leave it, and sends it
// the change (a display change three times); returns where the display is then.
std::string AfterChange(UINT message, WPARAM wParam, LPARAM lParam)
{
    SetWindowPos(g_display, nullptr, 10, 10, 100, 80, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int times = message == WM_DISPLAYCHANGE ? 3 : 1; times > 0; --times)
        SendMessageA(g_display, message, wParam, lParam);
    RECT got;
    GetWindowRect(g_display, &got);
    return Text(got);
}

// First call: looks at the display, sends it a DPI change and display changes, sees the erase
// that follows and marks a pixel. Second call, some thirty ticks later: reads the mark back and
// hands the display every ending at once.
void CALLBACK InspectThenEnd(HWND, UINT, UINT_PTR, DWORD)
{
    HDC dc = GetDC(g_display);
    if (g_mark == CLR_INVALID) {
        g_cursorWhileShown = CursorCount();
        g_atOnTop = WindowFromPoint(g_onTop);
        RECT suggested = {10, 10, 110, 90};
        g_afterDpiChange = AfterChange(WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&suggested));
        SetPixel(dc, 9, 9, RGB(255, 255, 255));
        g_afterDisplayChange = AfterChange(WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
        g_laidOut = g_saver;
        UpdateWindow(g_display);
        g_erased = GetPixel(dc, 9, 9);
        g_mark = SetPixel(dc, 7, 7, RGB(255, 255, 255));
    } else {
        g_mark = GetPixel(dc, 7, 7);
        for (UINT message : {WM_COMMAND, WM_LBUTTONDBLCLK, WM_CLOSE, WM_COMMAND})
            SendMessageA(g_display, message, message == WM_COMMAND ? IDCANCEL : 0, 0);
    }
    ReleaseDC(g_display, dc);
}

INT_PTR RunDisplay(UINT milliseconds)
{
    g_saver = SaverState{};
    g_mark = CLR_INVALID;
    const UINT_PTR timer = SetTimer(nullptr, 0, milliseconds, InspectThenEnd);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER),
                                           nullptr, RecordingSaverProc, 0);
    KillTimer(nullptr, timer);
    return result;
}

}  // namespace

TEST(SaverWindow, HidesTheCursorEndsOnceAndLeavesNoGdiObjectsBehind)
{
    // Pictures a quarter of the screen exceed their tenth: each is replaced by a resized copy.
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    StoreTenPictures(width / 4, height / 4);
    const int cursorBefore = CursorCount();
    std::srand(1);
    EXPECT_EQ(0, RunDisplay(300));   // also creates whatever the system keeps for later paints
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
    EXPECT_EQ(0, RunDisplay(1500));   // some 300 ticks and paints
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "GDI objects left after the display";
    EXPECT_NE(firstLayout, Layout(g_started)) << "the same layout in two seconds";
    // A 1 ms timer gives some 64 ticks a second on Windows and 100 on Wine, one of 250 ms 4.
    EXPECT_GE(g_ticks, 100) << "ticks in three seconds";
}

TEST(SaverWindow, StaysOnTopCoversTheScreenAgainAfterDpiAndDisplayChangesAndErasesOnlyThen)
{
    StoreTenPictures(0, 0);
    // A sticky note that another program keeps on top: neither owner nor owned by the display.
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    HWND onTop = CreateWindowExA(WS_EX_TOPMOST, "Edit", "", WS_POPUP | WS_VISIBLE, left + 200,
                                 top + 200, 60, 60, nullptr, nullptr, nullptr, nullptr);
    g_onTop = POINT{left + 230, top + 230};
    EXPECT_EQ(0, RunDisplay(300));
    DestroyWindow(onTop);
    EXPECT_EQ(g_display, g_atOnTop) << "the window seen at the centre of one kept on top";
    const std::string screen = Text(RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                         top + GetSystemMetrics(SM_CYVIRTUALSCREEN)});
    EXPECT_EQ(screen, g_afterDpiChange) << "after a DPI change";
    EXPECT_EQ(screen, g_afterDisplayChange) << "after display changes";
    EXPECT_EQ(RGB(0, 0, 0), g_erased) << "a display change leaves the screen unerased";
    EXPECT_EQ(RGB(255, 255, 255), g_mark) << "a later erase blackened the mark";
}

TEST(FitImage, ACopyThatCannotBeMadeLeavesTheSlotEmptyAndTheOriginalDeleted)
{
    g_saver = SaverState{100, 100, {}, 2, {}, 0, 0, 0, 0, 0};
    DeleteObject(CopyImage(CreateBitmap(8, 8, 1, 32, nullptr), IMAGE_BITMAP, 4, 4,
                           LR_COPYDELETEORG));   // what the first copy sets up stays out
    const int freeBefore = FreeGdiObjects();
    g_saver.slots[0].bitmap = CreateBitmap(400, 300, 1, 32, nullptr);
    FreeGdiObjects([] { FitImage(0); });
    EXPECT_EQ(nullptr, g_saver.slots[0].bitmap);
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "the original bitmap must not leak";
}
