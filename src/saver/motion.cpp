// The whole physics of the display: unit diagonal steps, edge rebounds and touch rebounds.
#include "saver/motion.h"

#include "saver/saver_state.h"

namespace {

void MoveWithinScreen(ImageSlot& slot)
{
    const int width = g_saver.screenWidth;
    const int height = g_saver.screenHeight;
    slot.x += slot.dx;
    slot.y += slot.dy;

    if (slot.x <= 0)
        slot.dx = -slot.dx;
    if (slot.y <= 0)
        slot.dy = -slot.dy;
    if (slot.x + slot.cx > width)
        slot.dx = -slot.dx;
    if (slot.y + slot.cy > height)
        slot.dy = -slot.dy;

    // Clamped back to where it came from, so a picture spends two ticks at the boundary.
    if (slot.x <= 0)
        slot.x = 1;
    if (slot.y <= 0)
        slot.y = 1;
    if (slot.x + slot.cx > width)
        slot.x = width - slot.cx;
    if (slot.y + slot.cy > height)
        slot.y = height - slot.cy;
}

bool Within(int low, int value, int high)
{
    return low <= value && value <= high;
}

// Marks a and b when an edge of a lies on the facing edge of b, within the tolerance. Only a's
// top-left corner is checked on the cross axis; the pair (b, a) is tested on its own.
void MarkTouch(ImageSlot& a, ImageSlot& b)
{
    const bool acrossVertically = Within(b.y, a.y, b.y + b.cy);
    const bool acrossHorizontally = Within(b.x, a.x, b.x + b.cx);
    const int bRight = b.x + b.cx;
    const int bBottom = b.y + b.cy;

    if (Within(bRight, a.x, bRight + kTouchTolerance) && acrossVertically) {
        a.fx = b.fx = 1;
    } else if (Within(b.x, a.x + a.cx, b.x + kTouchTolerance) && acrossVertically) {
        a.fx = b.fx = 1;
    } else if (Within(bBottom, a.y, bBottom + kTouchTolerance) && acrossHorizontally) {
        a.fy = b.fy = 1;
    } else if (Within(b.y, a.y + a.cy, b.y + kTouchTolerance) && acrossHorizontally) {
        a.fy = b.fy = 1;
    }
}

}  // namespace

void StepImages()
{
    for (ImageSlot& slot : g_saver.slots)
        MoveWithinScreen(slot);

    for (ImageSlot& slot : g_saver.slots)
        slot.fx = slot.fy = 0;

    for (int a = 0; a < kSlotCount; ++a) {
        for (int b = 0; b < kSlotCount; ++b) {
            if (a != b)
                MarkTouch(g_saver.slots[a], g_saver.slots[b]);
        }
    }

    // Marks are set, not toggled: however many touches, one reversal per axis.
    for (ImageSlot& slot : g_saver.slots) {
        if (slot.fx == 1)
            slot.dx = -slot.dx;
        if (slot.fy == 1)
            slot.dy = -slot.dy;
    }
}
