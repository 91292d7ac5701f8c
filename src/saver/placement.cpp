// Random placement that keeps a new picture's corners off the pictures placed before it.
#include "saver/placement.h"

#include "saver/saver_state.h"

#include <cstdlib>

namespace {

// A screen whose size could not be read has no range to draw from; the coordinate becomes 0
// (and the clamps then pull it in) instead of dividing by zero. The draw is still consumed so
// the sequence of random values does not depend on the screen.
int DrawCoordinate(int range)
{
    const int value = std::rand();
    return range > 0 ? value % range : 0;
}

int DrawDirection()
{
    return std::rand() % 2 == 0 ? -1 : 1;
}

// Closed rectangle: the right and bottom bounds, one beyond the last drawn pixel, count too.
bool CornerInSlot(int px, int py, const ImageSlot& slot)
{
    return slot.x <= px && px <= slot.x + slot.cx && slot.y <= py && py <= slot.y + slot.cy;
}

bool AnyCornerInSlot(const ImageSlot& picture, const ImageSlot& other)
{
    const int right = picture.x + picture.cx;
    const int bottom = picture.y + picture.cy;
    return CornerInSlot(picture.x, picture.y, other) || CornerInSlot(right, picture.y, other)
        || CornerInSlot(picture.x, bottom, other) || CornerInSlot(right, bottom, other);
}

void ClampIntoScreen(ImageSlot& slot)
{
    const int width = g_saver.screenWidth;
    const int height = g_saver.screenHeight;
    if (slot.x <= 0)
        slot.x = 1;
    if (slot.x + slot.cx > width)
        slot.x = width - slot.cx - 1;
    if (slot.y <= 0)
        slot.y = 1;
    if (slot.y + slot.cy > height)
        slot.y = height - slot.cy - 1;
}

}  // namespace

void PlaceImages(int i)
{
    ImageSlot& slot = g_saver.slots[i];
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        slot.x = DrawCoordinate(g_saver.screenWidth);
        slot.y = DrawCoordinate(g_saver.screenHeight);
        ClampIntoScreen(slot);
        if (i == 0)
            break;

        // Empty earlier slots take part too: their rectangle is the point they rest on.
        g_saver.placementOk = 1;
        for (int j = 0; j < i; ++j) {
            if (AnyCornerInSlot(slot, g_saver.slots[j]))
                g_saver.placementOk = 0;
        }
        if (g_saver.placementOk)
            break;
    }
    slot.dx = DrawDirection();
    slot.dy = DrawDirection();
}
