// How far a picture is shrunk for its share of the screen.
#include "pictures/fitting.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(FitImageSize, ShrinksOnlyBeyondTheShareAndOnlyUntilHalfTheCountFits)
{
    const struct {
        int cx, cy, width, height, count;
        FittedSize expected;
    } rows[] = {
        {900, 700, 800, 600, 4, {225, 175, true}},     // beyond 200x150, halved to fit 400x300
        {300, 100, 800, 600, 4, {300, 100, true}},     // beyond its share, copied at its own size
        {200, 150, 800, 600, 4, {200, 150, false}},    // exactly its share: used as loaded
        {500, 100, 800, 600, 2, {500, 100, true}},     // one or two pictures: fit the whole screen
        {1700, 100, 800, 600, 3, {425, 25, true}},     // three: half the count is one
        {800, 600, 800, 600, 4, {400, 300, true}},     // halved once, to exactly 400x300
    };
    for (const auto& row : rows) {
        const FittedSize got = FitImageSize(row.cx, row.cy, row.width, row.height, row.count);
        EXPECT_EQ(std::make_tuple(row.expected.cx, row.expected.cy, row.expected.needsCopy),
                  std::make_tuple(got.cx, got.cy, got.needsCopy))
            << row.cx << "x" << row.cy << " on " << row.width << "x" << row.height << " / "
            << row.count;
    }
}
