// The eight EXIF orientations as index arithmetic: where each upright pixel is stored.
#include "pictures/orientation.h"

namespace {

bool IsQuarterTurn(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

}  // namespace

PictureSize UprightSize(int width, int height, int orientation)
{
    return IsQuarterTurn(orientation) ? PictureSize{height, width} : PictureSize{width, height};
}

void CopyUpright(const std::uint32_t* stored, int width, int height, int orientation,
                 std::uint32_t* upright)
{
    const bool turned = IsQuarterTurn(orientation);
    // Stored right to left, or bottom up, once any quarter turn is undone.
    const bool mirrorX =
        orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool mirrorY =
        orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    const PictureSize size = UprightSize(width, height, orientation);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const int storedX = turned ? y : x, storedY = turned ? x : y;
            *upright++ = stored[(mirrorY ? height - 1 - storedY : storedY) * width
                                + (mirrorX ? width - 1 - storedX : storedX)];
        }
    }
}
