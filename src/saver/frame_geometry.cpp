// Paint geometry of one slot: four black bars around its previous place, then the picture.
#include "saver/frame_geometry.h"

FrameBlits ComputeFrameBlits(const ImageSlot& slot)
{
    const int px = slot.x - slot.dx;
    const int py = slot.y - slot.dy;
    FrameBlits blits{};
    blits.bars[kLeftBar] = BlitRect{px - 1, py - 1, 3, slot.cy + 2};
    blits.bars[kTopBar] = BlitRect{px - 1, py - 1, slot.cx + 2, 3};
    blits.bars[kRightBar] = BlitRect{px + slot.cx - 1, py - 1, 3, slot.cy + 2};
    blits.bars[kBottomBar] = BlitRect{px - 1, py + slot.cy - 1, slot.cx + 2, 3};
    blits.picture = BlitRect{slot.x, slot.y, slot.cx, slot.cy};
    return blits;
}
