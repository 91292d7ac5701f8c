// How far the pointer may stray before the display ends, in each direction alone.
#include "saver/dismiss_rule.h"

#include <gtest/gtest.h>

TEST(IsDismissingMove, TwentyOnePixelsEndInEachDirectionTwentyDoNot)
{
    const struct {
        const char* direction;
        int dx, dy;
    } rows[] = {{"right", 1, 0}, {"left", -1, 0}, {"down", 0, 1}, {"up", 0, -1}};
    for (const auto& row : rows) {
        for (const int pixels : {20, 21}) {
            EXPECT_EQ(pixels == 21, IsDismissingMove(400, 300, 400 + row.dx * pixels,
                                                     300 + row.dy * pixels))
                << pixels << " pixels " << row.direction;
        }
    }
}
