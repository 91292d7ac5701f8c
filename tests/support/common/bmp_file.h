// Builds Windows bitmap files in memory for tests: every common layout, and broken ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    std::uint8_t red, green, blue;
};

bool operator==(const Rgb& a, const Rgb& b);

enum class BmpCompression { None, Rle8, Rle4 };

// A picture and the way it is laid out in the file.
struct BmpImage {
    int width = 1;
    int height = 1;
    int bitsPerPixel = 24;   // 1, 4, 8, 24 or 32
    bool topDown = false;    // rows stored first row first (negative height in the header)
    BmpCompression compression = BmpCompression::None;   // Rle8 needs 8 bits, Rle4 needs 4
    std::vector<Rgb> palette;   // 1, 4 and 8 bits per pixel: the colour table
    // Row by row from the top of the picture: a palette index for 1, 4 and 8 bits per pixel,
    // else the colour as 0xRRGGBB.
    std::vector<std::uint32_t> pixels;
};

// The complete file: BITMAPFILEHEADER, BITMAPINFOHEADER, colour table and pixel data.
std::vector<std::uint8_t> EncodeBmp(const BmpImage& image);

// The colours of QuadrantImage: top-left, top-right, bottom-left, bottom-right. With 1 bit per
// pixel there are two, black and white, laid out as a checkerboard of the quadrants.
Rgb QuadrantColour(int bitsPerPixel, int quadrant);

// A picture of four quadrants in four different colours, so that a flipped or mirrored load
// shows. Paletted depths use a full colour table with the four colours spread across it.
BmpImage QuadrantImage(int width, int height, int bitsPerPixel, bool topDown = false,
                       BmpCompression compression = BmpCompression::None);

// Which quadrant (0 top-left .. 3 bottom-right) pixel (x, y) of a width x height picture is in.
int QuadrantOf(int x, int y, int width, int height);

// A BMP file of width x height pixels filled with one colour, 24 bits per pixel, bottom-up.
std::vector<std::uint8_t> SolidBmp(int width, int height, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue);

// Files of other kinds for loaders to reject: a complete 1x1 PNG and a complete 1x1 GIF.
std::vector<std::uint8_t> TinyPng();
std::vector<std::uint8_t> TinyGif();

// Writes bytes to path; returns false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
