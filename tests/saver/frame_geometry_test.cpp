// Where a paint blackens the frame of a picture's old place and copies the picture.
#include "saver/frame_geometry.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(ComputeFrameBlits, BarsLieOverTheOldBorderAndThePictureOnItsPlace)
{
    // A 13x7 picture at 40,30 that stood at 39,31 or 41,29: three-pixel bars over the outermost
    // columns and rows of the old place blacken every pixel a unit diagonal step leaves.
    const struct {
        int dx, dy;
        BlitRect left, top, right, bottom;
    } rows[] = {
        {1, -1, {38, 30, 3, 9}, {38, 30, 15, 3}, {51, 30, 3, 9}, {38, 37, 15, 3}},
        {-1, 1, {40, 28, 3, 9}, {40, 28, 15, 3}, {53, 28, 3, 9}, {40, 35, 15, 3}},
    };
    for (const auto& row : rows) {
        ImageSlot slot{};
        slot.x = 40, slot.y = 30, slot.dx = row.dx, slot.dy = row.dy, slot.cx = 13, slot.cy = 7;
        const FrameBlits got = ComputeFrameBlits(slot);
        const BlitRect expected[] = {row.left, row.top, row.right, row.bottom, {40, 30, 13, 7}};
        for (int k = 0; k < 5; ++k) {
            const BlitRect &g = k < kFrameBarCount ? got.bars[k] : got.picture, &e = expected[k];
            EXPECT_EQ(std::make_tuple(e.left, e.top, e.width, e.height),
                      std::make_tuple(g.left, g.top, g.width, g.height))
                << "moving " << row.dx << "," << row.dy << ", blit " << k;
        }
    }
}
