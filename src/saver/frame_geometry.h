// Where one picture's erase frame and copy land on the screen in a paint.
#pragma once

#include "saver/saver_state.h"

struct BlitRect {
    int left, top, width, height;
};

enum FrameBar { kLeftBar, kTopBar, kRightBar, kBottomBar, kFrameBarCount };

struct FrameBlits {
    BlitRect bars[kFrameBarCount];   // blackened first, in FrameBar order
    BlitRect picture;                // then the picture is copied here
};

// The bars are three pixels thick over the border of the rectangle the picture held one step
// ago under its present velocity, so every pixel a unit diagonal move vacated is covered.
FrameBlits ComputeFrameBlits(const ImageSlot& slot);
