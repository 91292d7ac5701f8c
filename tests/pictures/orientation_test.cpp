// Every EXIF orientation turns a picture upright, with its sides swapped for a quarter turn.
#include "pictures/orientation.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CopyUpright, TurnsAndMirrorsAsEachOrientationSays)
{
    // Stored 3 wide and 2 high:  1 2 3
    //                            4 5 6
    const std::uint32_t stored[] = {1, 2, 3, 4, 5, 6};
    const struct {
        int orientation, width, height;
        std::vector<std::uint32_t> upright;   // rows top down
    } rows[] = {
        {1, 3, 2, {1, 2, 3, 4, 5, 6}}, {2, 3, 2, {3, 2, 1, 6, 5, 4}},
        {3, 3, 2, {6, 5, 4, 3, 2, 1}}, {4, 3, 2, {4, 5, 6, 1, 2, 3}},
        {5, 2, 3, {1, 4, 2, 5, 3, 6}}, {6, 2, 3, {4, 1, 5, 2, 6, 3}},
        {7, 2, 3, {6, 3, 5, 2, 4, 1}}, {8, 2, 3, {3, 6, 2, 5, 1, 4}},
        {0, 3, 2, {1, 2, 3, 4, 5, 6}}, {9, 3, 2, {1, 2, 3, 4, 5, 6}},
    };
    for (const auto& row : rows) {
        std::vector<std::uint32_t> upright(6);
        CopyUpright(stored, 3, 2, row.orientation, upright.data());
        const PictureSize size = UprightSize(3, 2, row.orientation);
        EXPECT_EQ(row.upright, upright) << "orientation " << row.orientation;
        EXPECT_EQ(row.width * 10 + row.height, size.width * 10 + size.height)
            << "orientation " << row.orientation;
    }
}
