// What a picture's header says, read from real and hostile bytes alike.
#include "pictures/photo_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

namespace {

bool ReadFromString(void* file, std::uint64_t offset, void* buffer, std::uint32_t size)
{
    const std::string& bytes = *static_cast<const std::string*>(file);
    if (offset > bytes.size() || size > bytes.size() - offset)
        return false;
    std::memcpy(buffer, bytes.data() + offset, size);
    return true;
}

std::string Bytes(std::uint32_t value, int count, bool bigEndian = true)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += char(value >> (8 * (bigEndian ? count - 1 - i : i)));
    return bytes;
}

// A TIFF block whose first directory, at `directory`, holds one SHORT entry or more, then the
// offset of a next directory.
std::string Tiff(bool bigEndian, std::initializer_list<std::pair<int, int>> entries,
                 std::uint32_t directory = 8, std::uint32_t next = 0)
{
    std::string tiff = std::string(bigEndian ? "MM\0*" : "II*\0", 4)
        + Bytes(directory, 4, bigEndian) + Bytes(std::uint32_t(entries.size()), 2, bigEndian);
    for (const auto& [tag, value] : entries)
        tiff += Bytes(tag, 2, bigEndian) + Bytes(3, 2, bigEndian) + Bytes(1, 4, bigEndian)
            + Bytes(value, 2, bigEndian) + std::string(2, '\0');
    return tiff + Bytes(next, 4, bigEndian);
}

std::string Segment(unsigned marker, const std::string& data, int extraLength = 0)
{
    return "\xFF" + Bytes(marker, 1) + Bytes(std::uint32_t(data.size() + 2 + extraLength), 2)
        + data;
}

std::string Exif(const std::string& tiff, int extraLength = 0)
{
    return Segment(0xE1, std::string("Exif\0\0", 6) + tiff, extraLength);
}

// A JPEG of 4000x3000 after `before`: frame header, then image data.
std::string Jpeg(const std::string& before)
{
    return "\xFF\xD8" + before + Segment(0xC2, "\x08" + Bytes(3000, 2) + Bytes(4000, 2) + "\x01")
        + Segment(0xDA, std::string(12, '\0'));
}

}  // namespace

TEST(ReadPhotoHeader, GivesKindSizeAndOrientationAndNothingOutsideTheBytes)
{
    const std::string png = std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    const struct {
        const char* name;
        std::string bytes;
        PhotoKind kind;
        std::uint32_t width, height;
        int orientation;
    } rows[] = {
        {"JPEG, no EXIF", Jpeg(""), PhotoKind::Jpeg, 4000, 3000, 1},
        {"EXIF, Intel order", Jpeg(Exif(Tiff(false, {{0x10F, 7}, {0x112, 6}}))), PhotoKind::Jpeg,
         4000, 3000, 6},
        {"EXIF, Motorola order, fill bytes", Jpeg("\xFF" + Exif(Tiff(true, {{0x112, 8}})) + "\xFF"),
         PhotoKind::Jpeg, 4000, 3000, 8},
        {"orientation 9", Jpeg(Exif(Tiff(false, {{0x112, 9}}))), PhotoKind::Jpeg, 4000, 3000, 1},
        {"directory beyond its segment, in the next", Jpeg(Exif(Tiff(false, {{0x112, 2}}, 30))
             + Segment(0xE2, Tiff(false, {{0x112, 6}}).substr(8))), PhotoKind::Jpeg, 4000, 3000, 1},
        {"directory pointing at itself", Jpeg(Exif(Tiff(true, {{0x112, 5}}, 8, 8))),
         PhotoKind::Jpeg, 4000, 3000, 5},
        {"segment longer than the file", Jpeg(Exif(Tiff(false, {{0x112, 6}}), 4000)),
         PhotoKind::Jpeg, 0, 0, 6},
        {"segment length 1", "\xFF\xD8\xFF\xE1" + Bytes(1, 2) + Jpeg(""), PhotoKind::Jpeg, 0, 0, 1},
        {"image data before the frame", "\xFF\xD8" + Segment(0xDA, std::string(30, '\0')),
         PhotoKind::Jpeg, 0, 0, 1},
        {"PNG", png + Bytes(65535, 4) + Bytes(65535, 4) + "\x08\x06", PhotoKind::Png, 65535,
         65535, 1},
        {"TIFF", Tiff(true, {{257, 300}, {256, 200}}), PhotoKind::Tiff, 200, 300, 1},
        {"BMP stored top down", "BM" + std::string(12, '\0') + Bytes(40, 4, false)
             + Bytes(300, 4, false) + Bytes(-200, 4, false), PhotoKind::Bmp, 300, 200, 1},
    };
    for (const auto& row : rows) {
        std::string bytes = row.bytes;
        const PhotoHeader got = ReadPhotoHeader(ReadFromString, &bytes);
        EXPECT_EQ(std::make_tuple(int(row.kind), row.width, row.height, row.orientation),
                  std::make_tuple(int(got.kind), got.width, got.height, got.orientation))
            << row.name;
    }
    // At most 200 million pixels, and neither side 0.
    EXPECT_TRUE(IsDecodableSize(20000, 10000) && !IsDecodableSize(20001, 10000));
    EXPECT_TRUE(!IsDecodableSize(0, 480) && !IsDecodableSize(640, 0));
}
