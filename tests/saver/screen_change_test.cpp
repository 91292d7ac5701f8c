// A new desktop while the display runs: the old layout goes, the new size is used everywhere.
#include "saver/screen_change.h"
#include "saver/saver_state.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::string Describe(const SaverState& s)
{
    std::ostringstream text;
    text << s.screenWidth << "x" << s.screenHeight << ", update " << s.updateRect.left << ","
         << s.updateRect.top << "-" << s.updateRect.right << "," << s.updateRect.bottom
         << ", erased " << s.eraseDone << ", cursor " << s.cursorOriginX << "," << s.cursorOriginY;
    for (const ImageSlot& slot : s.slots) {
        text << "; " << (slot.bitmap ? "picture" : "none") << " " << slot.x << "," << slot.y << " "
             << slot.dx << "," << slot.dy << " " << slot.cx << "x" << slot.cy << " " << slot.fx;
    }
    return text.str();
}

}  // namespace

TEST(AdoptScreen, ClearsEverySlotForTheNewSizeAndChangesNothingOnAnEmptyScreen)
{
    const struct {
        int width, height;
        bool adopted;
    } rows[] = {{800, 600, true}, {0, 1024, false}, {1280, 0, false}, {-800, 600, false}};
    for (const auto& row : rows) {
        // Seven pictures running on 1280x1024; slots 7 to 9 empty, resting at (1, 1).
        g_saver = SaverState{1280, 1024, {}, 7, {0, 0, 1280, 1024}, 1, 400, 300, 0, 0};
        for (int i = 0; i < kSlotCount; ++i) {
            g_saver.slots[i] = i < 7 ? ImageSlot{&g_saver, 900, 700, -1, 1, 300, 200, 1, 0}
                                     : ImageSlot{nullptr, 1, 1, 0, 0, 0, 0, 0, 0};
        }
        const SaverState before = g_saver, adopted = {
            row.width, row.height, {}, 7, {0, 0, row.width, row.height}, 0, 400, 300, 0, 0};
        // The bitmaps' release is the display's own; its GDI objects are counted under Windows.
        EXPECT_EQ(row.adopted, AdoptScreen(row.width, row.height, [](void*) {}));
        EXPECT_EQ(Describe(row.adopted ? adopted : before), Describe(g_saver))
            << row.width << "x" << row.height;
    }
}
