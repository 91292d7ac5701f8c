// Turning a picture stored sideways or mirrored upright, as its EXIF orientation says.
#pragma once

#include <cstdint>

struct PictureSize {
    int width, height;
};

// The size of a picture stored width x height once it stands upright: orientations 5 to 8 are
// quarter turns, which swap the sides. Applied to an upright size it gives the stored one back.
PictureSize UprightSize(int width, int height, int orientation);

// Copies the pixels of a picture stored width x height, rows top down, into `upright`, turned
// and mirrored as EXIF orientation 1..8 says (any other value copies them as they are).
void CopyUpright(const std::uint32_t* stored, int width, int height, int orientation,
                 std::uint32_t* upright);
