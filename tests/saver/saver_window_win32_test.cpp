// The display window run in-process: start-up state, every way it ends, and ending only once.
#include "res/resource.h"
#include "saver/saver_state.h"
#include "saver/saver_window.h"
#include "bmp_file.h"
#include "test_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The current show-cursor count, read without changing it.
int CursorCount()
{
    const int count = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return count;
}

struct Observed {
    bool sawWindow = false;
    RECT windowRect = {};
    int cursorCountWhileShown = 0;
    int ticksSeen = 0;
    bool timerFired = false;
    int eraseDoneBeforeEnd = 0;
};

// The test's own thread timer fires inside the dialog's modal loop; it finds the display window
// and hands it to the test's action once the saver has run for a while.
HWND g_display = nullptr;
Observed g_observed;
std::function<void(HWND)> g_action;
UINT_PTR g_probeTimer = 0;
int g_probeTicks = 0;

BOOL CALLBACK FindDisplay(HWND window, LPARAM)
{
    if (IsWindowVisible(window)) {
        g_display = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK Probe(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_probeTicks;
    g_display = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDisplay, 0);
    if (g_display == nullptr)
        return;
    if (g_probeTicks < 10)   // let the saver's own timer and first paints run
        return;
    KillTimer(nullptr, g_probeTimer);
    g_observed.sawWindow = true;
    GetWindowRect(g_display, &g_observed.windowRect);
    g_observed.cursorCountWhileShown = CursorCount();
    g_observed.eraseDoneBeforeEnd = g_saver.eraseDone;
    g_action(g_display);
}

// Runs the display until the action ends it.
INT_PTR RunDisplay(std::function<void(HWND)> action)
{
    g_saver = SaverState{};
    g_observed = Observed{};
    g_action = std::move(action);
    g_probeTicks = 0;
    g_probeTimer = SetTimer(nullptr, 0, 50, Probe);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER),
                                           nullptr, SaverDialogProc, 0);
    KillTimer(nullptr, g_probeTimer);
    return result;
}

class SaverWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetImageList());
        // Ten empty stored paths: no picture, and no fallback to the default paths.
        for (int picture = 1; picture <= 10; ++picture)
            ASSERT_TRUE(StoreImagePath(picture, ""));
        SetCursorPos(300, 300);
    }
    void TearDown() override { ResetImageList(); }
};

TEST_F(SaverWindow, CoversTheVirtualScreenHidesTheCursorAndRuns)
{
    const int countBefore = CursorCount();
    INT_PTR result = RunDisplay([](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); });

    EXPECT_EQ(0, result);
    ASSERT_TRUE(g_observed.sawWindow);
    const RECT& rect = g_observed.windowRect;
    EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), rect.left);
    EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), rect.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), rect.right - rect.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), rect.bottom - rect.top);
    EXPECT_EQ(countBefore - 1, g_observed.cursorCountWhileShown) << "cursor not hidden";
    EXPECT_EQ(countBefore, CursorCount()) << "cursor not shown again";
    EXPECT_EQ(1, g_observed.eraseDoneBeforeEnd) << "the first erase after start-up never came";
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), g_saver.screenWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), g_saver.screenHeight);
    EXPECT_EQ(2, g_saver.imageCount);
    // The update rectangle is the whole client area, captured before anything was painted.
    EXPECT_EQ(0, g_saver.updateRect.left);
    EXPECT_EQ(0, g_saver.updateRect.top);
    EXPECT_EQ(g_saver.screenWidth, g_saver.updateRect.right);
    EXPECT_EQ(g_saver.screenHeight, g_saver.updateRect.bottom);
    // Empty slots moved on the saver's timer ticks and now rest at (1, 1).
    EXPECT_EQ(1, g_saver.slots[9].x);
    EXPECT_EQ(1, g_saver.slots[9].y);
}

struct Ending {
    const char* name;
    std::function<void(HWND)> send;
};

TEST_F(SaverWindow, EveryEndingGivesZeroAndShowsTheCursorOnce)
{
    const std::vector<Ending> endings = {
        {"WM_CLOSE", [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); }},
        {"WM_COMMAND IDOK", [](HWND w) { PostMessageA(w, WM_COMMAND, IDOK, 0); }},
        {"WM_COMMAND IDCANCEL", [](HWND w) { PostMessageA(w, WM_COMMAND, IDCANCEL, 0); }},
        {"WM_LBUTTONDBLCLK", [](HWND w) { PostMessageA(w, WM_LBUTTONDBLCLK, MK_LBUTTON, 0); }},
        {"mouse moved 21", [](HWND w) {
             SetCursorPos(g_saver.cursorOriginX + 21, g_saver.cursorOriginY);
             PostMessageA(w, WM_MOUSEMOVE, 0, 0);
         }},
        // Every dismissing message at once: only the first may act.
        {"all four together", [](HWND w) {
             PostMessageA(w, WM_CLOSE, 0, 0);
             PostMessageA(w, WM_COMMAND, IDOK, 0);
             PostMessageA(w, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
             SetCursorPos(g_saver.cursorOriginX, g_saver.cursorOriginY - 40);
             PostMessageA(w, WM_MOUSEMOVE, 0, 0);
             PostMessageA(w, WM_CLOSE, 0, 0);
         }},
    };
    for (const Ending& ending : endings) {
        SetCursorPos(300, 300);
        const int countBefore = CursorCount();
        const INT_PTR result = RunDisplay(ending.send);
        EXPECT_TRUE(g_observed.sawWindow) << ending.name;
        EXPECT_EQ(0, result) << ending.name;
        EXPECT_EQ(countBefore, CursorCount()) << ending.name << ": cursor count after the end";
        EXPECT_EQ(1, g_saver.dismissed) << ending.name;
    }
}

TEST_F(SaverWindow, SmallMouseMovementsKeepTheDisplay)
{
    int stillRunningAfterMoves = 0;
    const INT_PTR result = RunDisplay([&](HWND w) {
        const int x0 = g_saver.cursorOriginX;
        const int y0 = g_saver.cursorOriginY;
        const POINT moves[] = {{20, 20}, {-20, -20}, {20, -20}, {-20, 20}, {0, 0}};
        for (const POINT& move : moves) {
            SetCursorPos(x0 + move.x, y0 + move.y);
            SendMessageA(w, WM_MOUSEMOVE, 0, 0);
        }
        stillRunningAfterMoves = !g_saver.dismissed;
        PostMessageA(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(1, stillRunningAfterMoves) << "a move of 20 pixels ended the display";
}

TEST_F(SaverWindow, DismissalDeletesTheBitmapsOnceAndClearsTheSlots)
{
    const std::string path = TestTempDirectory() + "\\window-test.bmp";
    ASSERT_TRUE(WriteFileBytes(path, SolidBmp(40, 30, 200, 30, 30)));
    ASSERT_TRUE(StoreImagePath(1, path));
    ASSERT_TRUE(StoreImagePath(4, path));

    std::vector<HGDIOBJ> loaded;
    const INT_PTR result = RunDisplay([&](HWND w) {
        for (const ImageSlot& slot : g_saver.slots) {
            if (slot.bitmap != nullptr)
                loaded.push_back(static_cast<HGDIOBJ>(slot.bitmap));
        }
        PostMessageA(w, WM_CLOSE, 0, 0);
        PostMessageA(w, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        PostMessageA(w, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(0, result);
    ASSERT_EQ(2u, loaded.size());
    for (const ImageSlot& slot : g_saver.slots)
        EXPECT_EQ(nullptr, slot.bitmap);
    for (HGDIOBJ bitmap : loaded)
        EXPECT_EQ(0u, GetObjectType(bitmap)) << "bitmap still alive after the display ended";
    DeleteFileA(path.c_str());
}

}  // namespace
