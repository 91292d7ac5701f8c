// The black frame of a paint covers every pixel a picture left in a unit diagonal step.
#include "saver/frame_geometry.h"

#include <gtest/gtest.h>

TEST(ComputeFrameBlits, BarsCoverWhatAUnitDiagonalStepVacated)
{
    const auto inside = [](int px, int py, const BlitRect& r) {
        return r.left <= px && px < r.left + r.width && r.top <= py && py < r.top + r.height;
    };
    for (const int cx : {1, 2, 13}) {
        for (int direction = 0; direction < 4; ++direction) {
            const ImageSlot slot{nullptr, 40, 30, direction % 2 ? 1 : -1, direction / 2 ? 1 : -1,
                                 cx, 7, 0, 0};
            const FrameBlits blits = ComputeFrameBlits(slot);
            const BlitRect before{slot.x - slot.dx, slot.y - slot.dy, slot.cx, slot.cy};
            for (int py = before.top; py < before.top + slot.cy; ++py) {
                for (int px = before.left; px < before.left + slot.cx; ++px) {
                    bool covered = inside(px, py, blits.picture);
                    for (const BlitRect& bar : blits.bars)
                        covered |= inside(px, py, bar);
                    EXPECT_TRUE(covered) << cx << "x7 moving " << slot.dx << "," << slot.dy
                                         << ": pixel " << px << "," << py << " left behind";
                }
            }
        }
    }
}

TEST(ComputeFrameBlits, BarsLieOverTheOldBorderAndThePictureOnItsPlace)
{
    // One step ago, moving right and up, the 13x7 picture at 40,30 stood at 39,31.
    const FrameBlits got = ComputeFrameBlits(ImageSlot{nullptr, 40, 30, 1, -1, 13, 7, 0, 0});
    const BlitRect expected[] = {
        {38, 30, 3, 9}, {38, 30, 15, 3}, {51, 30, 3, 9}, {38, 37, 15, 3}, {40, 30, 13, 7}};
    for (int k = 0; k < 5; ++k) {
        const BlitRect& g = k < kFrameBarCount ? got.bars[k] : got.picture;
        const BlitRect& e = expected[k];
        EXPECT_TRUE(g.left == e.left && g.top == e.top && g.width == e.width && g.height == e.height)
            << "blit " << k << ": got " << g.left << "," << g.top << " " << g.width << "x"
            << g.height << ", expected " << e.left << "," << e.top << " " << e.width << "x"
            << e.height;
    }
}
