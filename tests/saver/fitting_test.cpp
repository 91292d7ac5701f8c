// The fitting arithmetic: which pictures are shrunk, how far, and which are copied.
#include "saver/fitting.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct FitCase {
    const char* name;
    int screenWidth, screenHeight, imageCount;
    int width, height;             // the picture as loaded
    int fittedCx, fittedCy;        // expected slot size
    bool copied;                   // expected: resampled to the fitted size
};

std::ostream& operator<<(std::ostream& out, const FitCase& c)
{
    return out << c.name;
}

const FitCase kCases[] = {
    // The worked example: 800 x 600, four pictures, shares of 200 x 150, halving bound 400 x 300.
    {"example_900x700_halved_twice", 800, 600, 4, 900, 700, 225, 175, true},
    {"example_300x100_copied_at_own_size", 800, 600, 4, 300, 100, 300, 100, true},
    {"exactly_the_share_used_as_loaded", 800, 600, 4, 200, 150, 200, 150, false},
    {"one_wider_than_the_share", 800, 600, 4, 201, 150, 201, 150, true},
    {"one_taller_than_the_share", 800, 600, 4, 200, 151, 200, 151, true},
    {"small_picture_untouched", 800, 600, 4, 20, 10, 20, 10, false},
    {"empty_picture_untouched", 800, 600, 4, 0, 0, 0, 0, false},
    // Only the height exceeds; both sides are still halved together.
    {"tall_picture_halves_both_sides", 800, 600, 4, 100, 700, 25, 175, true},
    // The halving stops as soon as the picture fits the bound, equality included.
    {"halved_to_exactly_the_bound", 800, 600, 4, 1600, 1200, 400, 300, true},
    {"odd_sizes_truncate_while_halving", 800, 600, 4, 1603, 1203, 400, 300, true},
    {"odd_sizes_901x701", 800, 600, 4, 901, 701, 225, 175, true},
    // Halving a thin picture can reach zero on one side.
    {"thin_picture_reaches_zero_height", 800, 600, 4, 1601, 3, 400, 0, true},

    // One picture or none loaded: the count is 2, the bound is the whole screen.
    {"count2_exactly_half_the_screen", 800, 600, 2, 400, 300, 400, 300, false},
    {"count2_wider_than_half_fits_screen", 800, 600, 2, 401, 300, 401, 300, true},
    {"count2_halved_until_within_screen", 800, 600, 2, 801, 300, 400, 150, true},
    {"count2_whole_screen_kept_size", 800, 600, 2, 800, 600, 800, 600, true},
    {"count2_three_halvings", 800, 600, 2, 6400, 4800, 800, 600, true},
    {"count2_height_only", 800, 600, 2, 100, 1300, 25, 325, true},

    // Three pictures: h = 1, so only the whole screen bounds the halving.
    {"count3_exceeds_share_not_screen", 800, 600, 3, 267, 200, 267, 200, true},
    {"count3_share_truncated_266x200", 800, 600, 3, 266, 200, 266, 200, false},
    {"count3_halved_once_to_fit_screen", 800, 600, 3, 900, 700, 450, 350, true},
    {"count3_1000x700_share_truncated_333", 1000, 700, 3, 333, 233, 333, 233, false},
    {"count3_1000x700_one_more", 1000, 700, 3, 334, 233, 334, 233, true},

    // Odd counts halve the count with truncation: 5 gives 2, 7 gives 3.
    {"count5_share_160x120_bound_400x300", 800, 600, 5, 500, 100, 250, 50, true},
    {"count5_exact_share", 800, 600, 5, 160, 120, 160, 120, false},
    {"count7_bound_266x200", 800, 600, 7, 540, 100, 135, 25, true},
    {"count7_share_truncated_114x85", 800, 600, 7, 114, 85, 114, 85, false},
    {"count7_one_over_truncated_share", 800, 600, 7, 115, 85, 115, 85, true},

    // Ten pictures on 1280 x 1024: shares of 128 x 102, bound 256 x 204.
    {"count10_700x500", 1280, 1024, 10, 700, 500, 175, 125, true},
    {"count10_exact_share", 1280, 1024, 10, 128, 102, 128, 102, false},
    {"count10_share_height_truncated", 1280, 1024, 10, 128, 103, 128, 103, true},
    {"count10_256x204_at_bound", 1280, 1024, 10, 256, 204, 256, 204, true},
    {"count10_257x204_halved", 1280, 1024, 10, 257, 204, 128, 102, true},

    // Counts the loader never produces still divide safely.
    {"count1_treated_as_whole_screen", 800, 600, 1, 900, 700, 450, 350, true},
    {"count0_treated_as_one", 800, 600, 0, 900, 700, 450, 350, true},
    {"count0_fits", 800, 600, 0, 800, 600, 800, 600, false},

    // A screen reported with a negative size: nothing fits, halving ends at 0 x 0.
    {"negative_screen_width_ends_at_zero", -800, 600, 2, 100, 100, 0, 0, true},
    {"negative_screen_both_ends_at_zero", -800, -600, 4, 37, 5, 0, 0, true},
    // A zero-sized screen likewise.
    {"zero_screen", 0, 0, 2, 3, 9, 0, 0, true},
};

class FitImageSizeCases : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitImageSizeCases, GivesTheFittedSizeAndCopyDecision)
{
    const FitCase& c = GetParam();
    const FittedSize got =
        FitImageSize(c.width, c.height, c.screenWidth, c.screenHeight, c.imageCount);
    EXPECT_EQ(c.fittedCx, got.cx) << "cx: got " << got.cx << ", expected " << c.fittedCx;
    EXPECT_EQ(c.fittedCy, got.cy) << "cy: got " << got.cy << ", expected " << c.fittedCy;
    EXPECT_EQ(c.copied, got.needsCopy)
        << "copy: got " << got.needsCopy << ", expected " << c.copied;
}

INSTANTIATE_TEST_SUITE_P(Fitting, FitImageSizeCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FitCase>& info) {
                             return std::string(info.param.name);
                         });

// Every fitted picture that was shrunk ends within the halving bound, and halving never grows
// a side, across a sweep of sizes and counts.
TEST(FitImageSize, ShrunkPicturesEndWithinTheBoundAndNeverGrow)
{
    const int screenWidth = 1280;
    const int screenHeight = 1024;
    for (int count = 2; count <= 10; ++count) {
        const int half = count / 2;
        for (int width = 0; width <= 3000; width += 37) {
            for (int height = 0; height <= 3000; height += 41) {
                const FittedSize got =
                    FitImageSize(width, height, screenWidth, screenHeight, count);
                const bool withinShare =
                    width <= screenWidth / count && height <= screenHeight / count;
                ASSERT_EQ(!withinShare, got.needsCopy)
                    << width << "x" << height << " count " << count;
                ASSERT_LE(got.cx, width) << width << "x" << height << " count " << count;
                ASSERT_LE(got.cy, height) << width << "x" << height << " count " << count;
                ASSERT_LE(got.cx, screenWidth / half) << width << "x" << height;
                ASSERT_LE(got.cy, screenHeight / half) << width << "x" << height;
            }
        }
    }
}

}  // namespace
