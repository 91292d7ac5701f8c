// Header reading for the picture kinds the imaging component decodes; every offset is checked.
#include "pictures/photo_header.h"

#include <cstring>

namespace {

// JPEGs carry their EXIF block and thumbnails, sometimes dozens of XMP segments, before the frame.
constexpr int kMaxJpegSegments = 1024;
constexpr std::uint16_t kOrientationTag = 0x0112, kWidthTag = 256, kHeightTag = 257;

std::uint32_t Number(const unsigned char* bytes, int count, bool bigEndian)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= std::uint32_t{bytes[i]} << (8 * (bigEndian ? count - 1 - i : i));
    return value;
}

struct File {
    ReadAt read;
    void* handle;

    bool Read(std::uint64_t offset, unsigned char* bytes, std::uint32_t count) const
    {
        return read(handle, offset, bytes, count);
    }
};

// A TIFF structure, as a TIFF file is and as EXIF stores it in a JPEG: offsets count from its
// header at `base`, and nothing at or beyond `end` belongs to it.
struct Tiff {
    File file;
    std::uint64_t base, end;
    bool bigEndian;

    bool Read(std::uint64_t offset, unsigned char* bytes, std::uint32_t count) const
    {
        return base <= end && offset <= end - base && count <= end - base - offset
            && file.Read(base + offset, bytes, count);
    }
};

// The single SHORT or LONG value of `tag` in the first directory, or 0 where it is missing or
// malformed. Only the first directory is read, so directories that point anywhere cannot loop.
std::uint32_t FirstDirectoryValue(const File& file, std::uint64_t base, std::uint64_t end,
                                  std::uint16_t tag)
{
    Tiff tiff{file, base, end, false};
    unsigned char header[8], count[2], entry[12];
    if (!tiff.Read(0, header, 8) || (std::memcmp(header, "II*\0", 4) != 0
                                     && std::memcmp(header, "MM\0*", 4) != 0))
        return 0;
    tiff.bigEndian = header[0] == 'M';
    const std::uint32_t directory = Number(header + 4, 4, tiff.bigEndian);
    if (!tiff.Read(directory, count, 2))
        return 0;
    const std::uint32_t entries = Number(count, 2, tiff.bigEndian);
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (!tiff.Read(directory + 2 + 12ull * i, entry, 12))
            return 0;
        const std::uint32_t type = Number(entry + 2, 2, tiff.bigEndian);
        if (Number(entry, 2, tiff.bigEndian) != tag)
            continue;
        if (Number(entry + 4, 4, tiff.bigEndian) != 1 || (type != 3 && type != 4))
            return 0;
        return Number(entry + 8, type == 3 ? 2 : 4, tiff.bigEndian);
    }
    return 0;
}

bool IsFrameStart(unsigned marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the segments up to the frame header, reading the EXIF orientation on the way.
PhotoHeader ReadJpeg(const File& file)
{
    PhotoHeader header{PhotoKind::Jpeg, 0, 0, 1};
    std::uint64_t at = 2;
    for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
        unsigned char marker[10];
        if (!file.Read(at, marker, 4) || marker[0] != 0xFF)
            return header;
        if (marker[1] == 0xFF) {   // fill before a marker
            ++at;
            continue;
        }
        const std::uint32_t length = Number(marker + 2, 2, true);
        if (marker[1] == 0xD9 || marker[1] == 0xDA || length < 2)
            return header;   // the image data, or its end, with no frame header before it
        if (IsFrameStart(marker[1])) {
            if (file.Read(at, marker, 9)) {
                header.height = Number(marker + 5, 2, true);
                header.width = Number(marker + 7, 2, true);
            }
            return header;
        }
        if (marker[1] == 0xE1 && file.Read(at + 4, marker, 6)
            && std::memcmp(marker, "Exif\0\0", 6) == 0) {
            const std::uint32_t orientation =
                FirstDirectoryValue(file, at + 10, at + 2 + length, kOrientationTag);
            header.orientation = orientation >= 1 && orientation <= 8 ? int(orientation) : 1;
        }
        at += 2 + length;
    }
    return header;
}

}  // namespace

PhotoHeader ReadPhotoHeader(ReadAt read, void* handle)
{
    const File file{read, handle};
    // No picture of any of these kinds is shorter than this and has its size in it.
    unsigned char start[26];
    if (!file.Read(0, start, sizeof start))
        return {PhotoKind::Unknown, 0, 0, 1};
    if (std::memcmp(start, "\xFF\xD8\xFF", 3) == 0)
        return ReadJpeg(file);
    if (std::memcmp(start, "\x89PNG\r\n\x1A\n", 8) == 0 && std::memcmp(start + 12, "IHDR", 4) == 0)
        return {PhotoKind::Png, Number(start + 16, 4, true), Number(start + 20, 4, true), 1};
    if (std::memcmp(start, "GIF87a", 6) == 0 || std::memcmp(start, "GIF89a", 6) == 0)
        return {PhotoKind::Gif, Number(start + 6, 2, false), Number(start + 8, 2, false), 1};
    if (std::memcmp(start, "II*\0", 4) == 0 || std::memcmp(start, "MM\0*", 4) == 0) {
        return {PhotoKind::Tiff, FirstDirectoryValue(file, 0, UINT64_MAX, kWidthTag),
                FirstDirectoryValue(file, 0, UINT64_MAX, kHeightTag), 1};
    }
    if (std::memcmp(start, "BM", 2) != 0)
        return {PhotoKind::Unknown, 0, 0, 1};
    // The height is negative for rows stored top down. The old core header, whose sides are
    // 16-bit, is not looked for: the bitmap loader reads those bitmaps itself.
    const auto width = static_cast<std::int32_t>(Number(start + 18, 4, false));
    const auto height = static_cast<std::int32_t>(Number(start + 22, 4, false));
    return {PhotoKind::Bmp, width > 0 ? std::uint32_t(width) : 0,
            height < 0 ? 0u - std::uint32_t(height) : std::uint32_t(height), 1};
}

bool IsDecodableSize(std::uint32_t width, std::uint32_t height)
{
    return width > 0 && height > 0 && std::uint64_t{width} * height <= kMaxPhotoPixels;
}
