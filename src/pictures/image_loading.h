// What the ten stored paths become: pictures loaded, counted and fitted to their share of the
// screen, for whoever shows them.
#pragma once

// One picture on its way from a stored path to the screen. Whoever holds it owns its bitmap.
struct Picture {
    void* bitmap;   // an HBITMAP: as loaded, then exactly cx x cy once fitted
    void* photo;    // a file the bitmap loader refused, open from loading until fitting decodes it
    int cx, cy;     // the fitted size
    bool fitted;    // to be shown: fitted, even if its copy could not be made and it stays unseen
};

// The cores this process may run on: how many pictures load and fit at once.
int ProcessorCores();

// Loads File1..File10 (or the fallback path of a value that cannot be read) into pictures[0..9],
// a file as it is named and a folder's picture as drawn, a bitmap as it is and any other picture
// as a photo to decode once fitted; on up to `workers` threads at once. Returns the image count:
// the pictures loaded, never below 2.
int LoadImageSet(Picture pictures[], int workers);

// Fits each loaded picture to its share of a screen shared by imageCount pictures, on up to
// `workers` threads at once; a drawn photo that does not decode gives way to the next draw.
void FitImageSet(Picture pictures[], int screenWidth, int screenHeight, int imageCount,
                 int workers);

// Sets the picture's cx, cy and gives it a bitmap of exactly that size: an oversized bitmap is
// replaced by a resampled copy, a photo is decoded. If no copy can be made the picture keeps no
// bitmap. Returns false for a photo that cannot be decoded, which leaves the picture empty.
bool FitImage(Picture& picture, int screenWidth, int screenHeight, int imageCount);

// Deletes one picture's bitmap (an HBITMAP).
void ReleaseBitmap(void* bitmap);
