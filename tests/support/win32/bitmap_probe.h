// Reads the real size and pixels of a bitmap handle, the way the saver's painting would see them.
#pragma once

#include "bmp_file.h"

#include <vector>

struct BitmapSize {
    int width, height;
};

struct PixelAt {
    int x, y;
};

// The size the platform reports for bitmap, or {-1, -1} when it is not a bitmap.
BitmapSize SizeOfBitmap(void* bitmap);

// True while the handle names a live bitmap object.
bool IsLiveBitmap(void* bitmap);

// The colours of the given pixels; empty when the bitmap cannot be selected into a memory DC.
std::vector<Rgb> ReadBitmapPixels(void* bitmap, const std::vector<PixelAt>& points);

// True under Wine, whose image loader differs from Windows in places the tests must know.
bool RunningUnderWine();
