// Where pictures are dropped: on the screen, off the corners of earlier ones, moving diagonally.
#include "saver/placement.h"
#include "saver/saver_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>

namespace {

bool AnyCornerIn(const ImageSlot& a, const ImageSlot& s)
{
    bool any = false;
    for (const int px : {a.x, a.x + a.cx})
        for (const int py : {a.y, a.y + a.cy})
            any |= s.x <= px && px <= s.x + s.cx && s.y <= py && py <= s.y + s.cy;
    return any;
}

ImageSlot Sized(int x, int y, int cx, int cy)
{
    ImageSlot slot{};
    slot.x = x, slot.y = y, slot.cx = cx, slot.cy = cy;
    return slot;
}

void Start(int width, int height, unsigned seed)
{
    g_saver = SaverState{};
    g_saver.screenWidth = width;
    g_saver.screenHeight = height;
    std::srand(seed);
}

}  // namespace

TEST(PlaceImages, StaysOnScreenKeepsCornersOffEarlierPicturesAndMovesDiagonally)
{
    std::set<std::pair<int, int>> directions;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const int width = seed % 3 ? 64 << seed % 3 : 1280, height = width * 3 / 4;
        Start(width, height, seed);
        for (int i = 0; i < kSlotCount; ++i) {
            ImageSlot& slot = g_saver.slots[i];
            slot = Sized(0, 0, std::rand() % (width / 4), std::rand() % (height / 4));
            PlaceImages(i);
            ASSERT_TRUE(slot.x >= 1 && slot.x <= width - slot.cx && slot.y >= 1
                        && slot.y <= height - slot.cy && slot.dx * slot.dx == 1
                        && slot.dy * slot.dy == 1)
                << "seed " << seed << " slot " << i << " at " << slot.x << "," << slot.y;
            directions.insert({slot.dx, slot.dy});
            for (int j = 0; j < i; ++j)   // these screens always have room within 1000 draws
                ASSERT_FALSE(AnyCornerIn(slot, g_saver.slots[j])) << "seed " << seed << " " << i;
        }
    }
    EXPECT_EQ(4u, directions.size());
}

TEST(PlaceImages, OnlyCornersCountEdgesIncludedAndACrowdedScreenEnds)
{
    const struct {
        const char* name;
        ImageSlot earlier, later;
        int placementOk;
    } rows[] = {
        // Some corner always lands on an edge of the earlier one or inside it: 1000 draws, then
        // the last one stays.
        {"touching its right edge", Sized(0, 0, 50, 100), Sized(0, 0, 50, 10), 0},
        {"touching its left edge", Sized(51, 0, 49, 100), Sized(0, 0, 50, 10), 0},
        {"touching its bottom edge", Sized(0, 0, 100, 50), Sized(0, 0, 10, 50), 0},
        {"touching its top edge", Sized(0, 51, 100, 49), Sized(0, 0, 10, 50), 0},
        {"covering a smaller one", Sized(45, 45, 10, 10), Sized(0, 0, 97, 97), 1},
        // Free for one draw in fifty: 1000 draws find it for every seed, ten would not.
        {"one row in fifty free", Sized(0, 0, 100, 97), Sized(0, 0, 1, 1), 1},
    };
    for (const auto& row : rows) {
        for (unsigned seed = 1; seed <= 20; ++seed) {
            Start(100, 100, seed);
            g_saver.slots[0] = row.earlier;
            g_saver.slots[1] = row.later;
            PlaceImages(1);
            EXPECT_EQ(row.placementOk, g_saver.placementOk) << row.name << ", seed " << seed;
        }
    }
}
