// The motion step: unit moves, edge rebounds with clamps, touch rebounds and the empty slots.
#include "saver/motion.h"
#include "saver/saver_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Motion {
    int x, y, dx, dy;
};

std::string Describe(const Motion& m)
{
    return "(" + std::to_string(m.x) + ", " + std::to_string(m.y) + ") moving "
        + std::to_string(m.dx) + ", " + std::to_string(m.dy);
}

Motion MotionOf(int slot)
{
    const ImageSlot& s = g_saver.slots[slot];
    return Motion{s.x, s.y, s.dx, s.dy};
}

class MotionStep : public ::testing::Test {
protected:
    // Empty slots are left at zero, as a fresh start leaves them.
    void SetUp() override
    {
        g_saver = SaverState{};
        g_saver.screenWidth = kWidth;
        g_saver.screenHeight = kHeight;
    }

    static void Put(int slot, int cx, int cy, const Motion& m)
    {
        ImageSlot& s = g_saver.slots[slot];
        s.bitmap = &s;   // any non-null handle
        s.cx = cx;
        s.cy = cy;
        s.x = m.x;
        s.y = m.y;
        s.dx = m.dx;
        s.dy = m.dy;
    }

    // The state empty slots reach after the first step and then keep.
    static void EmptySlotsAtRest()
    {
        for (ImageSlot& s : g_saver.slots) {
            if (s.bitmap == nullptr)
                s.x = s.y = 1;
        }
    }
};

TEST_F(MotionStep, APictureAwayFromEverythingMovesOnePixelOnEachAxis)
{
    const Motion starts[] = {{200, 150, 1, 1}, {200, 150, -1, 1}, {200, 150, 1, -1},
                             {200, 150, -1, -1}};
    for (const Motion& start : starts) {
        SetUp();
        Put(3, 50, 40, start);
        StepImages();
        const Motion expected{start.x + start.dx, start.y + start.dy, start.dx, start.dy};
        EXPECT_EQ(Describe(expected), Describe(MotionOf(3))) << "from " << Describe(start);
    }
}

struct EdgeCase {
    const char* edge;
    Motion start, afterOne, afterTwo;
};

// A 50 x 40 picture: it may stand at x = 1 .. W - 50 and y = 1 .. H - 40.
TEST_F(MotionStep, AtAnEdgeAPictureIsReversedAndClampedBackThenLeaves)
{
    const int right = kWidth - 50;
    const int bottom = kHeight - 40;
    const EdgeCase cases[] = {
        {"left", {1, 200, -1, 1}, {1, 201, 1, 1}, {2, 202, 1, 1}},
        {"left, arriving", {2, 200, -1, 1}, {1, 201, -1, 1}, {1, 202, 1, 1}},
        {"right", {right, 200, 1, 1}, {right, 201, -1, 1}, {right - 1, 202, -1, 1}},
        {"right, arriving", {right - 1, 200, 1, 1}, {right, 201, 1, 1}, {right, 202, -1, 1}},
        {"top", {200, 1, 1, -1}, {201, 1, 1, 1}, {202, 2, 1, 1}},
        {"top, arriving", {200, 2, 1, -1}, {201, 1, 1, -1}, {202, 1, 1, 1}},
        {"bottom", {200, bottom, 1, 1}, {201, bottom, 1, -1}, {202, bottom - 1, 1, -1}},
        {"bottom, arriving", {200, bottom - 1, 1, 1}, {201, bottom, 1, 1}, {202, bottom, 1, -1}},
        {"bottom-right corner", {right, bottom, 1, 1}, {right, bottom, -1, -1},
         {right - 1, bottom - 1, -1, -1}},
    };
    for (const EdgeCase& c : cases) {
        SetUp();
        Put(0, 50, 40, c.start);
        StepImages();
        EXPECT_EQ(Describe(c.afterOne), Describe(MotionOf(0))) << c.edge << ", first step";
        StepImages();
        EXPECT_EQ(Describe(c.afterTwo), Describe(MotionOf(0))) << c.edge << ", second step";
    }
}

struct ApproachCase {
    int gap;          // a's left edge minus b's right edge after the move; negative: overlap
    int rowOffset;    // a's top minus b's top
    bool reversed;
};

// b moves right towards a, which moves left; both also move down, keeping their rows apart.
TEST_F(MotionStep, HeadOnHorizontalApproachReversesBothWithinTwoPixels)
{
    const ApproachCase cases[] = {
        {-3, 0, false}, {-2, 0, true}, {-1, 0, true}, {0, 0, true},
        {1, 0, true},   {2, 0, true},  {3, 0, false},
        // a's top anywhere within b's span, bottom edge line included; an overlap is only seen
        // from b's side, whose top is then outside a's span
        {1, 39, true},  {1, 40, true}, {1, 41, false}, {-1, 39, false},
        // a's top above b's: only the pair (b, a) can see it, so only from the line inwards
        {-3, -1, false}, {-2, -1, true}, {0, -1, true}, {1, -1, false}, {2, -1, false},
    };
    for (const ApproachCase& c : cases) {
        SetUp();
        // b is 50 x 40 at x 100 -> 101 (right edge 151); a is 60 x 30 at 152 + gap -> 151 + gap.
        Put(4, 50, 40, {100, 200, 1, 1});
        Put(6, 60, 30, {152 + c.gap, 200 + c.rowOffset, -1, 1});
        StepImages();
        const int expectedB = c.reversed ? -1 : 1;
        const std::string which =
            "gap " + std::to_string(c.gap) + ", row offset " + std::to_string(c.rowOffset);
        EXPECT_EQ(expectedB, g_saver.slots[4].dx) << which << ": b";
        EXPECT_EQ(-expectedB, g_saver.slots[6].dx) << which << ": a";
        EXPECT_EQ(1, g_saver.slots[4].dy) << which << ": b reversed vertically";
        EXPECT_EQ(1, g_saver.slots[6].dy) << which << ": a reversed vertically";
    }
}

struct VerticalApproachCase {
    int gap;            // a's top minus b's bottom edge after the move; negative: overlap
    int columnOffset;   // a's left minus b's left
    int width;          // a's width
    bool reversed;
};

// b moves down towards a, which moves up; both also move right.
TEST_F(MotionStep, HeadOnVerticalApproachReversesBothWithinTwoPixels)
{
    const VerticalApproachCase cases[] = {
        // a's left within b's span: the pair (a, b) sees a's top at b's bottom
        {0, 10, 30, true}, {1, 10, 30, true}, {2, 10, 30, true}, {3, 10, 30, false},
        {-1, 10, 30, false},
        // b's left within a's span only: the pair (b, a) sees b's bottom at a's top
        {-3, -10, 80, false}, {-2, -10, 80, true}, {-1, -10, 80, true}, {0, -10, 80, true},
        {1, -10, 80, false},
    };
    for (const VerticalApproachCase& c : cases) {
        SetUp();
        // b is 50 x 40 at y 100 -> 101 (bottom edge 141); a below it moves up to 141 + gap.
        Put(2, 50, 40, {300, 100, 1, 1});
        Put(8, c.width, 30, {300 + c.columnOffset, 142 + c.gap, 1, -1});
        StepImages();
        const std::string which =
            "gap " + std::to_string(c.gap) + ", column offset " + std::to_string(c.columnOffset);
        EXPECT_EQ(c.reversed ? -1 : 1, g_saver.slots[2].dy) << which << ": b";
        EXPECT_EQ(c.reversed ? 1 : -1, g_saver.slots[8].dy) << which << ": a";
        EXPECT_EQ(1, g_saver.slots[2].dx) << which << ": b reversed horizontally";
        EXPECT_EQ(1, g_saver.slots[8].dx) << which << ": a reversed horizontally";
    }
}

struct OverlapCase {
    const char* layout;
    Motion big, small;
};

// Overlap alone is no touch: only edges within 2 pixels of the facing edge lines are.
TEST_F(MotionStep, OverlappingPicturesWithEveryEdgeFarFromTheOthersDoNotReverse)
{
    const OverlapCase cases[] = {
        {"small one inside the big one", {100, 100, 1, 1}, {150, 150, -1, -1}},
        {"small one over the big one's bottom-right corner", {100, 100, 1, -1},
         {280, 220, -1, 1}},
        {"small one over the big one's top-left corner", {100, 100, -1, 1}, {80, 70, 1, 1}},
    };
    for (const OverlapCase& c : cases) {
        SetUp();
        Put(1, 200, 150, c.big);
        Put(5, 50, 60, c.small);
        StepImages();
        const Motion big{c.big.x + c.big.dx, c.big.y + c.big.dy, c.big.dx, c.big.dy};
        const Motion small{c.small.x + c.small.dx, c.small.y + c.small.dy, c.small.dx,
                           c.small.dy};
        EXPECT_EQ(Describe(big), Describe(MotionOf(1))) << c.layout;
        EXPECT_EQ(Describe(small), Describe(MotionOf(5))) << c.layout;
    }
}

// The edge reversal and the touch reversal each flip the sign: together they cancel.
TEST_F(MotionStep, AnEdgeAndATouchInTheSameTickCancel)
{
    // a at the left edge moving left, its right edge 1 pixel from b, which also moves left.
    Put(0, 50, 40, {1, 200, -1, 1});
    Put(1, 50, 40, {53, 200, -1, 1});
    StepImages();
    EXPECT_EQ(Describe({1, 201, -1, 1}), Describe(MotionOf(0))) << "a: edge and touch";
    EXPECT_EQ(Describe({52, 201, 1, 1}), Describe(MotionOf(1))) << "b: touch only";

    // The same at the bottom edge, with b right above a and moving down.
    SetUp();
    const int bottom = kHeight - 40;
    Put(2, 50, 40, {300, bottom, 1, 1});
    Put(3, 50, 40, {300, bottom - 42, 1, 1});
    StepImages();
    EXPECT_EQ(Describe({301, bottom, 1, 1}), Describe(MotionOf(2))) << "a: edge and touch";
    EXPECT_EQ(Describe({301, bottom - 41, 1, -1}), Describe(MotionOf(3))) << "b: touch only";
}

// Set, not toggled: a picture touched on one axis by two others turns once.
TEST_F(MotionStep, SeveralTouchesOnOneAxisReverseOnce)
{
    Put(0, 50, 40, {100, 200, 1, 1});    // left neighbour, right edge 151 after the move
    Put(1, 50, 40, {151, 200, -1, 1});   // in the middle: 150 .. 200 after the move
    Put(2, 50, 40, {200, 200, -1, 1});   // right neighbour, at 199 after the move
    StepImages();
    EXPECT_EQ(-1, g_saver.slots[0].dx);
    EXPECT_EQ(1, g_saver.slots[1].dx);
    EXPECT_EQ(1, g_saver.slots[2].dx);
}

TEST_F(MotionStep, MarksLeftFromAnEarlierStepAreCleared)
{
    Put(7, 50, 40, {200, 150, 1, 1});
    g_saver.slots[7].fx = 1;
    g_saver.slots[7].fy = 1;
    StepImages();
    EXPECT_EQ(Describe({201, 151, 1, 1}), Describe(MotionOf(7)));
}

TEST_F(MotionStep, EmptySlotsMoveOnceToOneOneAndStayThere)
{
    for (int step = 1; step <= 3; ++step) {
        StepImages();
        for (int k = 0; k < kSlotCount; ++k) {
            const ImageSlot& s = g_saver.slots[k];
            EXPECT_EQ(Describe({1, 1, 0, 0}), Describe(MotionOf(k)))
                << "slot " << k << " after step " << step;
            EXPECT_EQ(0, s.cx) << "slot " << k;
            EXPECT_EQ(0, s.cy) << "slot " << k;
        }
    }
}

// The resting empty slots are zero-size rectangles at (1, 1) that take part in the touch tests:
// a picture arriving diagonally in the top-left corner is knocked about there before it leaves.
TEST_F(MotionStep, EmptySlotsAtRestJitterAPictureArrivingInTheTopLeftCorner)
{
    Put(0, 50, 40, {4, 4, -1, -1});
    EmptySlotsAtRest();
    const Motion expected[] = {
        {3, 3, -1, -1},
        {2, 2, -1, -1},
        {1, 1, 1, -1},    // x at 1 with y = 1: reversed horizontally, not vertically
        {2, 1, -1, 1},    // top edge; x in 1..3 with y = 1: reversed horizontally again
        {1, 2, -1, -1},   // x = 1 with y in 1..3: reversed vertically
        {1, 1, -1, -1},   // left edge and touch cancel
        {1, 1, -1, 1},    // both edges; the touch cancels the horizontal one
        {1, 2, 1, -1},    // left edge; touched vertically
        {2, 1, -1, -1},
        {1, 1, 1, 1},     // top edge; touched horizontally
        {2, 2, 1, 1},     // free
        {3, 3, 1, 1},
    };
    int step = 0;
    for (const Motion& m : expected) {
        StepImages();
        ++step;
        ASSERT_EQ(Describe(m), Describe(MotionOf(0))) << "after step " << step;
    }
}

TEST_F(MotionStep, WithoutTheEmptySlotsTheSameArrivalJustBounces)
{
    // The same arrival with all ten slots holding far-away pictures: no jitter, one bounce.
    Put(0, 50, 40, {4, 4, -1, -1});
    for (int k = 1; k < kSlotCount; ++k)
        Put(k, 10, 10, {300 + 20 * k, 300, 1, 1});
    const Motion expected[] = {{3, 3, -1, -1}, {2, 2, -1, -1}, {1, 1, -1, -1}, {1, 1, 1, 1},
                               {2, 2, 1, 1}};
    int step = 0;
    for (const Motion& m : expected) {
        StepImages();
        ++step;
        ASSERT_EQ(Describe(m), Describe(MotionOf(0))) << "after step " << step;
    }
}

}  // namespace
