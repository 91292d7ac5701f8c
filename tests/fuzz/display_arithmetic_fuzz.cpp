// libFuzzer target: fitting, placement and the motion step with arbitrary picture sizes, screen
// sizes and slot states, checking the invariants the painting and the display rely on.
//
// Input ranges, chosen so that no sum the program forms can leave int:
//  - the fitting alone is driven with any non-negative picture size and any screen size,
//    negative ones included (a screen whose size cannot be read);
//  - the start-up pipeline (fit, place, then steps) uses screen sides of 0 .. 2^30: positions
//    stay within -1 .. W + 1 and fitted sizes within W, so x + cx + 2 stays below 2^31. Beyond
//    2^30 the placement's x + cx overflows; real screens stay far below 2^16 pixels a side;
//  - arbitrary slot states use positions, sizes and screen sides of magnitude up to 2^28.
#include "saver/fitting.h"
#include "saver/frame_geometry.h"
#include "saver/motion.h"
#include "saver/placement.h"
#include "saver/saver_state.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxPipelineScreenSide = 1 << 30;
constexpr int kMaxStateMagnitude = 1 << 28;
constexpr int kMaxSteps = 1000;

// Any non-null handle marks a slot as holding a picture; the arithmetic never dereferences it.
int g_pictureMarker;

// What is being checked, for the report of a broken invariant.
char g_context[160];

[[noreturn]] void Fail(const char* what, int slot, long long a, long long b)
{
    std::fprintf(stderr, "invariant broken: %s (slot %d: %lld, %lld; %s)\n", what, slot, a, b,
                 g_context);
    std::abort();
}

void Require(bool holds, const char* what, int slot = -1, long long a = 0, long long b = 0)
{
    if (!holds)
        Fail(what, slot, a, b);
}

// --- fitting ---------------------------------------------------------------------------------

// A picture within screen / n keeps its size uncopied; a larger one is halved, both sides
// together, the fewest times that make it fit screen / h (h = n / 2, at least 1), and copied.
// On a screen with a negative side nothing fits, and halving stops at 0 x 0.
void CheckFitting(int width, int height, int screenWidth, int screenHeight, int imageCount)
{
    std::snprintf(g_context, sizeof g_context, "fitting %d x %d on %d x %d, %d pictures", width,
                  height, screenWidth, screenHeight, imageCount);
    const FittedSize fitted = FitImageSize(width, height, screenWidth, screenHeight, imageCount);
    const bool withinShare =
        width <= screenWidth / imageCount && height <= screenHeight / imageCount;
    if (!fitted.needsCopy) {
        Require(withinShare, "a picture beyond its share was kept uncopied", -1, width, height);
        Require(fitted.cx == width && fitted.cy == height, "an uncopied picture changed size",
                -1, fitted.cx, fitted.cy);
        return;
    }
    Require(!withinShare, "a picture within its share was copied", -1, width, height);

    const int half = std::max(1, imageCount / 2);
    auto fits = [&](long long cx, long long cy) {
        return cx <= screenWidth / half && cy <= screenHeight / half;
    };
    int halvings = 0;
    while (halvings < 32 && ((width >> halvings) != fitted.cx || (height >> halvings) != fitted.cy))
        ++halvings;
    Require(halvings < 32, "the fitted size is not the picture halved on both sides", -1,
            fitted.cx, fitted.cy);
    Require(fits(fitted.cx, fitted.cy) || (fitted.cx == 0 && fitted.cy == 0),
            "the fitted size exceeds screen / h", -1, fitted.cx, fitted.cy);
    if (halvings > 0) {
        Require(!fits(width >> (halvings - 1), height >> (halvings - 1)),
                "the picture was halved once more than needed", -1, fitted.cx, fitted.cy);
    }
}

// --- placement and motion --------------------------------------------------------------------

bool InClosedRect(long long px, long long py, const ImageSlot& slot)
{
    return slot.x <= px && px <= static_cast<long long>(slot.x) + slot.cx && slot.y <= py
        && py <= static_cast<long long>(slot.y) + slot.cy;
}

bool CornerOnAnEarlierSlot(int i)
{
    const ImageSlot& slot = g_saver.slots[i];
    const long long right = static_cast<long long>(slot.x) + slot.cx;
    const long long bottom = static_cast<long long>(slot.y) + slot.cy;
    for (int j = 0; j < i; ++j) {
        const ImageSlot& other = g_saver.slots[j];
        if (InClosedRect(slot.x, slot.y, other) || InClosedRect(right, slot.y, other)
            || InClosedRect(slot.x, bottom, other) || InClosedRect(right, bottom, other))
            return true;
    }
    return false;
}

// Within 1 .. W - cx (and 1 .. H - cy): one pixel in from the left and top edges, and the right
// and bottom edges reached but not crossed.
void CheckOnScreen(int k, const char* what, int marginWidth, int marginHeight)
{
    const ImageSlot& slot = g_saver.slots[k];
    const int width = g_saver.screenWidth;
    const int height = g_saver.screenHeight;
    if (slot.cx < width - marginWidth)
        Require(1 <= slot.x && slot.x <= width - slot.cx, what, k, slot.x, slot.cx);
    if (slot.cy < height - marginHeight)
        Require(1 <= slot.y && slot.y <= height - slot.cy, what, k, slot.y, slot.cy);
}

void CheckPlacement(int i)
{
    const ImageSlot& slot = g_saver.slots[i];
    Require(slot.dx == 1 || slot.dx == -1, "placed without a unit horizontal velocity", i, slot.dx);
    Require(slot.dy == 1 || slot.dy == -1, "placed without a unit vertical velocity", i, slot.dy);
    // Placement keeps an extra pixel from the far edge only for pictures narrower than W - 1.
    CheckOnScreen(i, "placed off the screen", 1, 1);
    if (i > 0) {
        Require(g_saver.placementOk == (CornerOnAnEarlierSlot(i) ? 0 : 1),
                "the placement verdict disagrees with the corners", i, g_saver.placementOk);
    }
}

struct Interval {
    long long low, high;   // inclusive
};

// The four bars and the picture copy of one paint.
using PaintRects = std::array<BlitRect, kFrameBarCount + 1>;

// Whether the rectangles cover every pixel of column `column` from row `top` to row `bottom`.
bool CoversColumn(const PaintRects& rects, long long column, long long top, long long bottom)
{
    std::array<Interval, kFrameBarCount + 1> spans;
    std::size_t count = 0;
    for (const BlitRect& rect : rects) {
        if (rect.width > 0 && rect.height > 0 && rect.left <= column
            && column < static_cast<long long>(rect.left) + rect.width)
            spans[count++] = {rect.top, static_cast<long long>(rect.top) + rect.height - 1};
    }
    std::sort(spans.begin(), spans.begin() + count,
              [](const Interval& a, const Interval& b) { return a.low < b.low; });
    long long next = top;
    for (std::size_t i = 0; i < count && spans[i].low <= next; ++i)
        next = std::max(next, spans[i].high + 1);
    return next > bottom;
}

PaintRects Transposed(const PaintRects& rects)
{
    PaintRects result;
    for (std::size_t i = 0; i < rects.size(); ++i)
        result[i] = {rects[i].top, rects[i].left, rects[i].height, rects[i].width};
    return result;
}

// A drawn picture that moved by at most one pixel per axis, and was not turned back by a touch
// this tick, leaves no trail: every pixel of the screen that its old place covered and its new
// place does not lies under one of the four black bars.
void CheckNoTrail(int k, const ImageSlot& before)
{
    const ImageSlot& slot = g_saver.slots[k];
    const int moveX = slot.x - before.x;
    const int moveY = slot.y - before.y;
    if (slot.bitmap == nullptr || slot.cx <= 0 || slot.cy <= 0 || slot.fx || slot.fy
        || moveX < -1 || moveX > 1 || moveY < -1 || moveY > 1)
        return;

    const FrameBlits blits = ComputeFrameBlits(slot);
    const PaintRects cover = {blits.bars[kLeftBar], blits.bars[kTopBar], blits.bars[kRightBar],
                              blits.bars[kBottomBar], blits.picture};
    const long long width = g_saver.screenWidth;
    const long long height = g_saver.screenHeight;
    const long long oldRight = static_cast<long long>(before.x) + slot.cx - 1;
    const long long oldBottom = static_cast<long long>(before.y) + slot.cy - 1;
    // The vacated column and row, cut to the screen: pixels beyond it never show.
    const long long top = std::max<long long>(before.y, 0);
    const long long bottom = std::min(oldBottom, height - 1);
    const long long left = std::max<long long>(before.x, 0);
    const long long right = std::min(oldRight, width - 1);
    if (moveX != 0) {
        const long long column = moveX > 0 ? before.x : oldRight;
        if (0 <= column && column < width && top <= bottom) {
            Require(CoversColumn(cover, column, top, bottom), "a vacated column is left uncovered",
                    k, column, moveY);
        }
    }
    if (moveY != 0) {
        const long long row = moveY > 0 ? before.y : oldBottom;
        if (0 <= row && row < height && left <= right) {
            Require(CoversColumn(Transposed(cover), row, left, right),
                    "a vacated row is left uncovered", k, row, moveX);
        }
    }
}

// Whether a position lies within 1 .. side - size, the range a step keeps it in.
bool WithinRange(int position, int size, int side)
{
    return size < side && 1 <= position && position <= side - size;
}

void CheckStep(const SaverState& before)
{
    for (int k = 0; k < kSlotCount; ++k) {
        const ImageSlot& slot = g_saver.slots[k];
        const ImageSlot& old = before.slots[k];
        Require(std::abs(slot.dx) == std::abs(old.dx) && std::abs(slot.dy) == std::abs(old.dy),
                "a step changed a speed", k, slot.dx, slot.dy);
        Require((slot.fx == 0 || slot.fx == 1) && (slot.fy == 0 || slot.fy == 1),
                "a reverse mark is neither 0 nor 1", k, slot.fx, slot.fy);
        Require(slot.cx == old.cx && slot.cy == old.cy, "a step changed a size", k);
        CheckOnScreen(k, "a step left a picture off the screen", 0, 0);
        // Once within its range a picture moves by at most one pixel per tick on that axis.
        if (WithinRange(old.x, old.cx, g_saver.screenWidth))
            Require(std::abs(slot.x - old.x) <= 1, "a picture jumped sideways", k, old.x, slot.x);
        if (WithinRange(old.y, old.cy, g_saver.screenHeight))
            Require(std::abs(slot.y - old.y) <= 1, "a picture jumped up or down", k, old.y, slot.y);
        CheckNoTrail(k, old);
    }
}

void RunSteps(int steps)
{
    for (int step = 0; step < steps; ++step) {
        std::snprintf(g_context, sizeof g_context, "step %d on %d x %d", step + 1,
                      g_saver.screenWidth, g_saver.screenHeight);
        const SaverState before = g_saver;
        StepImages();
        CheckStep(before);
    }
}

// Start-up as the display window does it: load, then fit and place slot by slot.
void RunStartUp(FuzzedDataProvider& input)
{
    const bool smallScreen = input.ConsumeBool();
    const int maxSide = smallScreen ? 4096 : kMaxPipelineScreenSide;
    g_saver.screenWidth = input.ConsumeIntegralInRange(0, maxSide);
    g_saver.screenHeight = input.ConsumeIntegralInRange(0, maxSide);
    std::srand(input.ConsumeIntegral<unsigned>());

    int loadedSizes[kSlotCount][2];
    bool loaded[kSlotCount];
    int loadedCount = 0;
    for (int k = 0; k < kSlotCount; ++k) {
        loaded[k] = input.ConsumeBool();
        const int sizeLimit = input.ConsumeBool() ? 8192 : INT_MAX;
        loadedSizes[k][0] = input.ConsumeIntegralInRange(0, sizeLimit);
        loadedSizes[k][1] = input.ConsumeIntegralInRange(0, sizeLimit);
        loadedCount += loaded[k];
    }
    g_saver.imageCount = std::max(2, loadedCount);

    for (int k = 0; k < kSlotCount; ++k) {
        if (!loaded[k])
            continue;
        ImageSlot& slot = g_saver.slots[k];
        CheckFitting(loadedSizes[k][0], loadedSizes[k][1], g_saver.screenWidth,
                     g_saver.screenHeight, g_saver.imageCount);
        const FittedSize fitted = FitImageSize(loadedSizes[k][0], loadedSizes[k][1],
                                               g_saver.screenWidth, g_saver.screenHeight,
                                               g_saver.imageCount);
        slot.cx = fitted.cx;
        slot.cy = fitted.cy;
        // A copy that could not be made leaves the slot undrawn but still placed and moving.
        slot.bitmap = input.ConsumeBool() ? &g_pictureMarker : nullptr;
        std::snprintf(g_context, sizeof g_context, "placing %d x %d on %d x %d", slot.cx, slot.cy,
                      g_saver.screenWidth, g_saver.screenHeight);
        PlaceImages(k);
        CheckPlacement(k);
    }
    RunSteps(input.ConsumeIntegralInRange(0, kMaxSteps));
}

// Any slot state at all: pictures anywhere, off the screen or overlapping.
void RunFromArbitraryState(FuzzedDataProvider& input)
{
    g_saver.screenWidth = input.ConsumeIntegralInRange(0, kMaxStateMagnitude);
    g_saver.screenHeight = input.ConsumeIntegralInRange(0, kMaxStateMagnitude);
    for (ImageSlot& slot : g_saver.slots) {
        const bool picture = input.ConsumeBool();
        slot.x = input.ConsumeIntegralInRange(-kMaxStateMagnitude, kMaxStateMagnitude);
        slot.y = input.ConsumeIntegralInRange(-kMaxStateMagnitude, kMaxStateMagnitude);
        slot.fx = input.ConsumeIntegralInRange(0, 1);
        slot.fy = input.ConsumeIntegralInRange(0, 1);
        if (picture) {
            slot.bitmap = &g_pictureMarker;
            slot.cx = input.ConsumeIntegralInRange(0, kMaxStateMagnitude);
            slot.cy = input.ConsumeIntegralInRange(0, kMaxStateMagnitude);
            slot.dx = input.ConsumeBool() ? 1 : -1;
            slot.dy = input.ConsumeBool() ? 1 : -1;
        }
    }
    RunSteps(input.ConsumeIntegralInRange(1, kMaxSteps));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    g_saver = SaverState{};

    // The fitting on its own, over every screen size, readable or not.
    CheckFitting(input.ConsumeIntegralInRange(0, INT_MAX), input.ConsumeIntegralInRange(0, INT_MAX),
                 input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(),
                 input.ConsumeIntegralInRange(2, kSlotCount));

    if (input.ConsumeBool())
        RunStartUp(input);
    else
        RunFromArbitraryState(input);
    return 0;
}
