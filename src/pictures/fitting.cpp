// Integer arithmetic of the picture fitting; the bitmap copy lives in image_loading.cpp.
#include "pictures/fitting.h"

FittedSize FitImageSize(int cx, int cy, int screenWidth, int screenHeight, int imageCount)
{
    // The loader never passes fewer than 2; guard the divisions against anything else.
    const int count = imageCount < 1 ? 1 : imageCount;
    if (cx <= screenWidth / count && cy <= screenHeight / count)
        return FittedSize{cx, cy, false};

    const int half = count / 2 < 1 ? 1 : count / 2;
    const int maxWidth = screenWidth / half;
    const int maxHeight = screenHeight / half;
    // Once both sides are 0 halving changes nothing, which would loop forever on a screen
    // reported with a negative size.
    while ((cx > maxWidth || cy > maxHeight) && (cx != 0 || cy != 0)) {
        cx /= 2;
        cy /= 2;
    }
    return FittedSize{cx, cy, true};
}
