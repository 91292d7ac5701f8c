// A new desk while the display runs: its measures taken, the old layout released, a new one owed.
#include "saver/screen_change.h"
#include "saver/saver_state.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace {

std::string Describe(const SaverState& s)
{
    std::ostringstream text;
    text << s.screenWidth << "x" << s.screenHeight << " at " << s.deskLeft << "," << s.deskTop
         << " on " << s.monitorCount << ", layout owed " << s.layoutOwed << " since "
         << s.deskChangedAt;
    for (const ImageSlot& slot : s.slots)
        text << "; " << slot.bitmap << " " << slot.x << "," << slot.y << " " << slot.dx << " "
             << slot.cx << " " << slot.fx;
    return text.str();
}

// Seven pictures running on one 1280x1024 monitor; slots 7 to 9 empty, resting at (1, 1).
int g_bitmaps[kSlotCount];
std::map<void*, int> g_released;
void RunOnOneMonitor()
{
    g_saver = SaverState{};
    TakeDesk(Desk{0, 0, 1280, 1024, 1});
    for (int i = 0; i < kSlotCount; ++i) {
        ImageSlot& slot = g_saver.slots[i];
        slot.x = slot.y = 1;
        if (i < 7)
            slot.bitmap = &g_bitmaps[i], slot.x = 900, slot.dx = slot.fx = 1, slot.cx = 200;
    }
}

}  // namespace

TEST(TakeDesk, TakesANonEmptyDeskWholeAndTellsEveryMeasureOfIt)
{
    const Desk desks[] = {{-800, 0, 1824, 768, 2}, {-799, 0, 1824, 768, 2},
                          {-800, 1, 1824, 768, 2}, {-800, 0, 1823, 768, 2},
                          {-800, 0, 1824, 767, 2}, {-800, 0, 1824, 768, 1},
                          {0, 0, 0, 1024, 1},      {0, 0, 1280, 0, 1},  {0, 0, -800, 600, 1}};
    for (const Desk& desk : desks) {
        RunOnOneMonitor();
        SaverState expected = g_saver;
        const bool empty = desk.width <= 0 || desk.height <= 0;
        if (!empty) {
            expected.deskLeft = desk.left, expected.deskTop = desk.top;
            expected.screenWidth = desk.width, expected.screenHeight = desk.height;
            expected.monitorCount = desk.monitors;
        }
        EXPECT_EQ(!empty, TakeDesk(desk));
        EXPECT_EQ(Describe(expected), Describe(g_saver)) << desk.width << "x" << desk.height;
        // After the first desk, each of its measures changed alone makes a new one.
        TakeDesk(desks[0]);
        EXPECT_EQ(&desk != desks, IsNewDesk(desk))
            << desk.left << "," << desk.top << " " << desk.width << "x" << desk.height << " on "
            << desk.monitors;
    }
}

TEST(ClearForNewDesk, ReleasesEachBitmapOnceClearsEverySlotAndLaysOutOnceTheDeskIsStill)
{
    RunOnOneMonitor();
    SaverState expected = g_saver;
    for (ImageSlot& slot : expected.slots)
        slot = ImageSlot{};
    expected.layoutOwed = 1;
    expected.deskChangedAt = 0xFFFFFF00u;   // the millisecond count wraps within the wait
    ClearForNewDesk(0xFFFFFF00u, [](void* bitmap) { ++g_released[bitmap]; });
    EXPECT_EQ(Describe(expected), Describe(g_saver));
    for (int i = 0; i < kSlotCount; ++i)
        EXPECT_EQ(i < 7, g_released[&g_bitmaps[i]]) << "releases of slot " << i << "'s bitmap";

    // A second change in the burst restarts the wait; the layout comes once, 250 ms after it.
    ClearForNewDesk(0xFFFFFFF0u, [](void*) {});
    const struct {
        unsigned now;
        bool due;
    } ticks[] = {{0xFFFFFF00u + 250, false}, {0xE9, false}, {0xEA, true}, {0xEB, false}};
    for (const auto& tick : ticks)
        EXPECT_EQ(tick.due, TakeDueLayout(tick.now)) << "at " << tick.now;
}
