// What stored paths become: photos of each kind at their fitted size, upright, what is transparent
// black, bad files left out, bitmaps alone never loading the imaging component; and folders, from
// which each field draws a picture of its own, within bounds, whatever the tree.
#include "pictures/image_loading.h"
#include "scratch.h"

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// Quadrant colours by letter, as stored (BGRA) and as shown over black: Red, Green, Blue,
// Yellow, a half transparent blue (h), blacK, a Transparent white, the grey (c) of WriteBitmap,
// and four greys (1 to 4) that a JPEG keeps exactly; '?' is any other.
const std::string kLetters = "RGBYhKTc1234?";
const std::uint32_t kStored[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0x800000FF,
                                 0xFF000000, 0x00FFFFFF, 0x63636363, 0xFF202020, 0xFF606060,
                                 0xFFA0A0A0, 0xFFE0E0E0};
const COLORREF kShown[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0),
                           RGB(0, 0, 128), 0, 0, RGB(99, 99, 99), RGB(32, 32, 32),
                           RGB(96, 96, 96), RGB(160, 160, 160), RGB(224, 224, 224)};

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Writes four quadrants, left to right and top down, with the encoder of `container`; a JPEG
// with an `orientation` gets it in an EXIF segment right after its start.
void WritePicture(const ComPtr<IWICImagingFactory>& factory, const std::string& path,
                  const GUID& container, const char* quadrants, int width, int height,
                  int orientation = 0)
{
    std::vector<BYTE> indices(width * height);   // of the quadrants
    std::vector<std::uint32_t> pixels(width * height);
    for (int i = 0; i < width * height; ++i) {
        indices[i] = BYTE((i / width >= height / 2) * 2 + (i % width >= width / 2));
        pixels[i] = kStored[kLetters.find(quadrants[indices[i]])];
    }
    WICColor colours[4];
    for (int quadrant = 0; quadrant < 4; ++quadrant)
        colours[quadrant] = kStored[kLetters.find(quadrants[quadrant])];
    ComPtr<IWICPalette> palette;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    // A GIF is given indexed pixels: Wine's encoder maps colours to a palette of its own.
    const bool gif = container == GUID_ContainerFormatGif;
    WICPixelFormatGUID format = gif ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat32bppBGRA;
    factory->CreatePalette(&palette);
    palette->InitializeCustom(colours, 4);
    factory->CreateBitmapFromMemory(width, height, format, (gif ? 1 : 4) * width,
                                    (gif ? 1 : 4) * width * height,
                                    gif ? indices.data() : reinterpret_cast<BYTE*>(pixels.data()),
                                    &bitmap);
    bitmap->SetPalette(palette.Get());
    factory->CreateStream(&stream);
    stream->InitializeFromFilename(std::filesystem::path(path).wstring().c_str(), GENERIC_WRITE);
    factory->CreateEncoder(container, nullptr, &encoder);
    encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    encoder->CreateNewFrame(&frame, nullptr);
    frame->Initialize(nullptr);
    frame->SetSize(width, height);
    frame->SetPixelFormat(&format);   // each encoder picks its own
    if (gif)
        frame->SetPalette(palette.Get());
    EXPECT_EQ(S_OK, frame->WriteSource(bitmap.Get(), nullptr)) << path;
    EXPECT_TRUE(SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit())) << path;
    frame.Reset(), encoder.Reset(), stream.Reset();   // the file is closed
    const std::string jpeg = orientation ? Read(path) : "";
    if (orientation)
        Write(path, jpeg.substr(0, 2) + std::string("\xFF\xE1\0\x22" "Exif\0\0" "II*\0\x08\0\0\0"
                                                    "\x01\0\x12\x01\x03\0\x01\0\0\0", 28)
                        + char(orientation) + std::string(7, '\0') + jpeg.substr(2));
}

// What a picture shows: "empty", or its bitmap's size and the letters at its quadrants' centres;
// with `whole`, a digest of all its pixels too.
std::string Seen(const Picture& picture, bool whole)
{
    BITMAP size = {};
    if (picture.bitmap == nullptr || !GetObjectA(picture.bitmap, sizeof size, &size))
        return "empty";
    std::string seen = std::to_string(size.bmWidth) + "x" + std::to_string(size.bmHeight) + " ";
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(memory, static_cast<HBITMAP>(picture.bitmap));
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const COLORREF pixel = GetPixel(memory, size.bmWidth / 4 + quadrant % 2 * size.bmWidth / 2,
                                        size.bmHeight / 4 + quadrant / 2 * size.bmHeight / 2);
        seen += kLetters[std::find(std::begin(kShown), std::end(kShown), pixel) - kShown];
    }
    SelectObject(memory, original);
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof format.bmiHeader, size.bmWidth, -size.bmHeight, 1, 32, BI_RGB, 0, 0,
                        0, 0, 0};
    std::vector<std::uint32_t> pixels(size.bmWidth * size.bmHeight);
    if (whole && GetDIBits(memory, static_cast<HBITMAP>(picture.bitmap), 0, size.bmHeight,
                           pixels.data(), &format, DIB_RGB_COLORS)) {
        std::uint64_t digest = 14695981039346656037u;   // FNV-1a
        for (const std::uint32_t pixel : pixels)
            digest = (digest ^ pixel) * 1099511628211u;
        seen += " " + std::to_string(digest);
    }
    DeleteDC(memory);
    return seen;
}

// Lays out `files` (in the scratch folder unless a full path; "" is an empty field) as File1..
// on a 512x384 screen, on up to `workers` threads; returns what each picture shows, with
// `whole` to the pixel, and releases them.
std::vector<std::string> LayOut(const std::vector<std::string>& files, int workers = 4,
                                bool whole = false)
{
    std::vector<std::string> paths;
    for (const std::string& file : files)
        paths.push_back(file.empty() || file[1] == ':' ? file : ScratchFolder() + "\\" + file);
    StorePictures(paths);
    Picture pictures[10];
    FitImageSet(pictures, 512, 384, LoadImageSet(pictures, workers), workers);
    std::vector<std::string> seen;
    for (int i = 0; i < 10; ++i) {
        if (i < int(files.size()))
            seen.push_back(files[i] + ": " + Seen(pictures[i], whole));
        ReleaseBitmap(pictures[i].bitmap);
    }
    return seen;
}

// What lives in this process: its threads, its handles (which Wine does not count) and the GDI
// objects it could still make.
std::string Alive()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    int threads = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        threads += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return std::to_string(threads) + " threads, " + std::to_string(handles) + " handles, "
        + std::to_string(FreeGdiObjects()) + " GDI objects free";
}

}  // namespace

TEST(LoadImageSet, DecodesEachKindUprightToItsFittedSizeAndLeavesBadFilesOut)
{
    // The bitmap loader reads even a bitmap named .png, and the imaging component stays unloaded.
    const std::string folder = ScratchFolder() + "\\";
    ASSERT_TRUE(WriteBitmap(folder + "bitmap.png", 256, 192));
    EXPECT_EQ(std::vector<std::string>{"bitmap.png: 256x192 cccc"}, LayOut({"bitmap.png"}));
    EXPECT_EQ(nullptr, GetModuleHandleA("windowscodecs.dll")) << "loaded for a bitmap";

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ComPtr<IWICImagingFactory> factory;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IWICImagingFactory,
                                     reinterpret_cast<void**>(factory.GetAddressOf())));
    WritePicture(factory, folder + "photo.jpg", GUID_ContainerFormatJpeg, "1234", 256, 192);
    WritePicture(factory, folder + "alpha.png", GUID_ContainerFormatPng, "RThG", 256, 192);
    WritePicture(factory, folder + "first frame.gif", GUID_ContainerFormatGif, "YBGR", 256, 192);
    WritePicture(factory, folder + "scan.tif", GUID_ContainerFormatTiff, "GYRB", 256, 192);
    // Stored sideways: turned a quarter clockwise, and mirrored across its diagonal.
    WritePicture(factory, folder + "turned.jpg", GUID_ContainerFormatJpeg, "1234", 192, 256, 6);
    WritePicture(factory, folder + "mirrored.jpg", GUID_ContainerFormatJpeg, "1234", 192, 256, 5);
    factory.Reset();
    CoUninitialize();
    const std::string jpeg = Read(folder + "photo.jpg"), png = Read(folder + "alpha.png");
    Write(folder + "truncated.jpg", jpeg.substr(0, jpeg.size() / 2));
    Write(folder + "corrupt.png", png.substr(0, 60) + std::string(png.size() - 60, '\x5A'));
    Write(folder + "empty.jpg", "");
    Write(folder + "text.jpg", "Not a picture, whatever its name says.\r\n");
    // Sides a decoder would allocate memory for before it finds the data missing.
    Write(folder + "huge.png", png.substr(0, 16) + std::string("\0\0\xFF\xFF\0\0\xFF\xFF", 8)
                                   + png.substr(24));
    Write(folder + "huge.jpg", std::string(jpeg).replace(jpeg.find("\xFF\xC0") + 5, 4,
                                                         "\xFF\xDC\xFF\xDC"));   // 65500x65500
    std::filesystem::create_directory(folder + "folder.jpg");

    // Eight count in the first list (the truncated JPEG reads as one until it is decoded), so a
    // picture is halved once to fit 128x96; two in the second, which leaves 256x192 as it is.
    EXPECT_EQ((std::vector<std::string>{
                  "photo.jpg: 128x96 1234", "alpha.png: 128x96 RKhG",
                  "first frame.gif: 128x96 YBGR", "scan.tif: 128x96 GYRB",
                  "turned.jpg: 128x96 3142", "mirrored.jpg: 128x96 1324",
                  "bitmap.png: 128x96 cccc", "truncated.jpg: empty", "empty.jpg: empty",
                  "text.jpg: empty"}),
              LayOut({"photo.jpg", "alpha.png", "first frame.gif", "scan.tif", "turned.jpg",
                      "mirrored.jpg", "bitmap.png", "truncated.jpg", "empty.jpg", "text.jpg"}));
    EXPECT_EQ((std::vector<std::string>{"folder.jpg: empty", "corrupt.png: empty",
                                        "huge.png: empty", "huge.jpg: empty",
                                        "photo.jpg: 256x192 1234"}),
              LayOut({"folder.jpg", "corrupt.png", "huge.png", "huge.jpg", "photo.jpg"}));

    // One after another or on workers side by side, each slot gets the same picture to the pixel,
    // and nothing is left: bitmaps run-length encoded and of one bit, a photo of each kind, a
    // turned one, a damaged one, a missing file and an empty field.
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    const std::string samples = std::filesystem::path(program).parent_path().parent_path().string()
        + "\\samples\\";
    const std::vector<std::string> mixed = {samples + "3.bmp", samples + "6.bmp", "photo.jpg",
                                            "alpha.png", "first frame.gif", "scan.tif",
                                            "turned.jpg", "truncated.jpg", "missing.bmp", ""};
    const std::string before = Alive();
    const std::vector<std::string> oneByOne = LayOut(mixed, 1, true);
    EXPECT_EQ(oneByOne, LayOut(mixed, 4, true));
    EXPECT_EQ("photo.jpg: 128x96 1234", oneByOne[2].substr(0, oneByOne[2].rfind(' ')));
    EXPECT_EQ(before, Alive());
}


// What the fields show, each field's name left out, in order.
std::multiset<std::string> Shown(const std::vector<std::string>& fields)
{
    std::multiset<std::string> shown;
    for (const std::string& seen : LayOut(fields))
        shown.insert(seen.substr(seen.find(": ") + 2));
    return shown;
}

TEST(LoadImageSet, FolderFieldsDrawPicturesOfTheirOwnFromTheirTreesWithinBounds)
{
    // A bitmap's width tells which it is; none is resized on the 512x384 screen.
    const std::string folder = ScratchFolder() + "\\";
    const auto bitmap = [&](const std::string& path, int width) {
        std::filesystem::create_directories(std::filesystem::path(folder + path).parent_path());
        ASSERT_TRUE(WriteBitmap(folder + path, width, 10)) << path;
    };
    bitmap("tree\\1.bmp", 11);
    bitmap("tree\\holiday.jpg\\2.bmp", 12);   // a folder, whatever its name
    bitmap("tree\\a\\b\\c\\3.bmp", 13);
    bitmap("tree\\notes.txt", 91);              // not named as a picture
    bitmap("tree\\secret.bmp", 92);
    bitmap("tree\\private\\4.bmp", 93);
    SetFileAttributesA((folder + "tree\\secret.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((folder + "tree\\private").c_str(), FILE_ATTRIBUTE_HIDDEN);
    std::filesystem::create_directory(folder + "tree\\empty");
    // Damaged: no picture at all, or a PNG header with nothing after it, which only decoding
    // finds out. Beside each kind, one good picture, which no start may miss.
    std::filesystem::create_directories(folder + "bad\\unread");
    std::filesystem::create_directory(folder + "bad\\undecoded");
    for (const char* name : {"a", "b", "c"}) {
        Write(folder + "bad\\unread\\" + name + ".jpg", "Not a picture.\r\n");
        Write(folder + "bad\\undecoded\\" + name + ".png",
              std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 29));
    }
    for (const char* kind : {"unread", "undecoded"}) {
        std::filesystem::copy(folder + "bad\\" + kind, folder + kind);
        bitmap(kind + std::string("\\good.bmp"), 14);
    }
    bitmap("pair\\5.bmp", 15);
    bitmap("pair\\6.bmp", 16);
    for (int width = 21; width <= 30; ++width)
        bitmap("many\\" + std::to_string(width) + ".bmp", width);

    const std::string one = "11x10 cccc", two = "12x10 cccc", three = "13x10 cccc", no = "empty";
    EXPECT_EQ(std::multiset<std::string>({one, two, three, no, no, no, no, no, no, no}),
              Shown(std::vector<std::string>(10, "tree")));
    // A file field shows its file; the folder fields beside it draw the others, the one with
    // fewer pictures first.
    const std::vector<std::string> beside = LayOut({"tree\\1.bmp", "tree", "tree\\a\\", "tree"});
    EXPECT_EQ("tree\\1.bmp: " + one, beside[0]);
    EXPECT_EQ("tree\\a\\: " + three, beside[2]) << "the only picture below a";
    EXPECT_EQ(std::multiset<std::string>({"tree: " + two, "tree: " + no}),
              std::multiset<std::string>({beside[1], beside[3]}));
    EXPECT_EQ(std::multiset<std::string>({two}), Shown({"tree\\holiday.jpg"}));
    EXPECT_EQ(std::multiset<std::string>({"15x10 cccc", "16x10 cccc"}), Shown({"pair", "pair"}));
    EXPECT_EQ(std::multiset<std::string>({"15x10 cccc", "16x10 cccc", no}),
              Shown({"pair", "pair\\", "PAIR"}));
    EXPECT_EQ(std::multiset<std::string>({no, no, no}), Shown({"bad", "bad", "bad"}));
    EXPECT_EQ(std::multiset<std::string>({no}), Shown({"tree\\empty"}));
    // Whichever comes first, a damaged draw gives way to the next, and draws differ by start. The
    // next draw counts as a file does: six pictures halve the 200x10 ones, five would not.
    for (const char* wide : {"1", "2", "3", "4"})
        bitmap("wide\\" + std::string(wide) + ".bmp", 200);
    const std::string halved = "100x5 cccc";
    std::set<std::string> drawn;
    for (int start = 0; start < 8; ++start) {
        EXPECT_EQ(std::multiset<std::string>({"14x10 cccc", "14x10 cccc", halved, halved, halved,
                                              halved}),
                  Shown({"unread", "undecoded", "wide\\1.bmp", "wide\\2.bmp", "wide\\3.bmp",
                         "wide\\4.bmp"})) << "start " << start;
        drawn.insert(*Shown({"many"}).begin());
    }
    EXPECT_LT(1u, drawn.size()) << "the same draw at every start";
}

TEST(LoadImageSet, AFolderThatLinksBackToItselfEndsWithinTheBoundsOfTheWalk)
{
    // Windows lists a link as a reparse point, never followed; Wine a Unix link as a folder. Two
    // make the tree double at every level down to the longest path: only the walk's bounds end it.
    const std::string loop = ScratchFolder() + "\\loop";
    std::filesystem::create_directory(loop);
    ASSERT_TRUE(WriteBitmap(loop + "\\7.bmp", 17, 10));
    for (const char* link : {"back", "again"}) {
        const std::string path = loop + "\\" + link;
        const bool made = UnderWine()
            ? RunOnHost(std::string("Z:\\bin\\ln -s . ") + link, loop,
                        [&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; })
            : CreateSymbolicLinkA(path.c_str(), loop.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY
                                  | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
        if (!made)
            GTEST_SKIP() << "no link could be made here";
    }
    const std::vector<std::string> shown = LayOut({"loop", "loop", "loop"});
    EXPECT_EQ("loop: 17x10 cccc", shown[0]);
    for (const std::string& seen : shown)   // the same file by another path, under Wine
        EXPECT_TRUE(seen == shown[0] || seen == "loop: empty") << seen;
}

TEST(FitImage, ACopyThatCannotBeMadeLeavesThePictureEmptyAndTheOriginalDeleted)
{
    DeleteObject(CopyImage(CreateBitmap(8, 8, 1, 32, nullptr), IMAGE_BITMAP, 4, 4,
                           LR_COPYDELETEORG));   // what the first copy sets up stays out
    const int freeBefore = FreeGdiObjects();
    static Picture picture;
    picture.bitmap = CreateBitmap(400, 300, 1, 32, nullptr);
    FreeGdiObjects([] { FitImage(picture, 100, 100, 2); });
    EXPECT_EQ(nullptr, picture.bitmap);
    EXPECT_EQ(freeBefore, FreeGdiObjects()) << "the original bitmap must not leak";
}
