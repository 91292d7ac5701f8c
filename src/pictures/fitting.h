// Shrinks a picture to its share of the screen.
#pragma once

struct FittedSize {
    int cx, cy;
    bool needsCopy;   // the picture exceeded its share and must be resampled to cx x cy
};

// A picture larger than screen / imageCount on either axis is halved, both axes together, until
// it fits screen / (imageCount / 2). A picture within its share keeps its size and is not copied.
FittedSize FitImageSize(int cx, int cy, int screenWidth, int screenHeight, int imageCount);
