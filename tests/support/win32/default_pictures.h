// Files at the saver's default picture paths c:\pictures\1.bmp..10.bmp, for one test at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes pictures at the default paths and, when it goes, removes them and puts back whatever
// was there before (another test or the run command may keep its own pictures there).
class DefaultPictureFiles {
public:
    DefaultPictureFiles();
    ~DefaultPictureFiles();
    DefaultPictureFiles(const DefaultPictureFiles&) = delete;
    DefaultPictureFiles& operator=(const DefaultPictureFiles&) = delete;

    // The folder could be made and every earlier file set aside.
    bool Ready() const { return ready_; }

    // Writes the file of picture k (1..10); false on failure.
    bool Write(int picture, const std::vector<std::uint8_t>& bytes);

private:
    bool ready_ = false;
    bool createdFolder_ = false;
    std::vector<int> setAside_;
    std::vector<int> written_;
};

// "c:\pictures\<k>.bmp".
std::string DefaultPicturePath(int picture);
