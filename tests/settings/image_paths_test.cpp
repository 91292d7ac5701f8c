// Registry value names and default picture paths for every picture number.
#include "settings/image_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct PictureNames {
    int picture;
    const char* valueName;
    const char* defaultPath;
};

const PictureNames kPictures[] = {
    {1, "File1", "c:\\pictures\\1.bmp"},   {2, "File2", "c:\\pictures\\2.bmp"},
    {3, "File3", "c:\\pictures\\3.bmp"},   {4, "File4", "c:\\pictures\\4.bmp"},
    {5, "File5", "c:\\pictures\\5.bmp"},   {6, "File6", "c:\\pictures\\6.bmp"},
    {7, "File7", "c:\\pictures\\7.bmp"},   {8, "File8", "c:\\pictures\\8.bmp"},
    {9, "File9", "c:\\pictures\\9.bmp"},   {10, "File10", "c:\\pictures\\10.bmp"},
};

TEST(ImagePaths, ValueNamesAreFileAndTheNumberWithoutLeadingZeros)
{
    for (const PictureNames& expected : kPictures) {
        char name[kValueNameSize];
        FormatImageValueName(expected.picture, name);
        EXPECT_EQ(std::string(expected.valueName), name)
            << "picture " << expected.picture << ": got " << name << ", expected "
            << expected.valueName;
    }
}

TEST(ImagePaths, DefaultPathsAreNumberedFilesInThePicturesFolder)
{
    for (const PictureNames& expected : kPictures) {
        char path[kPathBufferSize];
        FormatDefaultImagePath(expected.picture, path, sizeof path);
        EXPECT_EQ(std::string(expected.defaultPath), path)
            << "picture " << expected.picture << ": got " << path << ", expected "
            << expected.defaultPath;
    }
}

TEST(ImagePaths, DefaultPathIsCutToTheGivenSizeAndStaysTerminated)
{
    char path[8];
    std::memset(path, 'x', sizeof path);
    FormatDefaultImagePath(10, path, sizeof path);
    EXPECT_EQ(std::string("c:\\pict"), path);
}

}  // namespace
