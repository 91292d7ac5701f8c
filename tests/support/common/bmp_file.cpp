// BMP writer for tests: headers laid out by hand, packed or run-length encoded pixel rows.
#include "bmp_file.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One row of the picture as stored uncompressed, padded to a multiple of four bytes.
std::vector<std::uint8_t> PackedRow(const BmpImage& image, int row)
{
    const std::size_t stride = ((static_cast<std::size_t>(image.width) * image.bitsPerPixel + 31)
                                / 32) * 4;
    std::vector<std::uint8_t> out(stride, 0);
    const std::uint32_t* pixels = &image.pixels[static_cast<std::size_t>(row) * image.width];
    for (int x = 0; x < image.width; ++x) {
        const std::uint32_t value = pixels[x];
        switch (image.bitsPerPixel) {
        case 1:
            out[x / 8] |= static_cast<std::uint8_t>((value & 1) << (7 - x % 8));
            break;
        case 4:
            out[x / 2] |= static_cast<std::uint8_t>((value & 15) << (x % 2 == 0 ? 4 : 0));
            break;
        case 8:
            out[x] = static_cast<std::uint8_t>(value);
            break;
        case 24:
        case 32: {
            const std::size_t bytes = image.bitsPerPixel / 8;
            out[x * bytes + 0] = static_cast<std::uint8_t>(value);         // blue
            out[x * bytes + 1] = static_cast<std::uint8_t>(value >> 8);    // green
            out[x * bytes + 2] = static_cast<std::uint8_t>(value >> 16);   // red
            break;   // the fourth byte of a 32-bit pixel stays 0
        }
        default:
            throw std::invalid_argument("unsupported bits per pixel");
        }
    }
    return out;
}

// Length of the run of equal pixels starting at x, at most 255.
int RunLength(const std::uint32_t* pixels, int x, int width)
{
    int length = 1;
    while (x + length < width && length < 255 && pixels[x + length] == pixels[x])
        ++length;
    return length;
}

// Encodes one row in RLE8 or RLE4: runs of two or more equal pixels in encoded mode, stretches
// of three or more differing pixels in absolute mode, anything else as runs of one.
void EncodeRleRow(const std::uint32_t* pixels, int width, int bitsPerPixel,
                  std::vector<std::uint8_t>& out)
{
    const bool nibbles = bitsPerPixel == 4;
    int x = 0;
    while (x < width) {
        const int run = RunLength(pixels, x, width);
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            const std::uint8_t index = static_cast<std::uint8_t>(pixels[x]);
            out.push_back(nibbles ? static_cast<std::uint8_t>(index << 4 | index) : index);
            x += run;
            continue;
        }
        int literal = 1;
        while (x + literal < width && literal < 255 && RunLength(pixels, x + literal, width) < 2)
            ++literal;
        if (literal < 3) {
            out.push_back(1);
            const std::uint8_t index = static_cast<std::uint8_t>(pixels[x]);
            out.push_back(nibbles ? static_cast<std::uint8_t>(index << 4) : index);
            x += 1;
            continue;
        }
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(literal));
        std::vector<std::uint8_t> data;
        for (int i = 0; i < literal; ++i) {
            const std::uint8_t index = static_cast<std::uint8_t>(pixels[x + i]);
            if (!nibbles)
                data.push_back(index);
            else if (i % 2 == 0)
                data.push_back(static_cast<std::uint8_t>(index << 4));
            else
                data.back() |= index;
        }
        if (data.size() % 2 != 0)   // absolute runs end on a 16-bit boundary
            data.push_back(0);
        out.insert(out.end(), data.begin(), data.end());
        x += literal;
    }
}

std::vector<std::uint8_t> PixelData(const BmpImage& image)
{
    std::vector<std::uint8_t> out;
    if (image.compression == BmpCompression::None) {
        for (int i = 0; i < image.height; ++i) {
            const int row = image.topDown ? i : image.height - 1 - i;
            const std::vector<std::uint8_t> packed = PackedRow(image, row);
            out.insert(out.end(), packed.begin(), packed.end());
        }
        return out;
    }
    const int needed = image.compression == BmpCompression::Rle8 ? 8 : 4;
    if (image.bitsPerPixel != needed || image.topDown)
        throw std::invalid_argument("RLE needs its own depth and a bottom-up picture");
    for (int i = 0; i < image.height; ++i) {
        const int row = image.height - 1 - i;
        EncodeRleRow(&image.pixels[static_cast<std::size_t>(row) * image.width], image.width,
                     image.bitsPerPixel, out);
        out.push_back(0);
        out.push_back(i + 1 < image.height ? 0 : 1);   // end of line, or end of bitmap
    }
    return out;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutPngChunk(std::vector<std::uint8_t>& out, const char* type,
                 const std::vector<std::uint8_t>& data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32(&out[typeStart], out.size() - typeStart));
}

}  // namespace

bool operator==(const Rgb& a, const Rgb& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

std::vector<std::uint8_t> EncodeBmp(const BmpImage& image)
{
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        throw std::invalid_argument("pixel count does not match the size");
    const std::vector<std::uint8_t> pixels = PixelData(image);
    const std::uint32_t paletteBytes = static_cast<std::uint32_t>(image.palette.size()) * 4;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
    const std::uint32_t compression = image.compression == BmpCompression::Rle8   ? kBiRle8
                                      : image.compression == BmpCompression::Rle4 ? kBiRle4
                                                                                  : kBiRgb;
    const std::int32_t height = image.topDown ? -image.height : image.height;

    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLittleEndian(out, offset + static_cast<std::uint32_t>(pixels.size()), 4);
    PutLittleEndian(out, 0, 4);   // two reserved words
    PutLittleEndian(out, offset, 4);
    PutLittleEndian(out, kInfoHeaderSize, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(image.width), 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(height), 4);
    PutLittleEndian(out, 1, 2);   // planes
    PutLittleEndian(out, static_cast<std::uint32_t>(image.bitsPerPixel), 2);
    PutLittleEndian(out, compression, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(pixels.size()), 4);
    PutLittleEndian(out, 2835, 4);   // 72 dpi, both ways
    PutLittleEndian(out, 2835, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(image.palette.size()), 4);
    PutLittleEndian(out, 0, 4);   // all colours important
    for (const Rgb& colour : image.palette) {
        out.push_back(colour.blue);
        out.push_back(colour.green);
        out.push_back(colour.red);
        out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Rgb QuadrantColour(int bitsPerPixel, int quadrant)
{
    if (bitsPerPixel == 1)
        return (quadrant == 0 || quadrant == 3) ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
    static const Rgb kColours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    return kColours[quadrant];
}

int QuadrantOf(int x, int y, int width, int height)
{
    return (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
}

BmpImage QuadrantImage(int width, int height, int bitsPerPixel, bool topDown,
                       BmpCompression compression)
{
    BmpImage image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = bitsPerPixel;
    image.topDown = topDown;
    image.compression = compression;

    std::uint32_t quadrantValue[4];
    if (bitsPerPixel <= 8) {
        // A full table of dim greys with the quadrant colours at spread-out indices, so a loader
        // that reads the wrong index shows a grey instead of the expected colour.
        const int entries = 1 << bitsPerPixel;
        for (int i = 0; i < entries; ++i) {
            const std::uint8_t grey = static_cast<std::uint8_t>(40 + i % 64);
            image.palette.push_back(Rgb{grey, grey, grey});
        }
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            const int index = bitsPerPixel == 1 ? (quadrant == 0 || quadrant == 3 ? 1 : 0)
                                                : entries - 1 - quadrant * (entries / 4);
            quadrantValue[quadrant] = static_cast<std::uint32_t>(index);
            image.palette[index] = QuadrantColour(bitsPerPixel, quadrant);
        }
    } else {
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            const Rgb colour = QuadrantColour(bitsPerPixel, quadrant);
            quadrantValue[quadrant] = static_cast<std::uint32_t>(colour.red) << 16
                                      | static_cast<std::uint32_t>(colour.green) << 8
                                      | colour.blue;
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.pixels.push_back(quadrantValue[QuadrantOf(x, y, width, height)]);
    }
    return image;
}

std::vector<std::uint8_t> SolidBmp(int width, int height, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue)
{
    BmpImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<std::size_t>(width) * height,
                        static_cast<std::uint32_t>(red) << 16
                            | static_cast<std::uint32_t>(green) << 8 | blue);
    return EncodeBmp(image);
}

std::vector<std::uint8_t> TinyPng()
{
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> out(kSignature, kSignature + 8);

    std::vector<std::uint8_t> header;
    PutBigEndian(header, 1);   // width
    PutBigEndian(header, 1);   // height
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8-bit RGB, deflate, no filter, no interlace
    PutPngChunk(out, "IHDR", header);

    // One scanline (filter byte 0, then a red pixel) in a single stored deflate block.
    const std::uint8_t scanline[4] = {0, 255, 0, 0};
    std::uint32_t adlerLow = 1, adlerHigh = 0;
    for (std::uint8_t byte : scanline) {
        adlerLow = (adlerLow + byte) % 65521;
        adlerHigh = (adlerHigh + adlerLow) % 65521;
    }
    std::vector<std::uint8_t> compressed = {0x78, 0x01, 0x01, 0x04, 0x00, 0xFB, 0xFF};
    compressed.insert(compressed.end(), scanline, scanline + 4);
    PutBigEndian(compressed, adlerHigh << 16 | adlerLow);
    PutPngChunk(out, "IDAT", compressed);
    PutPngChunk(out, "IEND", {});
    return out;
}

std::vector<std::uint8_t> TinyGif()
{
    // Header, a 1x1 screen with a two-colour table (white, black), one image whose LZW data
    // paints colour 0, and the trailer.
    return {'G',  'I',  'F',  '8',  '9',  'a',  0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
            0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
            0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
