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

// Loads File1..File10 (or the fallback path of a value that cannot be read) into pictures[0..9],
// a bitmap as it is and any other picture as a photo to decode once fitted. Returns the image
// count: the pictures loaded, never below 2.
int LoadImageSet(Picture pictures[]);

// Fits each loaded picture to its share of a screen shared by imageCount pictures.
void FitImageSet(Picture pictures[], int screenWidth, int screenHeight, int imageCount);

// Sets the picture's cx, cy and gives it a bitmap of exactly that size: an oversized bitmap is
// replaced by a resampled copy, a photo is decoded. If no copy can be made the picture keeps no
// bitmap. Returns false for a photo that cannot be decoded, which leaves the picture empty.
bool FitImage(Picture& picture, int screenWidth, int screenHeight, int imageCount);

// Deletes one picture's bitmap (an HBITMAP).
void ReleaseBitmap(void* bitmap);
