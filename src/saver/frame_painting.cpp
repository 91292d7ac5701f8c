// GDI side of the frame painting: one memory context per paint, five blits per picture.
#include "saver/frame_painting.h"

#include "saver/frame_geometry.h"
#include "saver/saver_state.h"

namespace {

void DrawSlot(HDC windowDc, HDC memoryDc, const ImageSlot& slot)
{
    const FrameBlits blits = ComputeFrameBlits(slot);
    for (const BlitRect& bar : blits.bars)
        BitBlt(windowDc, bar.left, bar.top, bar.width, bar.height, memoryDc, 0, 0, BLACKNESS);
    const BlitRect& picture = blits.picture;
    BitBlt(windowDc, picture.left, picture.top, picture.width, picture.height, memoryDc, 0, 0,
           SRCCOPY);
}

}  // namespace

void PaintFrame(HWND window)
{
    PAINTSTRUCT paint;
    HDC windowDc = BeginPaint(window, &paint);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    if (memoryDc != nullptr) {
        HGDIOBJ originalBitmap = nullptr;
        for (const ImageSlot& slot : g_saver.slots) {
            if (slot.bitmap == nullptr)
                continue;
            HGDIOBJ previous = SelectObject(memoryDc, static_cast<HBITMAP>(slot.bitmap));
            if (originalBitmap == nullptr)
                originalBitmap = previous;
            DrawSlot(windowDc, memoryDc, slot);
        }
        // The slots keep owning their bitmaps: hand the context back its own before deleting it.
        if (originalBitmap != nullptr)
            SelectObject(memoryDc, originalBitmap);
        DeleteDC(memoryDc);
    }
    EndPaint(window, &paint);
}
