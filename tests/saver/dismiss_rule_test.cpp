// How far the mouse may move from where it stood before the display ends.
#include "saver/dismiss_rule.h"

#include <gtest/gtest.h>

TEST(IsDismissingMove, TwentyPixelsKeepTheDisplayAndTwentyOneEndItOnEitherAxis)
{
    const struct {
        int move;
        bool ends;
    } rows[] = {{20, false}, {-20, false}, {21, true}, {-21, true}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.ends, IsDismissingMove(400, 300, 400 + row.move, 300)) << row.move << " x";
        EXPECT_EQ(row.ends, IsDismissingMove(400, 300, 400, 300 + row.move)) << row.move << " y";
    }
    EXPECT_FALSE(IsDismissingMove(400, 300, 420, 280)) << "20 on both axes";
}
