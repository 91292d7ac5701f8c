// PaintFrame through real GDI into a window gives the pixels of the model painting, tick by tick.
#include "frame_model.h"
#include "saver/frame_painting.h"
#include "saver/motion.h"
#include "saver/saver_state.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

LRESULT CALLBACK PaintTestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintFrame(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;   // as in the display: only the painting touches the screen
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// What the window shows, read back through its device context as 0x00RRGGBB pixels.
std::vector<ModelColour> ReadWindow(HWND window)
{
    std::vector<ModelColour> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;   // top-down, like the model
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC windowDc = GetDC(window);
    HDC copyDc = CreateCompatibleDC(windowDc);
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copyDc != nullptr && copy != nullptr) {
        HGDIOBJ original = SelectObject(copyDc, copy);
        BitBlt(copyDc, 0, 0, kWidth, kHeight, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = source[i] & 0x00ffffff;
        SelectObject(copyDc, original);
    }
    if (copy != nullptr)
        DeleteObject(copy);
    if (copyDc != nullptr)
        DeleteDC(copyDc);
    ReleaseDC(window, windowDc);
    return pixels;
}

void FillWindow(HWND window, COLORREF colour)
{
    HDC windowDc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT all = {0, 0, kWidth, kHeight};
    FillRect(windowDc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(window, windowDc);
}

// A real bitmap, of the kind the display loads (compatible with the screen), holding the model
// picture's pixels.
HBITMAP BitmapOf(const ModelPicture& picture)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screenDc = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screenDc, picture.width, picture.height);
    if (bitmap != nullptr) {
        SetDIBits(screenDc, bitmap, 0, picture.height, picture.pixels.data(), &info,
                  DIB_RGB_COLORS);
    }
    ReleaseDC(nullptr, screenDc);
    return bitmap;
}

// The first differing pixel and how many differ, or "" when the two agree.
std::string CompareWithModel(const std::vector<ModelColour>& got, const ModelScreen& expected)
{
    int differing = 0;
    std::ostringstream first;
    for (int row = 0; row < kHeight; ++row) {
        for (int column = 0; column < kWidth; ++column) {
            const ModelColour pixel = got[row * kWidth + column];
            if (pixel == expected.At(column, row))
                continue;
            if (differing++ == 0) {
                first << std::hex << "pixel (" << std::dec << column << ", " << row
                      << ") is 0x" << std::hex << pixel << ", expected 0x"
                      << expected.At(column, row);
            }
        }
    }
    if (differing == 0)
        return "";
    return std::to_string(differing) + " pixels differ; first: " + first.str();
}

class PaintFrameWin32 : public ::testing::Test {
protected:
    // One window for all tests: under Wine without a window manager each closing costs seconds.
    static void SetUpTestSuite()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = PaintTestWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "CorvellePaintTest";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(WS_EX_TOPMOST, "CorvellePaintTest", "paint test",
                                  WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    }

    static void TearDownTestSuite()
    {
        DestroyWindow(window_);
        window_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(nullptr, window_);
        g_saver = SaverState{};
        g_saver.screenWidth = kWidth;
        g_saver.screenHeight = kHeight;
        UpdateWindow(window_);   // let a pending paint of the empty state go by first
        FillWindow(window_, RGB(0, 0, 0));
    }

    void TearDown() override
    {
        for (ImageSlot& slot : g_saver.slots) {
            if (slot.bitmap != nullptr)
                DeleteObject(static_cast<HBITMAP>(slot.bitmap));
        }
        g_saver = SaverState{};
    }

    static void Paint()
    {
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }

    static HWND window_;
};

HWND PaintFrameWin32::window_ = nullptr;

struct PictureSetup {
    int slot;
    int cx, cy;
    int x, y, dx, dy;
};

// Pictures at the edges (bars clipped by the window), two meeting head-on a pixel apart (a touch
// reversal, and the later one's frame cutting into the earlier), one going into the top-left
// corner among the resting empty slots, one whose bitmap is missing: every tick of the motion
// is painted by GDI and by the model.
TEST_F(PaintFrameWin32, EveryTickMatchesTheModelPixelForPixel)
{
    HDC windowDc = GetDC(window_);
    const int bitsPerPixel = GetDeviceCaps(windowDc, BITSPIXEL);
    ReleaseDC(window_, windowDc);
    ASSERT_GE(bitsPerPixel, 24) << "colours would not survive exactly on this display";
    const PictureSetup setups[] = {
        {0, 60, 40, 1, 50, -1, 1},
        {2, 50, 30, 100, 100, 1, 1},
        {3, 40, 40, 153, 110, -1, 1},
        {6, 70, 20, kWidth - 70, kHeight - 21, 1, 1},
        {9, 30, 30, 5, 5, -1, -1},
    };
    ModelPicture pictureStore[kSlotCount];
    ModelPictures pictures = {};
    for (const PictureSetup& s : setups) {
        pictureStore[s.slot] = PatternedPicture(s.slot, s.cx, s.cy);
        pictures[s.slot] = &pictureStore[s.slot];
        ImageSlot& slot = g_saver.slots[s.slot];
        slot.bitmap = BitmapOf(pictureStore[s.slot]);
        ASSERT_NE(nullptr, slot.bitmap) << "slot " << s.slot;
        slot.cx = s.cx;
        slot.cy = s.cy;
        slot.x = s.x;
        slot.y = s.y;
        slot.dx = s.dx;
        slot.dy = s.dy;
    }
    // A slot whose copy failed keeps its size and moves, but has no bitmap to paint.
    g_saver.slots[5] = ImageSlot{nullptr, 200, 60, 1, 1, 20, 20, 0, 0};

    ModelScreen model(kWidth, kHeight);
    constexpr int kTicks = 120;
    for (int tick = 0; tick <= kTicks; ++tick) {
        if (tick > 0)
            StepImages();
        Paint();
        PaintModelFrame(model, g_saver.slots, pictures);
        const std::string difference = CompareWithModel(ReadWindow(window_), model);
        ASSERT_EQ("", difference) << "after tick " << tick;
    }
}

TEST_F(PaintFrameWin32, WithNoPictureAPaintDrawsNothing)
{
    FillWindow(window_, RGB(0x40, 0x80, 0xc0));
    g_saver.slots[4] = ImageSlot{nullptr, 30, 30, 1, 1, 20, 20, 0, 0};
    Paint();
    const std::vector<ModelColour> pixels = ReadWindow(window_);
    int changed = 0;
    for (ModelColour pixel : pixels)
        changed += pixel != 0x4080c0;
    EXPECT_EQ(0, changed) << "pixels painted with no picture loaded";
}

// A bitmap can be selected into one device context at a time: if a paint left one selected in a
// context it never deleted, selecting it elsewhere afterwards fails.
TEST_F(PaintFrameWin32, APaintLeavesNoBitmapSelected)
{
    for (int k = 0; k < 3; ++k) {
        const ModelPicture picture = PatternedPicture(k, 20, 10);
        ImageSlot& slot = g_saver.slots[k * 3];
        slot.bitmap = BitmapOf(picture);
        ASSERT_NE(nullptr, slot.bitmap);
        slot = ImageSlot{slot.bitmap, 40 * k + 10, 50, 1, 1, 20, 10, 0, 0};
    }
    Paint();
    HDC screenDc = GetDC(nullptr);
    HDC probeDc = CreateCompatibleDC(screenDc);
    ASSERT_NE(nullptr, probeDc);
    for (int k = 0; k < 3; ++k) {
        HGDIOBJ bitmap = static_cast<HGDIOBJ>(g_saver.slots[k * 3].bitmap);
        HGDIOBJ previous = SelectObject(probeDc, bitmap);
        EXPECT_NE(nullptr, previous) << "slot " << k * 3 << "'s bitmap is still selected";
        if (previous != nullptr)
            SelectObject(probeDc, previous);
    }
    DeleteDC(probeDc);
    ReleaseDC(nullptr, screenDc);
}

}  // namespace
