// Google Benchmark of the display's work per tick on the CPU: the motion step for ten pictures,
// and a whole tick as the window does it (the step, then every picture's frame geometry).
#include "saver/frame_geometry.h"
#include "saver/motion.h"
#include "saver/placement.h"
#include "saver/saver_state.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// Any non-null handle marks a slot as holding a picture; the arithmetic never dereferences it.
int g_pictureMarker;

// Ten 4000 x 3000 pictures fitted to a 1920 x 1080 screen (250 x 187), placed as start-up
// places them, from a fixed seed so every run measures the same motion.
void PlaceTenPictures()
{
    g_saver = SaverState{};
    g_saver.screenWidth = 1920;
    g_saver.screenHeight = 1080;
    g_saver.imageCount = kSlotCount;
    std::srand(1);
    for (int i = 0; i < kSlotCount; ++i) {
        ImageSlot& slot = g_saver.slots[i];
        slot.bitmap = &g_pictureMarker;
        slot.cx = 250;
        slot.cy = 187;
        PlaceImages(i);
    }
}

void MotionStepTenPictures(benchmark::State& state)
{
    PlaceTenPictures();
    for (auto _ : state) {
        StepImages();
        benchmark::DoNotOptimize(g_saver.slots);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(MotionStepTenPictures);

void TickTenPictures(benchmark::State& state)
{
    PlaceTenPictures();
    for (auto _ : state) {
        StepImages();
        for (const ImageSlot& slot : g_saver.slots) {
            if (slot.bitmap == nullptr)
                continue;
            FrameBlits blits = ComputeFrameBlits(slot);
            benchmark::DoNotOptimize(blits);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(TickTenPictures);

}  // namespace

BENCHMARK_MAIN();
