// The display run in this process: the cursor, endings that arrive together, and GDI objects.
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

// How many more GDI objects this process can make; a leak shows as a smaller number.
int FreeGdiObjects(std::vector<HRGN>* keep = nullptr)
{
    std::vector<HRGN> made;
    for (HRGN region; (region = CreateRectRgn(0, 0, 1, 1)) != nullptr;)
        made.push_back(region);
    const int count = static_cast<int>(made.size());
    if (keep != nullptr)
        keep->swap(made);
    for (HRGN region : made)
        DeleteObject(region);
    return count;
}

void StoreTenPictures(int width, int height)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file = {0x4D42, headers + 4 * width * height, 0, 0, headers};
    const BITMAPINFOHEADER info = {sizeof info, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info), sizeof info).append(4 * width * height, 'c');
    const std::string path = std::string(folder) + "window-test.bmp";
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

int g_cursorWhileShown, g_fittedPictures;   // as seen while the display ran

// Looks at the running display, then hands it every ending before it can close.
void CALLBACK EndDisplay(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_cursorWhileShown = CursorCount();
    g_fittedPictures = 0;
    for (const ImageSlot& slot : g_saver.slots)
        g_fittedPictures += slot.bitmap != nullptr && slot.cx == 200 && slot.cy == 150;
    HWND display = FindWindowA("#32770", nullptr);
    for (UINT message : {WM_COMMAND, WM_LBUTTONDBLCLK, WM_CLOSE, WM_COMMAND})
        SendMessageA(display, message, message == WM_COMMAND ? IDCANCEL : 0, 0);
}

INT_PTR RunDisplay(UINT milliseconds)
{
    g_saver = SaverState{};
    SetTimer(nullptr, 0, milliseconds, EndDisplay);
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER), nullptr,
                           SaverDialogProc, 0);
}

}  // namespace

TEST(SaverWindow, HidesTheCursorEndsOnceAndLeavesNoGdiObjectsBehind)
{
    // Ten 400x300 pictures on 1280x1024 are halved to 200x150: all ten are resampled copies.
    StoreTenPictures(400, 300);
    const int cursorBefore = CursorCount();
    EXPECT_EQ(0, RunDisplay(500));   // also creates whatever the system keeps for later paints
    EXPECT_EQ(cursorBefore - 1, g_cursorWhileShown);
    EXPECT_EQ(cursorBefore, CursorCount()) << "the cursor is shown once per display";

    const int freeBefore = FreeGdiObjects();
    EXPECT_EQ(0, RunDisplay(5000));   // some 500 ticks and paints
    EXPECT_EQ(10, g_fittedPictures);
    EXPECT_LE(freeBefore - FreeGdiObjects(), 4) << "GDI objects left after the display";
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
    std::vector<HRGN> allTaken;
    FreeGdiObjects(&allTaken);
    FitImage(0);
    for (HRGN region : allTaken)
        DeleteObject(region);
    EXPECT_EQ(nullptr, g_saver.slots[0].bitmap);
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "the original bitmap must not leak";
}
