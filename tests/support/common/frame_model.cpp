// Pixel model of the frame painting, for native replays and for comparison with real GDI output.
#include "frame_model.h"

#include "saver/frame_geometry.h"

#include <algorithm>

ModelScreen::ModelScreen(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, 0)
{
}

void ModelScreen::Put(int column, int row, ModelColour colour)
{
    ModelColour& pixel = pixels_[row * width_ + column];
    nonBlackCount_ += (colour != 0) - (pixel != 0);
    pixel = colour;
}

void ModelScreen::FillBlack(int left, int top, int width, int height)
{
    const int right = std::min(left + width, width_);
    const int bottom = std::min(top + height, height_);
    for (int row = std::max(top, 0); row < bottom; ++row) {
        for (int column = std::max(left, 0); column < right; ++column)
            Put(column, row, 0);
    }
}

void ModelScreen::Copy(const ModelPicture& picture, int left, int top, int width, int height)
{
    // A slot's bitmap always has the slot's size; never read beyond the picture if not.
    const int right = std::min({left + width, left + picture.width, width_});
    const int bottom = std::min({top + height, top + picture.height, height_});
    for (int row = std::max(top, 0); row < bottom; ++row) {
        for (int column = std::max(left, 0); column < right; ++column)
            Put(column, row, picture.At(column - left, row - top));
    }
}

void PaintModelFrame(ModelScreen& screen, const ImageSlot (&slots)[kSlotCount],
                     const ModelPictures& pictures)
{
    for (int k = 0; k < kSlotCount; ++k) {
        if (slots[k].bitmap == nullptr || pictures[k] == nullptr)
            continue;
        const FrameBlits blits = ComputeFrameBlits(slots[k]);
        for (const BlitRect& bar : blits.bars)
            screen.FillBlack(bar.left, bar.top, bar.width, bar.height);
        const BlitRect& copy = blits.picture;
        screen.Copy(*pictures[k], copy.left, copy.top, copy.width, copy.height);
    }
}

ModelPicture PatternedPicture(int slot, int width, int height)
{
    ModelPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.reserve(static_cast<std::size_t>(width) * height);
    // Red tells the slot apart (never 0, so never black); green and blue count columns and rows.
    const ModelColour red = static_cast<ModelColour>(0x20 + 0x18 * slot) << 16;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const ModelColour green = static_cast<ModelColour>(column & 0xff) << 8;
            const ModelColour blue = static_cast<ModelColour>(row & 0xff);
            picture.pixels.push_back(red | green | blue);
        }
    }
    return picture;
}
