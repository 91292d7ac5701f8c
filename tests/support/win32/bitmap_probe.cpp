// Bitmap queries through GDI: the object description and a memory DC for single pixels.
#include "bitmap_probe.h"

#include <windows.h>

BitmapSize SizeOfBitmap(void* bitmap)
{
    BITMAP description = {};
    if (GetObjectType(static_cast<HGDIOBJ>(bitmap)) != OBJ_BITMAP
        || GetObjectA(static_cast<HBITMAP>(bitmap), sizeof description, &description) == 0)
        return BitmapSize{-1, -1};
    return BitmapSize{description.bmWidth, description.bmHeight};
}

bool IsLiveBitmap(void* bitmap)
{
    return bitmap != nullptr && GetObjectType(static_cast<HGDIOBJ>(bitmap)) == OBJ_BITMAP;
}

std::vector<Rgb> ReadBitmapPixels(void* bitmap, const std::vector<PixelAt>& points)
{
    std::vector<Rgb> colours;
    HDC memory = CreateCompatibleDC(nullptr);
    if (memory == nullptr)
        return colours;
    HGDIOBJ previous = SelectObject(memory, static_cast<HBITMAP>(bitmap));
    if (previous != nullptr && previous != HGDI_ERROR) {
        for (const PixelAt& point : points) {
            const COLORREF colour = GetPixel(memory, point.x, point.y);
            colours.push_back(Rgb{GetRValue(colour), GetGValue(colour), GetBValue(colour)});
        }
        SelectObject(memory, previous);
    }
    DeleteDC(memory);
    return colours;
}

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
