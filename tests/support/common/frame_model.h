// A pixel model of the frame painting: the same blits as the GDI painting, on a plain buffer.
#pragma once

#include "saver/saver_state.h"

#include <cstdint>
#include <vector>

// Pixels are 0x00RRGGBB; 0 is black.
using ModelColour = std::uint32_t;

// A picture's pixels, row by row from the top.
struct ModelPicture {
    int width = 0;
    int height = 0;
    std::vector<ModelColour> pixels;

    ModelColour At(int column, int row) const { return pixels[row * width + column]; }
};

// A screen that starts black and knows how many of its pixels are not black, so a test can
// check a whole screen for stray pixels without scanning it.
class ModelScreen {
public:
    ModelScreen(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    ModelColour At(int column, int row) const { return pixels_[row * width_ + column]; }
    long NonBlackCount() const { return nonBlackCount_; }

    // Both clip to the screen, as a window clips its blits.
    void FillBlack(int left, int top, int width, int height);
    void Copy(const ModelPicture& picture, int left, int top, int width, int height);

private:
    void Put(int column, int row, ModelColour colour);

    int width_;
    int height_;
    std::vector<ModelColour> pixels_;
    long nonBlackCount_ = 0;
};

// Slot k's picture, or null for a slot the painting skips.
using ModelPictures = const ModelPicture* [kSlotCount];

// One paint as the display does it: for every slot with a bitmap, in index order, the four
// black bars of ComputeFrameBlits and then the copy of pictures[k] from its top-left corner.
void PaintModelFrame(ModelScreen& screen, const ImageSlot (&slots)[kSlotCount],
                     const ModelPictures& pictures);

// A picture whose every pixel differs from its neighbours (up to 256 pixels away) and from every
// other slot's pictures, and none of which is black: shifted or swapped copies show.
ModelPicture PatternedPicture(int slot, int width, int height);
