// Frame painting replayed on a pixel model: no trails over thousands of ticks, and the cut a
// later slot's frame makes into an earlier picture close by.
#include "frame_model.h"
#include "saver/motion.h"
#include "saver/saver_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <utility>

namespace {

struct Start {
    int slot;
    int x, y, dx, dy;
};

std::string Where(int slot, const ImageSlot& s)
{
    return "slot " + std::to_string(slot) + " at (" + std::to_string(s.x) + ", "
        + std::to_string(s.y) + ")";
}

// Pixels between two rectangles on the axis where they are farthest apart.
int Separation(const ImageSlot& a, const ImageSlot& b)
{
    const int apartX = std::max(a.x - (b.x + b.cx), b.x - (a.x + a.cx));
    const int apartY = std::max(a.y - (b.y + b.cy), b.y - (a.y + a.cy));
    return std::max(apartX, apartY);
}

// Counts the pixels of the slot's rectangle that differ from its picture.
int WrongPixelsInPicture(const ModelScreen& screen, const ImageSlot& slot,
                         const ModelPicture& picture)
{
    int wrong = 0;
    for (int row = 0; row < slot.cy; ++row) {
        for (int column = 0; column < slot.cx; ++column) {
            if (screen.At(slot.x + column, slot.y + row) != picture.At(column, row))
                ++wrong;
        }
    }
    return wrong;
}

// Four pictures of one size on a screen whose free range is the same on both axes, W - cx =
// H - cy: each goes round a diamond through the middles of the four edges, in all four
// directions, a quarter of the way round from the next. They bounce off every edge, never meet
// one another and never come near the empty slots resting in the top-left corner, so no touch
// reversal (whose vacated edge stays for a tick) ever happens.
TEST(FrameReplay, PicturesBouncingOffTheEdgesLeaveNoPixelOutsideTheirRectangles)
{
    constexpr int kWidth = 240;
    constexpr int kHeight = 222;
    constexpr int kCx = 44;
    constexpr int kCy = 26;
    constexpr int kTicks = 2000;
    constexpr int kMid = 98;
    constexpr int kFar = kWidth - kCx;
    const Start starts[] = {
        {0, 1, kMid, 1, -1}, {3, kMid, 1, 1, 1}, {5, kFar, kMid, -1, 1}, {9, kMid, kFar, -1, -1},
    };

    g_saver = SaverState{};
    g_saver.screenWidth = kWidth;
    g_saver.screenHeight = kHeight;
    ModelPicture pictureStore[kSlotCount];
    ModelPictures pictures = {};
    for (const Start& start : starts) {
        ImageSlot& slot = g_saver.slots[start.slot];
        pictureStore[start.slot] = PatternedPicture(start.slot, kCx, kCy);
        pictures[start.slot] = &pictureStore[start.slot];
        slot.bitmap = &pictureStore[start.slot];
        slot.cx = kCx;
        slot.cy = kCy;
        slot.x = start.x;
        slot.y = start.y;
        slot.dx = start.dx;
        slot.dy = start.dy;
    }

    ModelScreen screen(kWidth, kHeight);
    std::set<std::pair<int, int>> directions[kSlotCount];
    int reversals[kSlotCount] = {};
    PaintModelFrame(screen, g_saver.slots, pictures);   // the first paint, before any tick
    for (int tick = 1; tick <= kTicks; ++tick) {
        ImageSlot before[kSlotCount];
        std::copy(std::begin(g_saver.slots), std::end(g_saver.slots), before);
        StepImages();
        PaintModelFrame(screen, g_saver.slots, pictures);

        long pictureArea = 0;
        for (const Start& a : starts) {
            const ImageSlot& slot = g_saver.slots[a.slot];
            directions[a.slot].insert({slot.dx, slot.dy});
            // Kept apart as they are, only the edges can reverse them.
            if (slot.dx != before[a.slot].dx || slot.dy != before[a.slot].dy)
                ++reversals[a.slot];
            ASSERT_TRUE(slot.x > 4 || slot.y > 4)
                << "tick " << tick << ": " << Where(a.slot, slot) << " reached the corner";
            for (const Start& b : starts) {
                if (b.slot != a.slot) {
                    ASSERT_GT(Separation(slot, g_saver.slots[b.slot]), kTouchTolerance + 1)
                        << "tick " << tick << ": " << Where(a.slot, slot) << " came close to "
                        << Where(b.slot, g_saver.slots[b.slot]);
                }
            }
            ASSERT_EQ(0, WrongPixelsInPicture(screen, slot, *pictures[a.slot]))
                << "tick " << tick << ": wrong pixels in the copy of " << Where(a.slot, slot);
            pictureArea += static_cast<long>(slot.cx) * slot.cy;
        }
        // The pictures do not overlap and are wholly non-black, so any further non-black pixel
        // lies outside every picture: a trail.
        ASSERT_EQ(pictureArea, screen.NonBlackCount())
            << "tick " << tick << ": non-black pixels outside the pictures (got "
            << screen.NonBlackCount() << ", expected the pictures' " << pictureArea << ")";
    }
    for (const Start& start : starts) {
        EXPECT_EQ(4u, directions[start.slot].size())
            << "slot " << start.slot << " did not move in all four directions";
        EXPECT_GE(reversals[start.slot], 20) << "slot " << start.slot << " hardly bounced";
    }
}

struct CutCase {
    int gap;             // black columns between the earlier and the later picture
    int cutColumns;      // columns of the earlier picture the later frame blackens
};

// Both 40 x 30, moving right and down; the later slot (1) stands right of the earlier one (0).
// Its left bar covers one column either side of where its left column was a step ago.
TEST(FrameReplay, TheFrameOfALaterSlotCutsIntoAnEarlierPictureCloserThanTwoPixels)
{
    const CutCase cases[] = {{0, 2}, {1, 1}, {2, 0}};
    for (const CutCase& c : cases) {
        ImageSlot slots[kSlotCount] = {};
        ModelPicture earlier = PatternedPicture(0, 40, 30);
        ModelPicture later = PatternedPicture(1, 40, 30);
        ModelPictures pictures = {&earlier, &later};
        slots[0] = ImageSlot{&earlier, 50, 50, 1, 1, 40, 30, 0, 0};
        slots[1] = ImageSlot{&later, 90 + c.gap, 50, 1, 1, 40, 30, 0, 0};

        ModelScreen screen(200, 150);
        PaintModelFrame(screen, slots, pictures);

        const std::string gap = "gap " + std::to_string(c.gap);
        EXPECT_EQ(0, WrongPixelsInPicture(screen, slots[1], later)) << gap << ": later picture";
        const int firstCut = 90 - c.cutColumns;
        for (int row = 50; row < 80; ++row) {
            for (int column = 50; column < 90; ++column) {
                const ModelColour expected =
                    column >= firstCut ? 0 : earlier.At(column - 50, row - 50);
                ASSERT_EQ(expected, screen.At(column, row))
                    << gap << ": earlier picture at (" << column << ", " << row << ")";
            }
        }
    }
}

}  // namespace
