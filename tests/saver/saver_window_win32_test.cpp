// The display run in this process: cursor, DPI change, erases, endings at once, GDI objects.
#include "res/resource.h"
#include "saver/image_loading.h"
#include "saver/saver_state.h"
#include "saver/saver_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
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
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file = {0x4D42, headers + 4 * width * height, 0, 0, headers};
    const BITMAPINFOHEADER info = {sizeof info, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info), sizeof info).append(4 * width * height, 'c');
    const std::string path = width ? std::string(folder) + "window-test.bmp" : "";
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

// The display's window, as the dialog manager hands it over: no other window is looked at.
HWND g_display;
INT_PTR CALLBACK RecordingSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        g_display = window;
    return SaverDialogProc(window, message, wParam, lParam);
}

// As seen while the display ran.
int g_cursorWhileShown;
RECT g_afterDpiChange;
COLORREF g_mark;

// First call: looks at the display, marks a pixel on it and shrinks it as a DPI change might.
// Second call, some thirty ticks later: reads the mark back and hands it every ending at once.
void CALLBACK InspectThenEnd(HWND, UINT, UINT_PTR, DWORD)
{
    HDC dc = GetDC(g_display);
    if (g_mark == CLR_INVALID) {
        g_cursorWhileShown = CursorCount();
        g_mark = SetPixel(dc, 7, 7, RGB(255, 255, 255));
        SetWindowPos(g_display, nullptr, 10, 10, 100, 80, SWP_NOZORDER | SWP_NOACTIVATE);
        RECT suggested = {10, 10, 110, 90};
        SendMessageA(g_display, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&suggested));
        GetWindowRect(g_display, &g_afterDpiChange);
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
    StoreTenPictures(GetSystemMetrics(SM_CXVIRTUALSCREEN) / 4,
                     GetSystemMetrics(SM_CYVIRTUALSCREEN) / 4);
    const int cursorBefore = CursorCount();
    EXPECT_EQ(0, RunDisplay(300));   // also creates whatever the system keeps for later paints
    EXPECT_EQ(cursorBefore - 1, g_cursorWhileShown);
    EXPECT_EQ(cursorBefore, CursorCount()) << "the cursor is shown once per display";

    const int freeBefore = FreeGdiObjects();
    EXPECT_EQ(0, RunDisplay(2500));   // some 500 ticks and paints
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "GDI objects left after the display";
}

TEST(SaverWindow, KeepsCoveringTheScreenThroughADpiChangeAndErasesItOnlyOnce)
{
    StoreTenPictures(0, 0);
    EXPECT_EQ(0, RunDisplay(300));
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const RECT expected = {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                           top + GetSystemMetrics(SM_CYVIRTUALSCREEN)}, got = g_afterDpiChange;
    EXPECT_TRUE(EqualRect(&expected, &got))
        << "got " << got.left << "," << got.top << "-" << got.right << "," << got.bottom;
    EXPECT_EQ(RGB(255, 255, 255), g_mark) << "a later erase blackened the mark";
}

TEST(FitImage, ACopyThatCannotBeMadeLeavesTheSlotEmptyAndTheOriginalDeleted)
{
    g_saver = SaverState{};
    g_saver.screenWidth = g_saver.screenHeight = 100;
    g_saver.imageCount = 2;
    DeleteObject(CopyImage(CreateBitmap(8, 8, 1, 32, nullptr), IMAGE_BITMAP, 4, 4,
                           LR_COPYDELETEORG));   // what the first copy sets up stays out
    const int freeBefore = FreeGdiObjects();
    g_saver.slots[0].bitmap = CreateBitmap(400, 300, 1, 32, nullptr);
    FreeGdiObjects([] { FitImage(0); });
    EXPECT_EQ(nullptr, g_saver.slots[0].bitmap);
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "the original bitmap must not leak";
}
