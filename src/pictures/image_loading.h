// Loads the chosen pictures into the slots and shrinks them to their share of the screen.
#pragma once

// Loads File1..File10 (or the fallback path of a value that cannot be read) into the slots of
// g_saver, a bitmap as it is and any other picture as a photo to decode once fitted, and sets the
// image count, never below 2.
void LoadImageSet();

// Sets cx, cy of slot i (which has a bitmap or a photo) and gives it a bitmap of exactly that
// size: an oversized bitmap is replaced by a resampled copy, a photo is decoded. If no copy can
// be made the slot is left without a bitmap. Returns false for a photo that cannot be decoded,
// which leaves the slot empty and out of the display.
bool FitImage(int i);

// Deletes one slot's bitmap (an HBITMAP).
void ReleaseBitmap(void* bitmap);

// Deletes every slot's bitmap and clears the slot's handle.
void DeleteSlotBitmaps();
