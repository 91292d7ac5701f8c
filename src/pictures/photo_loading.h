// Photos and every other picture the bitmap loader refuses, decoded by the Windows Imaging
// Component straight to their fitted size.
#pragma once

#include "pictures/image_loading.h"

// Opens a file that the bitmap loader refused when its header names a kind the imaging component
// decodes and a size within kMaxPhotoPixels. Returns the open file (an IStream, which the picture
// keeps as its photo until FitPhoto), or null: the file is then left out like a missing one.
void* OpenPhoto(const char* path);

// Decodes the picture's photo, its first frame turned upright, to exactly its fitted size on a
// screen shared by imageCount pictures, and closes the file. Returns false, with the picture left
// empty, when it cannot be decoded.
bool FitPhoto(Picture& picture, int screenWidth, int screenHeight, int imageCount);

// Loads COM's library for decoding photos, once; the display's thread calls it before any worker
// decodes one, so that a display of bitmaps alone never loads it.
void LoadPhotoDecoding();

// Starts COM on the calling thread, which will decode photos; returns whether it is to be ended.
bool StartPhotoDecoding();

// Ends COM on the calling thread if StartPhotoDecoding started it there.
void EndPhotoDecoding(bool started);
