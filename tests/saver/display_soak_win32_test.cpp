// The display run in-process with ten pictures for thousands of ticks: the number of live GDI
// objects stays flat while it runs and falls back to where it was once it ends.
#include "res/resource.h"
#include "saver/saver_state.h"
#include "saver/saver_window.h"
#include "bmp_file.h"
#include "test_registry.h"

#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWarmUpMs = 1000;
constexpr DWORD kSoakMs = 15000;
constexpr UINT kProbeIntervalMs = 100;
// Objects Wine or the system may create lazily on a later paint (a cached brush, a font);
// a leak of one object per tick or per paint would be thousands.
constexpr long kNoise = 4;

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Live GDI objects of this process. Windows counts them for GetGuiResources; Wine answers 0
// there, so under Wine the process's GDI handle table is counted instead: the PEB points to it
// (GdiSharedHandleTable) and every live handle has a non-zero object type in its entry.
long LiveGdiObjects()
{
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0 || !RunningUnderWine())
        return static_cast<long>(counted);
#if defined(_WIN64)
    constexpr std::size_t kPebHandleTableOffset = 0xF8;
    constexpr std::size_t kEntrySize = 24;
    constexpr std::size_t kEntryTypeOffset = 14;
    constexpr std::size_t kEntryCount = 0x10000;
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (query == nullptr
        || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
    const std::uint8_t* table =
        *reinterpret_cast<const std::uint8_t* const*>(peb + kPebHandleTableOffset);
    if (table == nullptr)
        return -1;
    long live = 0;
    for (std::size_t i = 0; i < kEntryCount; ++i)
        live += table[i * kEntrySize + kEntryTypeOffset] != 0;
    return live;
#else
    return -1;
#endif
}

struct Soak {
    DWORD runMs = 0;
    long atWarmUp = -1;
    long highest = -1;
    long lowest = -1;
    int ticksAtWarmUp = 0;
    int ticks = 0;
};

Soak g_soak;
DWORD g_startedAt = 0;
HWND g_display = nullptr;
HHOOK g_tickCounter = nullptr;

// Counts the saver's own timer messages as the modal loop takes them from the queue.
LRESULT CALLBACK CountTicks(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_TIMER
        && message->wParam == kSaverTimerId)
        ++g_soak.ticks;
    return CallNextHookEx(g_tickCounter, code, wParam, lParam);
}

BOOL CALLBACK FindDisplay(HWND window, LPARAM)
{
    if (IsWindowVisible(window)) {
        g_display = window;
        return FALSE;
    }
    return TRUE;
}

// Samples between messages, where no paint is half done, until the soak time is over.
void CALLBACK Probe(HWND, UINT, UINT_PTR timer, DWORD)
{
    const DWORD elapsed = GetTickCount() - g_startedAt;
    if (elapsed < kWarmUpMs)
        return;
    const long live = LiveGdiObjects();
    if (g_soak.atWarmUp < 0) {
        g_soak.atWarmUp = g_soak.highest = g_soak.lowest = live;
        g_soak.ticksAtWarmUp = g_soak.ticks;
    }
    g_soak.highest = std::max(g_soak.highest, live);
    g_soak.lowest = std::min(g_soak.lowest, live);
    if (elapsed >= kWarmUpMs + g_soak.runMs) {
        KillTimer(nullptr, timer);
        g_display = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDisplay, 0);
        if (g_display != nullptr)
            PostMessageA(g_display, WM_CLOSE, 0, 0);
    }
}

class DisplaySoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetImageList());
        directory_ = TestTempDirectory();
        for (int picture = 1; picture <= 10; ++picture) {
            const std::string path = directory_ + "\\soak" + std::to_string(picture) + ".bmp";
            // Larger than a tenth of the screen, so every picture is resampled as well.
            ASSERT_TRUE(WriteFileBytes(path, SolidBmp(300, 200, static_cast<std::uint8_t>(
                                                          20 * picture), 120, 200)));
            ASSERT_TRUE(StoreImagePath(picture, path));
            paths_.push_back(path);
        }
        SetCursorPos(300, 300);
    }

    void TearDown() override
    {
        ResetImageList();
        for (const std::string& path : paths_)
            DeleteFileA(path.c_str());
    }

    std::string directory_;
    std::vector<std::string> paths_;
};

TEST(LiveGdiObjectCount, FollowsCreationAndDeletion)
{
    HDC screen = GetDC(nullptr);
    HBITMAP warm = CreateCompatibleBitmap(screen, 4, 4);   // first use may create shared objects
    DeleteObject(warm);
    const long before = LiveGdiObjects();
    ASSERT_GE(before, 0) << "no way to count GDI objects here";
    std::vector<HBITMAP> bitmaps;
    for (int i = 0; i < 5; ++i)
        bitmaps.push_back(CreateCompatibleBitmap(screen, 8, 8));
    HDC memory = CreateCompatibleDC(screen);
    EXPECT_EQ(before + 6, LiveGdiObjects());
    for (HBITMAP bitmap : bitmaps)
        DeleteObject(bitmap);
    DeleteDC(memory);
    EXPECT_EQ(before, LiveGdiObjects());
    ReleaseDC(nullptr, screen);
}

// Runs the display for the warm-up and runMs more, sampling live GDI objects; returns its result.
INT_PTR RunDisplay(DWORD runMs)
{
    g_saver = SaverState{};
    g_soak = Soak{};
    g_soak.runMs = runMs;
    g_tickCounter = SetWindowsHookExA(WH_GETMESSAGE, CountTicks, nullptr, GetCurrentThreadId());
    g_startedAt = GetTickCount();
    const UINT_PTR probe = SetTimer(nullptr, 0, kProbeIntervalMs, Probe);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER),
                                           nullptr, SaverDialogProc, 0);
    KillTimer(nullptr, probe);
    if (g_tickCounter != nullptr)
        UnhookWindowsHookEx(g_tickCounter);
    return result;
}

TEST_F(DisplaySoak, LiveGdiObjectsStayFlatOverThousandsOfTicks)
{
    ASSERT_GE(LiveGdiObjects(), 0);
    // A first, short run lets the system create what it keeps for the rest of the process (the
    // window class's cached device contexts, the dialog font...): the soak is compared with
    // what is left after it.
    ASSERT_EQ(0, RunDisplay(500));
    const long afterFirstRun = LiveGdiObjects();

    const INT_PTR result = RunDisplay(kSoakMs);
    const long afterSoak = LiveGdiObjects();
    EXPECT_EQ(0, result);
    int loaded = 0;
    for (const ImageSlot& slot : g_saver.slots)
        loaded += slot.cx > 0;
    EXPECT_EQ(10, loaded) << "not every picture was loaded and fitted";
    const int soakTicks = g_soak.ticks - g_soak.ticksAtWarmUp;
    std::printf("live GDI objects: %ld after a first run, %ld after warm-up, %ld..%ld over %d "
                "ticks, %ld after the end\n",
                afterFirstRun, g_soak.atWarmUp, g_soak.lowest, g_soak.highest, soakTicks,
                afterSoak);
    ASSERT_GE(g_soak.atWarmUp, 0) << "the display ended before the warm-up was over";
    EXPECT_GE(soakTicks, 1000) << "too few ticks to show a per-tick leak";
    EXPECT_LE(g_soak.highest - g_soak.atWarmUp, kNoise) << "GDI objects grew while running";
    // The ten fitted bitmaps are deleted when the display is closed.
    EXPECT_GE(g_soak.atWarmUp - afterSoak, 10);
    EXPECT_LE(afterSoak - afterFirstRun, kNoise) << "the display left GDI objects behind";
}

}  // namespace
