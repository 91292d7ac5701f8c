// One tick of the animation: edges, clamps and rebounds between pictures.
#include "saver/motion.h"
#include "saver/saver_state.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

ImageSlot Picture(int x, int y, int dx, int dy, int cx, int cy)
{
    ImageSlot slot{};
    slot.x = x, slot.y = y, slot.dx = dx, slot.dy = dy, slot.cx = cx, slot.cy = cy;
    return slot;
}

}  // namespace

TEST(StepImages, ReversesAtEdgesAndTouchesOncePerAxis)
{
    const ImageSlot b = Picture(100, 50, 1, 1, 20, 20);   // after the step: 101..121 x 51..71
    const struct {
        const char* name;
        ImageSlot a, b;      // slots 0 and 1; the other slots are empty
        int x, y, dx, dy;    // slot 0 after one step
        int bdx, bdy;        // slot 1 after one step
    } rows[] = {
        {"left edge", Picture(1, 50, -1, 1, 10, 10), {}, 1, 51, 1, 1, 0, 0},
        {"top edge", Picture(50, 1, 1, -1, 10, 10), {}, 51, 1, 1, 1, 0, 0},
        {"right edge", Picture(190, 50, 1, 1, 10, 10), {}, 190, 51, -1, 1, 0, 0},
        {"bottom edge", Picture(50, 190, 1, 1, 10, 10), {}, 51, 190, 1, -1, 0, 0},
        {"flush with right and bottom", Picture(189, 189, 1, 1, 10, 10), {}, 190, 190, 1, 1, 0, 0},
        // Each touch test alone: a's corner lies on b's span, b's corner not on a's.
        {"left at right, 0 apart", Picture(122, 59, -1, 1, 10, 10), b, 121, 60, 1, 1, -1, 1},
        {"left at right, 2 apart", Picture(124, 59, -1, 1, 10, 10), b, 123, 60, 1, 1, -1, 1},
        {"left at right, 3 apart", Picture(125, 59, -1, 1, 10, 10), b, 124, 60, -1, 1, 1, 1},
        {"right at left, touching", Picture(90, 59, 1, 1, 10, 10), b, 91, 60, -1, 1, -1, 1},
        {"right at left, 2 in", Picture(92, 59, 1, 1, 10, 10), b, 93, 60, -1, 1, -1, 1},
        {"top at bottom, 0 apart", Picture(109, 72, 1, -1, 10, 10), b, 110, 71, 1, 1, 1, -1},
        {"top at bottom, 2 apart", Picture(109, 74, 1, -1, 10, 10), b, 110, 73, 1, 1, 1, -1},
        {"bottom at top, touching", Picture(109, 40, 1, 1, 10, 10), b, 110, 41, 1, -1, 1, -1},
        {"bottom at top, 2 in", Picture(109, 42, 1, 1, 10, 10), b, 110, 43, 1, -1, 1, -1},
        {"head-on, both orders", Picture(122, 50, -1, 1, 10, 10), b, 121, 51, 1, 1, -1, 1},
        {"the later slot touching", b, Picture(123, 59, -1, 1, 10, 10), 101, 51, -1, 1, 1, 1},
        {"one over the other", Picture(105, 55, 1, 1, 10, 10), b, 106, 56, 1, 1, 1, 1},
        {"edge and touch cancel", Picture(190, 100, 1, 1, 10, 10), Picture(169, 100, 1, 1, 20, 20),
         190, 101, 1, 1, -1, 1},
        // The eight empty slots rest at (1, 1) and take part: a picture reaching them rebounds.
        {"corner", Picture(3, 2, -1, -1, 10, 10), Picture(99, 9, 1, 1, 9, 9), 2, 1, 1, -1, 1, 1},
    };
    for (const auto& row : rows) {
        g_saver = SaverState{};
        g_saver.screenWidth = g_saver.screenHeight = 200;
        g_saver.slots[0] = row.a;
        g_saver.slots[1] = row.b;
        g_saver.slots[0].fx = g_saver.slots[0].fy = 1;   // left over from an earlier tick
        StepImages();
        const ImageSlot &a = g_saver.slots[0], &b1 = g_saver.slots[1];
        EXPECT_EQ(std::make_tuple(row.x, row.y, row.dx, row.dy, row.bdx, row.bdy),
                  std::make_tuple(a.x, a.y, a.dx, a.dy, b1.dx, b1.dy)) << row.name;
    }
}
