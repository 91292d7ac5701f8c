// Bitmap loading and resampling around the fitting arithmetic of fitting.cpp.
#include "pictures/image_loading.h"

#include "pictures/fitting.h"
#include "pictures/photo_loading.h"
#include "settings/image_store.h"

#include <windows.h>

int LoadImageSet(Picture pictures[])
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
        Picture& slot = pictures[picture - 1];
        slot = Picture{};
        slot.bitmap = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_VGACOLOR);
        // Only what the bitmap loader refuses goes to the imaging component, once fitted.
        slot.photo = slot.bitmap == nullptr ? OpenPhoto(path) : nullptr;
        if (slot.bitmap != nullptr || slot.photo != nullptr)
            ++loaded;
    }
    return loaded < 2 ? 2 : loaded;
}

bool FitImage(Picture& picture, int screenWidth, int screenHeight, int imageCount)
{
    if (picture.photo != nullptr)
        return picture.fitted = FitPhoto(picture, screenWidth, screenHeight, imageCount);
    HBITMAP original = static_cast<HBITMAP>(picture.bitmap);
    BITMAP description = {};
    GetObjectA(original, sizeof description, &description);

    const FittedSize fitted = FitImageSize(description.bmWidth, description.bmHeight, screenWidth,
                                           screenHeight, imageCount);
    picture.cx = fitted.cx;
    picture.cy = fitted.cy;
    picture.fitted = true;
    if (!fitted.needsCopy)
        return true;

    // LR_COPYDELETEORG deletes the original only when the copy succeeds.
    HANDLE copy = CopyImage(original, IMAGE_BITMAP, fitted.cx, fitted.cy, LR_COPYDELETEORG);
    if (copy == nullptr)
        DeleteObject(original);
    picture.bitmap = copy;
    return true;
}

void FitImageSet(Picture pictures[], int screenWidth, int screenHeight, int imageCount)
{
    for (int i = 0; i < kPictureCount; ++i) {
        if (pictures[i].bitmap != nullptr || pictures[i].photo != nullptr)
            FitImage(pictures[i], screenWidth, screenHeight, imageCount);
    }
}

void ReleaseBitmap(void* bitmap)
{
    DeleteObject(static_cast<HBITMAP>(bitmap));
}
