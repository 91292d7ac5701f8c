// Where the four black bars and the picture copy of one slot land, for every direction of motion.
#include "saver/frame_geometry.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <utility>

// Internal linkage: found by argument-dependent lookup, private to this file.
static bool operator==(const BlitRect& a, const BlitRect& b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

static std::ostream& operator<<(std::ostream& out, const BlitRect& r)
{
    return out << "{" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << "}";
}

namespace {

ImageSlot Picture(int x, int y, int dx, int dy, int cx, int cy)
{
    ImageSlot slot{};
    slot.x = x;
    slot.y = y;
    slot.dx = dx;
    slot.dy = dy;
    slot.cx = cx;
    slot.cy = cy;
    return slot;
}

struct GeometryCase {
    int dx, dy;
    BlitRect left, top, right, bottom;
};

TEST(FrameGeometry, BarsFrameThePlaceOneStepBackAndThePictureIsCopiedWhereItIs)
{
    // A 40 x 30 picture now at (100, 60); it came from (100 - dx, 60 - dy).
    const GeometryCase cases[] = {
        {+1, +1, {98, 58, 3, 32}, {98, 58, 42, 3}, {138, 58, 3, 32}, {98, 88, 42, 3}},
        {-1, +1, {100, 58, 3, 32}, {100, 58, 42, 3}, {140, 58, 3, 32}, {100, 88, 42, 3}},
        {+1, -1, {98, 60, 3, 32}, {98, 60, 42, 3}, {138, 60, 3, 32}, {98, 90, 42, 3}},
        {-1, -1, {100, 60, 3, 32}, {100, 60, 42, 3}, {140, 60, 3, 32}, {100, 90, 42, 3}},
    };
    for (const GeometryCase& c : cases) {
        const FrameBlits blits = ComputeFrameBlits(Picture(100, 60, c.dx, c.dy, 40, 30));
        const std::string direction =
            "dx " + std::to_string(c.dx) + ", dy " + std::to_string(c.dy);
        EXPECT_EQ(c.left, blits.bars[kLeftBar]) << direction << ": left bar";
        EXPECT_EQ(c.top, blits.bars[kTopBar]) << direction << ": top bar";
        EXPECT_EQ(c.right, blits.bars[kRightBar]) << direction << ": right bar";
        EXPECT_EQ(c.bottom, blits.bars[kBottomBar]) << direction << ": bottom bar";
        EXPECT_EQ((BlitRect{100, 60, 40, 30}), blits.picture) << direction << ": picture";
    }
}

using Pixel = std::pair<int, int>;

std::set<Pixel> PixelsOf(const BlitRect& r)
{
    std::set<Pixel> pixels;
    for (int x = r.left; x < r.left + r.width; ++x) {
        for (int y = r.top; y < r.top + r.height; ++y)
            pixels.insert({x, y});
    }
    return pixels;
}

// The whole point of the frame: after one diagonal step, every pixel the picture left is inside
// a bar. The bars reach one pixel left of and above the old place, and, since the right and
// bottom bars start on its last column and row, two pixels right of and below it: no farther.
TEST(FrameGeometry, BarsCoverEveryVacatedPixelAndReachNoFartherThanTheFrame)
{
    const int steps[][2] = {{+1, +1}, {-1, +1}, {+1, -1}, {-1, -1}};
    for (int cx = 1; cx <= 6; ++cx) {
        for (int cy = 1; cy <= 6; ++cy) {
            for (const auto& step : steps) {
                const int dx = step[0];
                const int dy = step[1];
                const FrameBlits blits = ComputeFrameBlits(Picture(20, 20, dx, dy, cx, cy));
                const BlitRect before{20 - dx, 20 - dy, cx, cy};
                const BlitRect outer{before.left - 1, before.top - 1, cx + 3, cy + 3};
                const std::set<Pixel> now = PixelsOf(blits.picture);
                const std::set<Pixel> allowed = PixelsOf(outer);
                std::set<Pixel> covered;
                for (const BlitRect& bar : blits.bars) {
                    for (const Pixel& p : PixelsOf(bar)) {
                        EXPECT_TRUE(allowed.count(p)) << cx << " x " << cy << " moving " << dx
                            << ", " << dy << ": bar pixel (" << p.first << ", " << p.second
                            << ") lies outside " << outer;
                        covered.insert(p);
                    }
                }
                for (const Pixel& p : PixelsOf(before)) {
                    if (!now.count(p)) {
                        EXPECT_TRUE(covered.count(p)) << cx << " x " << cy << " moving " << dx
                            << ", " << dy << ": vacated pixel (" << p.first << ", "
                            << p.second << ") is under no bar";
                    }
                }
            }
        }
    }
}

}  // namespace
