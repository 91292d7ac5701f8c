// Where a paint blackens the frame of a picture's old place and copies the picture.
#include "saver/frame_geometry.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(ComputeFrameBlits, BarsLieOverTheOldBorderAndThePictureOnItsPlace)
{
    // A 13x7 picture at 40,30 that stood at 39,31: three-pixel bars over the outermost columns
    // and rows of the old place blacken every pixel a unit diagonal step leaves.
    ImageSlot slot{};
    slot.x = 40, slot.y = 30, slot.dx = 1, slot.dy = -1, slot.cx = 13, slot.cy = 7;
    const FrameBlits got = ComputeFrameBlits(slot);
    const BlitRect expected[] = {{38, 30, 3, 9}, {38, 30, 15, 3}, {51, 30, 3, 9}, {38, 37, 15, 3},
                                 {40, 30, 13, 7}};   // left, top, right, bottom, the picture
    for (int k = 0; k < 5; ++k) {
        const BlitRect &g = k < kFrameBarCount ? got.bars[k] : got.picture, &e = expected[k];
        EXPECT_EQ(std::make_tuple(e.left, e.top, e.width, e.height),
                  std::make_tuple(g.left, g.top, g.width, g.height)) << "blit " << k;
    }
}
