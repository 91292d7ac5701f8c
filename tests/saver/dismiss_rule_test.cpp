// How far the mouse may move from where it stood before the display ends.
#include "saver/dismiss_rule.h"

#include <gtest/gtest.h>

TEST(IsDismissingMove, TwentyPixelsKeepTheDisplayAndTwentyOneEndItOnEitherAxis)
{
    const struct {
        int dx, dy;
        bool ends;
    } rows[] = {
        {20, 0, false}, {-20, 0, false}, {0, 20, false}, {0, -20, false}, {20, -20, false},
        {21, 0, true},  {-21, 0, true},  {0, 21, true},  {0, -21, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.ends, IsDismissingMove(400, 300, 400 + row.dx, 300 + row.dy))
            << "moved " << row.dx << "," << row.dy;
    }
}
