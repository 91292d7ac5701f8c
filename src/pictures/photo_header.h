// What the first bytes of a picture file say before any decoder reads it: its kind, its size and,
// for a JPEG photo, how it was turned.
#pragma once

#include <cstdint>

enum class PhotoKind { Unknown, Bmp, Jpeg, Png, Gif, Tiff };

struct PhotoHeader {
    PhotoKind kind;
    std::uint32_t width, height;   // as stored; 0 where the header does not say
    int orientation;               // EXIF orientation 1..8; 1 for upright or unsaid
};

// Reads `size` bytes at `offset` of `file` into `buffer`; false when the file holds fewer.
using ReadAt = bool (*)(void* file, std::uint64_t offset, void* buffer, std::uint32_t size);

// Reads the header of a BMP, JPEG, PNG, GIF or TIFF file. Whatever the bytes, it reads only
// through `read`, follows no offset twice and ends after a bounded number of reads.
PhotoHeader ReadPhotoHeader(ReadAt read, void* file);

// Decoders may hold a whole frame in memory, and some allocate it from the header alone: a
// picture larger than this is refused before any decoder sees it.
constexpr std::uint64_t kMaxPhotoPixels = 200'000'000;

// Whether a picture of this size may be decoded: neither side 0, at most kMaxPhotoPixels.
bool IsDecodableSize(std::uint32_t width, std::uint32_t height);
