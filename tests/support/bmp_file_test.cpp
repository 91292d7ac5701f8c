// The test BMP writer itself: header fields, row order, bit packing and run-length encoding.
#include "bmp_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Field(const Bytes& file, std::size_t offset, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | file.at(offset + i);
    return value;
}

Bytes Slice(const Bytes& file, std::size_t offset, std::size_t size)
{
    return Bytes(file.begin() + offset, file.begin() + offset + size);
}

BmpImage Paletted(int width, int height, int bits, std::vector<std::uint32_t> pixels)
{
    BmpImage image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = bits;
    image.palette.assign(1u << bits, Rgb{0, 0, 0});
    image.pixels = std::move(pixels);
    return image;
}

TEST(BmpFile, TwentyFourBitBottomUpHeaderAndPaddedRows)
{
    BmpImage image;
    image.width = 2;
    image.height = 2;
    image.pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC};   // top row first
    const Bytes file = EncodeBmp(image);

    ASSERT_EQ(54u + 16u, file.size());
    EXPECT_EQ('B', file[0]);
    EXPECT_EQ('M', file[1]);
    EXPECT_EQ(70u, Field(file, 2, 4)) << "file size";
    EXPECT_EQ(54u, Field(file, 10, 4)) << "pixel offset";
    EXPECT_EQ(40u, Field(file, 14, 4)) << "info header size";
    EXPECT_EQ(2u, Field(file, 18, 4)) << "width";
    EXPECT_EQ(2u, Field(file, 22, 4)) << "height";
    EXPECT_EQ(24u, Field(file, 28, 2)) << "bits per pixel";
    EXPECT_EQ(0u, Field(file, 30, 4)) << "compression";
    EXPECT_EQ(16u, Field(file, 34, 4)) << "image size";
    // The bottom row comes first, blue-green-red, each row padded to 8 bytes.
    const Bytes expected = {0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0, 0,
                            0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0};
    EXPECT_EQ(expected, Slice(file, 54, 16));
}

TEST(BmpFile, TopDownStoresANegativeHeightAndTheTopRowFirst)
{
    BmpImage image;
    image.width = 1;
    image.height = 2;
    image.bitsPerPixel = 32;
    image.topDown = true;
    image.pixels = {0x010203, 0x040506};
    const Bytes file = EncodeBmp(image);

    EXPECT_EQ(0xFFFFFFFEu, Field(file, 22, 4)) << "height -2";
    const Bytes expected = {0x03, 0x02, 0x01, 0, 0x06, 0x05, 0x04, 0};
    EXPECT_EQ(expected, Slice(file, 54, 8));
}

TEST(BmpFile, OneBitPixelsPackMostSignificantBitFirst)
{
    const Bytes file = EncodeBmp(Paletted(9, 1, 1, {1, 0, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(2u, Field(file, 46, 4)) << "colours used";
    EXPECT_EQ(62u, Field(file, 10, 4)) << "pixel offset after two palette entries";
    const Bytes expected = {0x81, 0x80, 0, 0};
    EXPECT_EQ(expected, Slice(file, 62, 4));
}

TEST(BmpFile, FourBitPixelsPackHighNibbleFirst)
{
    const Bytes file = EncodeBmp(Paletted(3, 1, 4, {0xA, 0x5, 0xF}));
    const Bytes expected = {0xA5, 0xF0, 0, 0};
    EXPECT_EQ(expected, Slice(file, 54 + 64, 4));
}

struct RleCase {
    const char* name;
    int bits;
    int width, height;
    std::vector<std::uint32_t> pixels;
    Bytes encoded;
};

TEST(BmpFile, RunLengthEncodingOfRowsBottomFirst)
{
    const RleCase cases[] = {
        {"rle8 runs and single pixels", 8, 4, 2, {1, 1, 1, 1, 2, 3, 4, 4},
         {1, 2, 1, 3, 2, 4, 0, 0, 4, 1, 0, 1}},
        {"rle8 absolute stretch padded to a word", 8, 5, 1, {1, 2, 3, 4, 5},
         {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}},
        {"rle4 runs and single pixels", 4, 5, 1, {1, 2, 3, 3, 3},
         {1, 0x10, 1, 0x20, 3, 0x33, 0, 1}},
        {"rle4 absolute stretch", 4, 5, 1, {1, 2, 3, 4, 5},
         {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}},
    };
    for (const RleCase& c : cases) {
        BmpImage image = Paletted(c.width, c.height, c.bits, c.pixels);
        image.compression = c.bits == 8 ? BmpCompression::Rle8 : BmpCompression::Rle4;
        const Bytes file = EncodeBmp(image);
        const std::uint32_t offset = Field(file, 10, 4);
        EXPECT_EQ(c.bits == 8 ? 1u : 2u, Field(file, 30, 4)) << c.name << ": compression";
        EXPECT_EQ(c.encoded.size(), Field(file, 34, 4)) << c.name << ": image size";
        EXPECT_EQ(c.encoded, Slice(file, offset, file.size() - offset)) << c.name;
    }
}

TEST(BmpFile, QuadrantImagePlacesFourColoursAndSpreadsThePalette)
{
    const BmpImage image = QuadrantImage(4, 2, 8);
    ASSERT_EQ(256u, image.palette.size());
    const int corners[4][2] = {{0, 0}, {3, 0}, {0, 1}, {3, 1}};
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const std::uint32_t index = image.pixels[corners[quadrant][1] * 4 + corners[quadrant][0]];
        EXPECT_EQ(QuadrantColour(8, quadrant), image.palette.at(index)) << quadrant;
    }
    EXPECT_EQ(3, QuadrantOf(2, 1, 4, 2));
    EXPECT_EQ(0, QuadrantOf(1, 0, 4, 2));
}

TEST(BmpFile, PngChunksCarryTheirChecksums)
{
    const Bytes png = TinyPng();
    // Well-known CRCs of a 1x1 8-bit RGB header chunk and of the end chunk.
    EXPECT_EQ(Bytes({0x90, 0x77, 0x53, 0xDE}), Slice(png, 8 + 8 + 13, 4));
    EXPECT_EQ(Bytes({0xAE, 0x42, 0x60, 0x82}), Slice(png, png.size() - 4, 4));
}

}  // namespace
