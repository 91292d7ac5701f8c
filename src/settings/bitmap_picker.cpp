// Bitmap picker: the platform's file-open dialog restricted to *.bmp.
#include "settings/bitmap_picker.h"

#include <windows.h>
#include <commdlg.h>

char g_pickedPath[kPathBufferSize];

bool BrowseForBitmap()
{
    OPENFILENAMEA request = {};
    // The older, shorter form of the record; its size differs between 32- and 64-bit builds.
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = nullptr;   // no owner: the settings dialog stays enabled
    request.lpstrFilter = "Bitmap\0*.bmp\0";
    request.lpstrFile = g_pickedPath;
    request.nMaxFile = kPathBufferSize;
    request.lpstrTitle = "Select bitmap";
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    request.lpstrDefExt = "bmp";
    return GetOpenFileNameA(&request) != 0;
}
