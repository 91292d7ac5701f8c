// The imaging component's side of photo loading: the file, the decoder chain and the bitmap.
#include "pictures/photo_loading.h"

#include "pictures/fitting.h"
#include "pictures/orientation.h"
#include "pictures/photo_header.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
// The imaging component's GUIDs are defined in this file rather than taken from a library.
#include <initguid.h>
#include <wincodec.h>

namespace {

// ole32 is loaded with the first photo and kept. COM runs on each thread that decodes photos.
HMODULE g_ole32;

template <typename Function>
Function FindInOle32(const char* name)
{
    // Through a generic function pointer: FARPROC's own signature is not the one called.
    using AnyFunction = void (*)();
    return g_ole32 == nullptr ? nullptr
                              : reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(
                                    GetProcAddress(g_ole32, name)));
}

bool ReadFromStream(void* file, std::uint64_t offset, void* buffer, std::uint32_t size)
{
    IStream* stream = static_cast<IStream*>(file);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    ULONG got = 0;
    return offset <= INT64_MAX && SUCCEEDED(stream->Seek(position, STREAM_SEEK_SET, nullptr))
        && SUCCEEDED(stream->Read(buffer, size, &got)) && got == size;
}

// A display of bitmaps alone never loads windowscodecs: only the first photo does.
IWICImagingFactory* CreateFactory()
{
    const auto create = FindInOle32<decltype(&CoCreateInstance)>("CoCreateInstance");
    IWICImagingFactory* factory = nullptr;
    if (create != nullptr)
        create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
               reinterpret_cast<void**>(&factory));
    return factory;
}

// Links the frame to the scaler and the converter to premultiplied BGRA, in the order each kind
// needs, and returns the last link. A JPEG has no transparency, and its decoder scales while it
// decodes when the scaler comes right after the frame; any other picture is premultiplied before
// it is averaged, so that what is transparent adds no colour to its edges.
IWICBitmapSource* LinkScalerAndConverter(IWICBitmapFrameDecode* frame, IWICBitmapScaler* scaler,
                                         IWICFormatConverter* converter, PhotoKind kind,
                                         PictureSize size)
{
    const auto scale = [&](IWICBitmapSource* from) {
        return SUCCEEDED(scaler->Initialize(from, size.width, size.height,
                                            WICBitmapInterpolationModeFant));
    };
    const auto convert = [&](IWICBitmapSource* from) {
        return SUCCEEDED(converter->Initialize(from, GUID_WICPixelFormat32bppPBGRA,
                                               WICBitmapDitherTypeNone, nullptr, 0.0,
                                               WICBitmapPaletteTypeCustom));
    };
    if (kind == PhotoKind::Jpeg) {
        if (scale(frame) && convert(scaler))
            return converter;
    } else if (convert(frame) && scale(converter)) {
        return scaler;
    }
    return nullptr;
}

// A new top-down 32-bit DIB section of the pixels, `stored` in size, turned upright.
HBITMAP UprightCopy(const std::uint32_t* pixels, PictureSize stored, int orientation)
{
    const PictureSize upright = UprightSize(stored.width, stored.height, orientation);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = upright.width;
    info.bmiHeader.biHeight = -upright.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr)
        CopyUpright(pixels, stored.width, stored.height, orientation,
                    static_cast<std::uint32_t*>(bits));
    return bitmap;
}

// The source's pixels, `stored` in size, turned upright into a new DIB section.
HBITMAP UprightBitmap(IWICBitmapSource* source, PictureSize stored, int orientation)
{
    // The process heap rather than new: nothing else here needs the C++ runtime's allocator and
    // the exception support it would link in.
    const UINT bytes = 4 * UINT(stored.width) * UINT(stored.height);
    auto* pixels = static_cast<std::uint32_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    HBITMAP bitmap = nullptr;
    if (pixels != nullptr
        && SUCCEEDED(source->CopyPixels(nullptr, 4 * stored.width, bytes,
                                        reinterpret_cast<BYTE*>(pixels))))
        bitmap = UprightCopy(pixels, stored, orientation);
    if (pixels != nullptr)
        HeapFree(GetProcessHeap(), 0, pixels);
    return bitmap;
}

// Decodes the first frame or page of `file` straight to the fitted size of the upright picture,
// which it gives `picture`. Returns the bitmap, or null.
HBITMAP DecodeFitted(IWICImagingFactory* factory, IStream* file, const PhotoHeader& header,
                     Picture& picture, int screenWidth, int screenHeight, int imageCount)
{
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapScaler* scaler = nullptr;
    IWICFormatConverter* converter = nullptr;
    HBITMAP bitmap = nullptr;
    UINT width = 0, height = 0;
    if (SUCCEEDED(factory->CreateDecoderFromStream(file, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder))
        && SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height))
        && IsDecodableSize(width, height) && SUCCEEDED(factory->CreateBitmapScaler(&scaler))
        && SUCCEEDED(factory->CreateFormatConverter(&converter))) {
        const PictureSize upright = UprightSize(int(width), int(height), header.orientation);
        const FittedSize fitted = FitImageSize(upright.width, upright.height, screenWidth,
                                               screenHeight, imageCount);
        picture.cx = fitted.cx;
        picture.cy = fitted.cy;
        const PictureSize stored = UprightSize(fitted.cx, fitted.cy, header.orientation);
        IWICBitmapSource* fittedSource =
            LinkScalerAndConverter(frame, scaler, converter, header.kind, stored);
        if (fittedSource != nullptr)
            bitmap = UprightBitmap(fittedSource, stored, header.orientation);
    }
    if (converter != nullptr)
        converter->Release();
    if (scaler != nullptr)
        scaler->Release();
    if (frame != nullptr)
        frame->Release();
    if (decoder != nullptr)
        decoder->Release();
    return bitmap;
}

}  // namespace

void* OpenPhoto(const char* path)
{
    IStream* file = nullptr;
    if (FAILED(SHCreateStreamOnFileA(path, STGM_READ | STGM_SHARE_DENY_NONE, &file)))
        return nullptr;
    const PhotoHeader header = ReadPhotoHeader(ReadFromStream, file);
    if (header.kind != PhotoKind::Unknown && IsDecodableSize(header.width, header.height))
        return file;
    file->Release();
    return nullptr;
}

bool FitPhoto(Picture& picture, int screenWidth, int screenHeight, int imageCount)
{
    IStream* file = static_cast<IStream*>(picture.photo);
    picture.photo = nullptr;
    // Read again rather than kept: a few bytes, for the kind and the orientation.
    const PhotoHeader header = ReadPhotoHeader(ReadFromStream, file);
    IWICImagingFactory* factory = CreateFactory();
    if (factory != nullptr) {
        picture.bitmap = DecodeFitted(factory, file, header, picture, screenWidth, screenHeight,
                                      imageCount);
        factory->Release();
    }
    file->Release();
    if (picture.bitmap == nullptr)
        picture = Picture{};
    return picture.bitmap != nullptr;
}

void LoadPhotoDecoding()
{
    if (g_ole32 == nullptr)
        g_ole32 = LoadLibraryA("ole32.dll");
}

bool StartPhotoDecoding()
{
    const auto startCom = FindInOle32<decltype(&CoInitializeEx)>("CoInitializeEx");
    // A worker keeps no window and pumps no messages: the multithreaded apartment. A thread that
    // already runs COM in another model keeps it, and nothing is to be ended.
    return startCom != nullptr && SUCCEEDED(startCom(nullptr, COINIT_MULTITHREADED));
}

void EndPhotoDecoding(bool started)
{
    const auto endCom = FindInOle32<decltype(&CoUninitialize)>("CoUninitialize");
    if (started && endCom != nullptr)
        endCom();
}
