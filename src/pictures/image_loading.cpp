// Bitmap loading and resampling around the fitting arithmetic of fitting.cpp.
#include "saver/image_loading.h"

#include "saver/fitting.h"
#include "saver/photo_loading.h"
#include "saver/saver_state.h"
#include "settings/image_store.h"

#include <windows.h>

void LoadImageSet()
{
    int loaded = 0;
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        // Only a value that cannot be read falls back; a stored path that fails stays empty.
        char fallbackPath[kPathBufferSize];
        const char* path = g_pathBuffer;
        if (ReadImageSetting(picture) != ERROR_SUCCESS) {
            FormatDefaultImagePath(picture, fallbackPath, sizeof fallbackPath);
            path = fallbackPath;
        }
        ImageSlot& slot = g_saver.slots[picture - 1];
        slot.bitmap = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_VGACOLOR);
        // Only what the bitmap loader refuses goes to the imaging component, once fitted.
        slot.photo = slot.bitmap == nullptr ? OpenPhoto(path) : nullptr;
        if (slot.bitmap != nullptr || slot.photo != nullptr)
            ++loaded;
    }
    g_saver.imageCount = loaded < 2 ? 2 : loaded;
}

bool FitImage(int i)
{
    ImageSlot& slot = g_saver.slots[i];
    if (slot.photo != nullptr)
        return FitPhoto(slot);
    HBITMAP original = static_cast<HBITMAP>(slot.bitmap);
    BITMAP description = {};
    GetObjectA(original, sizeof description, &description);

    const FittedSize fitted = FitImageSize(description.bmWidth, description.bmHeight,
                                           g_saver.screenWidth, g_saver.screenHeight,
                                           g_saver.imageCount);
    slot.cx = fitted.cx;
    slot.cy = fitted.cy;
    if (!fitted.needsCopy)
        return true;

    // LR_COPYDELETEORG deletes the original only when the copy succeeds.
    HANDLE copy = CopyImage(original, IMAGE_BITMAP, fitted.cx, fitted.cy, LR_COPYDELETEORG);
    if (copy == nullptr)
        DeleteObject(original);
    slot.bitmap = copy;
    return true;
}

void ReleaseBitmap(void* bitmap)
{
    DeleteObject(static_cast<HBITMAP>(bitmap));
}

void DeleteSlotBitmaps()
{
    for (ImageSlot& slot : g_saver.slots) {
        if (slot.bitmap != nullptr) {
            ReleaseBitmap(slot.bitmap);
            slot.bitmap = nullptr;
        }
    }
}
