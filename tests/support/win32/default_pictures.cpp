// Puts test pictures at the default paths and restores the folder afterwards.
#include "default_pictures.h"

#include "bmp_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

const char kFolder[] = "c:\\pictures";
constexpr int kDefaultPictureCount = 10;

std::string SetAsidePath(int picture)
{
    return DefaultPicturePath(picture) + ".kept-during-test";
}

}  // namespace

std::string DefaultPicturePath(int picture)
{
    // Spelled out here rather than taken from the saver, so a wrong default path shows.
    return std::string(kFolder) + "\\" + std::to_string(picture) + ".bmp";
}

DefaultPictureFiles::DefaultPictureFiles()
{
    if (CreateDirectoryA(kFolder, nullptr))
        createdFolder_ = true;
    else if (GetLastError() != ERROR_ALREADY_EXISTS)
        return;
    for (int picture = 1; picture <= kDefaultPictureCount; ++picture) {
        const std::string path = DefaultPicturePath(picture);
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (!MoveFileExA(path.c_str(), SetAsidePath(picture).c_str(), MOVEFILE_REPLACE_EXISTING))
            return;
        setAside_.push_back(picture);
    }
    ready_ = true;
}

DefaultPictureFiles::~DefaultPictureFiles()
{
    for (int picture : written_)
        DeleteFileA(DefaultPicturePath(picture).c_str());
    for (int picture : setAside_) {
        MoveFileExA(SetAsidePath(picture).c_str(), DefaultPicturePath(picture).c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    }
    if (createdFolder_)
        RemoveDirectoryA(kFolder);
}

bool DefaultPictureFiles::Write(int picture, const std::vector<std::uint8_t>& bytes)
{
    if (!WriteFileBytes(DefaultPicturePath(picture), bytes))
        return false;
    if (std::find(written_.begin(), written_.end(), picture) == written_.end())
        written_.push_back(picture);
    return true;
}
