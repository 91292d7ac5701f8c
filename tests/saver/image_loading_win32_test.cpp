// Loading the pictures with the real image loader and fitting them with the real copier.
#include "saver/image_loading.h"
#include "saver/saver_state.h"
#include "settings/image_paths.h"

#include "bitmap_probe.h"
#include "bmp_file.h"
#include "default_pictures.h"
#include "test_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::string TestFile(const std::string& name)
{
    return TestTempDirectory() + "\\" + name;
}

// Points well inside each quadrant, away from the edges where a resampler blends colours.
std::vector<PixelAt> QuadrantProbes(int width, int height)
{
    return {{width / 4, height / 4},
            {width - 1 - width / 4, height / 4},
            {width / 4, height - 1 - height / 4},
            {width - 1 - width / 4, height - 1 - height / 4}};
}

std::string Describe(const Rgb& colour)
{
    return "(" + std::to_string(colour.red) + "," + std::to_string(colour.green) + ","
           + std::to_string(colour.blue) + ")";
}

// Every quadrant of the bitmap shows the colour the test picture has there.
void ExpectQuadrantColours(void* bitmap, int width, int height, int bitsPerPixel,
                           const std::string& what)
{
    const std::vector<Rgb> got = ReadBitmapPixels(bitmap, QuadrantProbes(width, height));
    ASSERT_EQ(4u, got.size()) << what << ": cannot read the pixels";
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const Rgb expected = QuadrantColour(bitsPerPixel, quadrant);
        EXPECT_EQ(expected, got[quadrant]) << what << ", quadrant " << quadrant << ": got "
                                           << Describe(got[quadrant]) << ", expected "
                                           << Describe(expected);
    }
}

class ImageLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetImageList());
        g_saver = SaverState{};
    }
    void TearDown() override
    {
        DeleteSlotBitmaps();
        g_saver = SaverState{};
        EXPECT_TRUE(ResetImageList());
        for (const std::string& path : files_)
            DeleteFileA(path.c_str());
    }

    // Writes a test file and stores its path as File<picture>.
    void StorePicture(int picture, const std::string& name,
                      const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = TestFile(name);
        ASSERT_TRUE(WriteFileBytes(path, bytes)) << path;
        files_.push_back(path);
        ASSERT_TRUE(StoreImagePath(picture, path));
    }

    // Stores an empty path for every picture not listed: those slots stay empty and never
    // reach for the default files.
    static void StoreEmptyPathsExcept(const std::vector<int>& used)
    {
        for (int picture = 1; picture <= kPictureCount; ++picture) {
            bool isUsed = false;
            for (int u : used)
                isUsed = isUsed || u == picture;
            if (!isUsed) {
                ASSERT_TRUE(StoreImagePath(picture, ""));
            }
        }
    }

    std::vector<std::string> files_;
};

struct Layout {
    const char* name;
    int bitsPerPixel;
    bool topDown;
    BmpCompression compression;
    int width, height;
};

std::ostream& operator<<(std::ostream& out, const Layout& layout)
{
    return out << layout.name;
}

const Layout kLayouts[] = {
    {"bpp1_bottom_up", 1, false, BmpCompression::None, 13, 9},
    {"bpp1_top_down", 1, true, BmpCompression::None, 13, 9},
    {"bpp4_bottom_up", 4, false, BmpCompression::None, 13, 9},
    {"bpp4_top_down", 4, true, BmpCompression::None, 13, 9},
    {"bpp8_bottom_up", 8, false, BmpCompression::None, 13, 9},
    {"bpp8_top_down", 8, true, BmpCompression::None, 13, 9},
    {"bpp24_bottom_up", 24, false, BmpCompression::None, 13, 9},
    {"bpp24_top_down", 24, true, BmpCompression::None, 13, 9},
    {"bpp32_bottom_up", 32, false, BmpCompression::None, 13, 9},
    {"bpp32_top_down", 32, true, BmpCompression::None, 13, 9},
    {"rle8_runs_longer_than_255", 8, false, BmpCompression::Rle8, 600, 21},
    {"rle4_runs_longer_than_255", 4, false, BmpCompression::Rle4, 601, 21},
};

class BitmapLayouts : public ImageLoading, public ::testing::WithParamInterface<Layout> {};

TEST_P(BitmapLayouts, LoadAtTheirOwnSizeWithTheirOwnPixels)
{
    const Layout& layout = GetParam();
    const BmpImage image = QuadrantImage(layout.width, layout.height, layout.bitsPerPixel,
                                         layout.topDown, layout.compression);
    StorePicture(3, std::string(layout.name) + ".bmp", EncodeBmp(image));
    StoreEmptyPathsExcept({3});

    LoadImageSet();

    void* bitmap = g_saver.slots[2].bitmap;
    ASSERT_TRUE(IsLiveBitmap(bitmap)) << layout.name << " did not load";
    const BitmapSize size = SizeOfBitmap(bitmap);
    EXPECT_EQ(layout.width, size.width) << "width";
    EXPECT_EQ(layout.height, size.height) << "height";
    // Wine 8's loader creates a top-down file's bitmap at the right size but never draws its
    // pixels into it (all black, whatever the flags); Windows draws them.
    if (!(layout.topDown && RunningUnderWine())) {
        ExpectQuadrantColours(bitmap, layout.width, layout.height, layout.bitsPerPixel,
                              layout.name);
    }
    EXPECT_EQ(2, g_saver.imageCount) << "one picture loaded still counts as two";
}

INSTANTIATE_TEST_SUITE_P(Bmp, BitmapLayouts, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

// Run-length data in absolute mode as well: every pixel differs from its neighbours.
TEST_F(ImageLoading, RunLengthAbsoluteStretchesLoad)
{
    for (const int bits : {4, 8}) {
        BmpImage image;
        image.width = 23;
        image.height = 5;
        image.bitsPerPixel = bits;
        image.compression = bits == 8 ? BmpCompression::Rle8 : BmpCompression::Rle4;
        const int entries = 1 << bits;
        for (int i = 0; i < entries; ++i) {
            image.palette.push_back(Rgb{static_cast<std::uint8_t>(i * 255 / (entries - 1)),
                                        static_cast<std::uint8_t>(255 - i * 255 / (entries - 1)),
                                        static_cast<std::uint8_t>(i % 2 ? 200 : 20)});
        }
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x)
                image.pixels.push_back(static_cast<std::uint32_t>((x * 3 + y) % entries));
        }
        ASSERT_TRUE(ResetImageList());
        StorePicture(1, "absolute" + std::to_string(bits) + ".bmp", EncodeBmp(image));
        StoreEmptyPathsExcept({1});
        DeleteSlotBitmaps();

        LoadImageSet();

        void* bitmap = g_saver.slots[0].bitmap;
        ASSERT_TRUE(IsLiveBitmap(bitmap)) << "RLE" << bits << " did not load";
        const std::vector<PixelAt> probes = {{0, 0}, {1, 0}, {5, 2}, {22, 4}, {13, 1}};
        const std::vector<Rgb> got = ReadBitmapPixels(bitmap, probes);
        ASSERT_EQ(probes.size(), got.size());
        for (std::size_t i = 0; i < probes.size(); ++i) {
            const Rgb expected =
                image.palette[image.pixels[probes[i].y * image.width + probes[i].x]];
            EXPECT_EQ(expected, got[i]) << "RLE" << bits << " pixel " << probes[i].x << ","
                                        << probes[i].y << ": got " << Describe(got[i])
                                        << ", expected " << Describe(expected);
        }
    }
}

std::vector<std::uint8_t> GoodBmp()
{
    return EncodeBmp(QuadrantImage(13, 9, 24));
}

std::vector<std::uint8_t> Prefix(const std::vector<std::uint8_t>& bytes, std::size_t size)
{
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + size);
}

std::vector<std::uint8_t> WithWrongMagic()
{
    std::vector<std::uint8_t> bytes = GoodBmp();
    bytes[0] = 'M';
    bytes[1] = 'B';
    return bytes;
}

enum class BadKind { File, Directory, MissingFile, EmptyPath };

struct BadPicture {
    const char* name;
    int picture;   // the slot it goes to; the others get good pictures
    BadKind kind;
    std::vector<std::uint8_t> bytes;   // the file's content for BadKind::File
};

std::ostream& operator<<(std::ostream& out, const BadPicture& bad)
{
    return out << bad.name;
}

const BadPicture kBadPictures[] = {
    {"truncated_inside_the_file_header", 1, BadKind::File, Prefix(GoodBmp(), 10)},
    {"truncated_to_the_file_header", 2, BadKind::File, Prefix(GoodBmp(), 14)},
    {"wrong_magic", 3, BadKind::File, WithWrongMagic()},
    {"zero_bytes", 4, BadKind::File, {}},
    {"a_directory", 5, BadKind::Directory, {}},
    {"png_named_bmp", 6, BadKind::File, TinyPng()},
    {"gif_named_bmp", 7, BadKind::File, TinyGif()},
    {"missing_file", 8, BadKind::MissingFile, {}},
    {"empty_path", 10, BadKind::EmptyPath, {}},
};

int GoodWidth(int picture)
{
    return 10 + picture;
}

int GoodHeight(int picture)
{
    return 5 + picture;
}

class BadPictures : public ImageLoading, public ::testing::WithParamInterface<BadPicture> {
protected:
    void TearDown() override
    {
        ImageLoading::TearDown();
        if (!folder_.empty())
            RemoveDirectoryA(folder_.c_str());
    }
    std::string folder_;
};

// A bad picture in one slot among nine good ones leaves that slot empty and no other, and it
// does not fall back to the default file, which is there and would load.
TEST_P(BadPictures, LeaveOnlyTheirOwnSlotEmpty)
{
    const BadPicture& bad = GetParam();
    const int badPicture = bad.picture;

    DefaultPictureFiles defaults;
    ASSERT_TRUE(defaults.Ready());
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        ASSERT_TRUE(defaults.Write(picture, SolidBmp(40, 40, 255, 255, 255)));
        if (picture != badPicture) {
            StorePicture(picture, "good" + std::to_string(picture) + ".bmp",
                         SolidBmp(GoodWidth(picture), GoodHeight(picture), 0, 200, 0));
        }
    }
    const std::string badPath = TestFile(std::string(bad.name) + ".bmp");
    switch (bad.kind) {
    case BadKind::File:
        StorePicture(badPicture, std::string(bad.name) + ".bmp", bad.bytes);
        break;
    case BadKind::Directory:
        ASSERT_TRUE(CreateDirectoryA(badPath.c_str(), nullptr)) << badPath;
        folder_ = badPath;
        ASSERT_TRUE(StoreImagePath(badPicture, badPath));
        break;
    case BadKind::MissingFile:
        ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(badPath.c_str()));
        ASSERT_TRUE(StoreImagePath(badPicture, badPath));
        break;
    case BadKind::EmptyPath:
        ASSERT_TRUE(StoreImagePath(badPicture, ""));
        break;
    }

    LoadImageSet();

    EXPECT_EQ(nullptr, g_saver.slots[badPicture - 1].bitmap)
        << bad.name << " in slot " << badPicture - 1 << " loaded";
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        if (picture == badPicture)
            continue;
        const BitmapSize size = SizeOfBitmap(g_saver.slots[picture - 1].bitmap);
        EXPECT_EQ(GoodWidth(picture), size.width) << "picture " << picture;
        EXPECT_EQ(GoodHeight(picture), size.height) << "picture " << picture;
    }
    EXPECT_EQ(9, g_saver.imageCount);
    DeleteSlotBitmaps();   // before the default files go
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadPictures, ::testing::ValuesIn(kBadPictures),
                         [](const ::testing::TestParamInfo<BadPicture>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ImageLoading, ImageCountIsTheNumberLoadedButNeverBelowTwo)
{
    struct CountCase {
        int loaded;
        int expectedCount;
    };
    const CountCase cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 3}, {7, 7}, {10, 10}};
    for (const CountCase& c : cases) {
        DeleteSlotBitmaps();
        ASSERT_TRUE(ResetImageList());
        g_saver = SaverState{};
        // The loaded pictures sit in the last slots, to show that the count is not a position.
        for (int picture = 1; picture <= kPictureCount; ++picture) {
            if (picture > kPictureCount - c.loaded) {
                StorePicture(picture, "count" + std::to_string(picture) + ".bmp",
                             SolidBmp(4, 4, 9, 9, 9));
            } else {
                ASSERT_TRUE(StoreImagePath(picture, TestFile("not-there.bmp")));
            }
        }

        LoadImageSet();

        int withBitmap = 0;
        for (const ImageSlot& slot : g_saver.slots)
            withBitmap += slot.bitmap != nullptr;
        EXPECT_EQ(c.loaded, withBitmap) << c.loaded << " pictures stored";
        EXPECT_EQ(c.expectedCount, g_saver.imageCount)
            << c.loaded << " loaded: got count " << g_saver.imageCount << ", expected "
            << c.expectedCount;
    }
}

TEST_F(ImageLoading, DeleteSlotBitmapsDeletesEveryBitmapAndClearsTheSlots)
{
    for (int picture : {2, 5, 9})
        StorePicture(picture, "delete" + std::to_string(picture) + ".bmp", SolidBmp(6, 6, 1, 2, 3));
    StoreEmptyPathsExcept({2, 5, 9});
    LoadImageSet();
    std::vector<void*> loaded;
    for (const ImageSlot& slot : g_saver.slots) {
        if (slot.bitmap != nullptr)
            loaded.push_back(slot.bitmap);
    }
    ASSERT_EQ(3u, loaded.size());

    DeleteSlotBitmaps();

    for (const ImageSlot& slot : g_saver.slots)
        EXPECT_EQ(nullptr, slot.bitmap);
    for (void* bitmap : loaded)
        EXPECT_FALSE(IsLiveBitmap(bitmap)) << "a bitmap outlived DeleteSlotBitmaps";
}

// Fitting on real bitmaps: the slot size, whether the handle was replaced, and the real size.
struct FitExpectation {
    int picture;
    int width, height;        // the picture's file
    int fittedCx, fittedCy;
    bool copied;
};

class Fitting : public ImageLoading {
protected:
    // Loads the pictures, sets the screen, fits every slot and checks each against its
    // expectation.
    void LoadAndFit(int screenWidth, int screenHeight, const std::vector<FitExpectation>& all,
                    int expectedCount)
    {
        std::vector<int> used;
        for (const FitExpectation& e : all) {
            StorePicture(e.picture, "fit" + std::to_string(e.picture) + ".bmp",
                         EncodeBmp(QuadrantImage(e.width, e.height, 24)));
            used.push_back(e.picture);
        }
        StoreEmptyPathsExcept(used);
        LoadImageSet();
        ASSERT_EQ(expectedCount, g_saver.imageCount);
        g_saver.screenWidth = screenWidth;
        g_saver.screenHeight = screenHeight;

        for (const FitExpectation& e : all) {
            ImageSlot& slot = g_saver.slots[e.picture - 1];
            void* original = slot.bitmap;
            ASSERT_TRUE(IsLiveBitmap(original)) << "picture " << e.picture << " did not load";
            FitImage(e.picture - 1);

            const std::string what = "picture " + std::to_string(e.picture) + " of "
                                     + std::to_string(e.width) + "x" + std::to_string(e.height);
            EXPECT_EQ(e.fittedCx, slot.cx) << what << ": cx";
            EXPECT_EQ(e.fittedCy, slot.cy) << what << ": cy";
            const BitmapSize real = SizeOfBitmap(slot.bitmap);
            EXPECT_EQ(slot.cx, real.width) << what << ": real width differs from cx";
            EXPECT_EQ(slot.cy, real.height) << what << ": real height differs from cy";
            if (e.copied) {
                EXPECT_NE(original, slot.bitmap) << what << ": not copied";
                EXPECT_FALSE(IsLiveBitmap(original)) << what << ": original not deleted";
            } else {
                EXPECT_EQ(original, slot.bitmap) << what << ": copied though it fits";
            }
            // Shrunk or not, the picture is still the picture.
            ExpectQuadrantColours(slot.bitmap, slot.cx, slot.cy, 24, what);
        }
    }
};

TEST_F(Fitting, WorkedExampleOfFourPicturesOn800x600)
{
    LoadAndFit(800, 600,
               {{1, 900, 700, 225, 175, true},
                {2, 300, 100, 300, 100, true},
                {3, 200, 150, 200, 150, false},
                {4, 20, 20, 20, 20, false}},
               4);
}

TEST_F(Fitting, OnePictureCountsAsTwoAndIsHalvedToFitTheScreen)
{
    LoadAndFit(800, 600, {{6, 801, 300, 400, 150, true}}, 2);
}

TEST_F(Fitting, OnePictureOfHalfTheScreenIsUsedAsLoaded)
{
    LoadAndFit(800, 600, {{1, 400, 300, 400, 300, false}}, 2);
}

TEST_F(Fitting, ThreePicturesAreHalvedOnlyUntilTheyFitTheScreen)
{
    LoadAndFit(800, 600,
               {{1, 900, 700, 450, 350, true},
                {2, 267, 200, 267, 200, true},
                {3, 266, 200, 266, 200, false}},
               3);
}

TEST_F(Fitting, TenPicturesOnTheSamplesScreen)
{
    std::vector<FitExpectation> all = {{1, 700, 500, 175, 125, true},
                                       {2, 128, 102, 128, 102, false},
                                       {3, 129, 102, 129, 102, true}};
    for (int picture = 4; picture <= kPictureCount; ++picture)
        all.push_back({picture, 16, 16, 16, 16, false});
    LoadAndFit(1280, 1024, all, 10);
}

// Takes every free GDI handle while it lives, so that no new bitmap can be made.
class GdiHandlesExhausted {
public:
    GdiHandlesExhausted()
    {
        // The platform's table holds at most 65536 handles; the limit here only bounds a
        // platform with none.
        for (int i = 0; i < 200000; ++i) {
            HBITMAP filler = CreateBitmap(1, 1, 1, 1, nullptr);
            if (filler == nullptr)
                break;
            fillers_.push_back(filler);
        }
    }
    ~GdiHandlesExhausted()
    {
        for (HBITMAP filler : fillers_)
            DeleteObject(filler);
    }
    GdiHandlesExhausted(const GdiHandlesExhausted&) = delete;
    GdiHandlesExhausted& operator=(const GdiHandlesExhausted&) = delete;

private:
    std::vector<HBITMAP> fillers_;
};

TEST_F(Fitting, FailedCopyDeletesTheOriginalAndLeavesTheSlotWithoutBitmap)
{
    StorePicture(1, "nocopy.bmp", SolidBmp(900, 700, 10, 20, 30));
    StoreEmptyPathsExcept({1});
    LoadImageSet();
    g_saver.screenWidth = 800;
    g_saver.screenHeight = 600;
    void* original = g_saver.slots[0].bitmap;
    ASSERT_TRUE(IsLiveBitmap(original));

    bool originalLiveAfterFit = true;
    {
        GdiHandlesExhausted exhausted;
        HBITMAP probe = CreateBitmap(1, 1, 1, 1, nullptr);
        if (probe != nullptr)
            DeleteObject(probe);
        ASSERT_EQ(nullptr, probe) << "GDI handles could not be used up";
        FitImage(0);
        originalLiveAfterFit = IsLiveBitmap(original);
    }

    EXPECT_EQ(nullptr, g_saver.slots[0].bitmap) << "the slot kept a bitmap";
    EXPECT_FALSE(originalLiveAfterFit) << "the original bitmap leaked";
    // The fitted size stays: the slot is still placed and moved, just never drawn.
    EXPECT_EQ(450, g_saver.slots[0].cx);
    EXPECT_EQ(350, g_saver.slots[0].cy);
}

}  // namespace
