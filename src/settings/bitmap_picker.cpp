// Bitmap picker: the platform's file-open dialog for pictures, loaded on first use.
#include "settings/bitmap_picker.h"

#include <windows.h>
#include <commdlg.h>   // for the record and function types only: the library is loaded on demand

#include <cstring>

char g_pickedPath[kPathBufferSize];

namespace {

using OpenFileNameFunction = decltype(&GetOpenFileNameA);

// The display never browses, so the file dialog library and everything it pulls in are loaded
// only when a browse button is first pressed, and then kept for the rest of the process.
OpenFileNameFunction FindOpenFileName()
{
    static OpenFileNameFunction found = nullptr;
    if (found != nullptr)
        return found;
    HMODULE library = LoadLibraryA("comdlg32.dll");
    if (library == nullptr)
        return nullptr;
    // Through a generic function pointer: FARPROC's own signature is not the one called.
    using AnyFunction = void (*)();
    found = reinterpret_cast<OpenFileNameFunction>(
        reinterpret_cast<AnyFunction>(GetProcAddress(library, "GetOpenFileNameA")));
    if (found == nullptr)
        FreeLibrary(library);
    return found;
}

}  // namespace

bool BrowseForBitmap()
{
    const OpenFileNameFunction openFileName = FindOpenFileName();
    if (openFileName == nullptr)
        return false;

    // The call writes into its buffer even when it fails (a chosen path too long for it leaves
    // the size it needed in the first bytes), so it gets a copy; the remembered path changes
    // only on success and the next browse still opens on the last real choice.
    char chosen[kPathBufferSize];
    std::memcpy(chosen, g_pickedPath, sizeof chosen);

    OPENFILENAMEA request = {};
    // The older, shorter form of the record; its size differs between 32- and 64-bit builds.
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = nullptr;   // no owner: the settings dialog stays enabled
    // Every kind the display shows first, then bitmaps alone as before, then anything.
    request.lpstrFilter = "Pictures\0*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.png;*.gif;*.tif;*.tiff\0"
                          "Bitmap\0*.bmp\0All files\0*.*\0";
    request.lpstrFile = chosen;
    request.nMaxFile = kPathBufferSize;
    request.lpstrTitle = "Select bitmap";
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    request.lpstrDefExt = "bmp";
    // A path too long for the buffer fails, but Wine counts the limit in characters and may
    // fill all 260 bytes with a longer UTF-8 path and no terminator: too long all the same.
    if (openFileName(&request) == 0 || std::memchr(chosen, '\0', sizeof chosen) == nullptr)
        return false;
    std::memcpy(g_pickedPath, chosen, sizeof g_pickedPath);
    return true;
}
