// Loads the chosen bitmaps into the slots and shrinks them to their share of the screen.
#pragma once

// Loads File1..File10 (or the fallback path of a value that cannot be read) into the slots of
// g_saver and sets the image count, never below 2.
void LoadImageSet();

// Sets cx, cy of slot i (which has a bitmap) and replaces an oversized bitmap by a resampled
// copy of exactly cx x cy pixels. If no copy can be made the slot is left without a bitmap.
void FitImage(int i);

// Deletes one slot's bitmap (an HBITMAP).
void ReleaseBitmap(void* bitmap);

// Deletes every slot's bitmap and clears the slot's handle.
void DeleteSlotBitmaps();
