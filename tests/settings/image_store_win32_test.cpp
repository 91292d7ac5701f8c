// The picture list in the real registry: what is written, what reads back, and the defaults.
#include "saver/image_loading.h"
#include "saver/saver_state.h"
#include "settings/image_store.h"

#include "bitmap_probe.h"
#include "bmp_file.h"
#include "default_pictures.h"
#include "test_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kSentinel = 0x7F;

// A path of exactly length characters, made of varied folder names so a shifted or cut copy
// does not compare equal by accident.
std::string PathOfLength(std::size_t length)
{
    std::string path = "c:\\";
    for (int folder = 0; path.size() < length; ++folder)
        path += "folder " + std::to_string(folder) + ".d\\";
    path.resize(length);
    return path;
}

// Fills g_pathBuffer the way the settings dialog does before a write: the text, its NUL and
// whatever filler was already there.
void PutTextInPathBuffer(const std::string& text)
{
    std::memcpy(g_pathBuffer, text.c_str(), text.size() + 1);
}

struct RawValue {
    bool exists;
    DWORD type;
    std::vector<BYTE> data;
};

// Reads File<picture> straight from the registry, bypassing the code under test.
RawValue QueryRawValue(int picture)
{
    RawValue value{false, 0, std::vector<BYTE>(4096)};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    // The name is spelled out here, not taken from the code under test.
    const std::string name = "File" + std::to_string(picture);
    DWORD size = static_cast<DWORD>(value.data.size());
    value.exists =
        RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size)
        == ERROR_SUCCESS;
    value.data.resize(value.exists ? size : 0);
    RegCloseKey(key);
    return value;
}

std::vector<BYTE> Bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

class ImageStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetImageList());
        std::memset(g_pathBuffer, 0, sizeof g_pathBuffer);
    }
    void TearDown() override { EXPECT_TRUE(ResetImageList()); }
};

TEST_F(ImageStore, PathOf259CharactersSurvivesAWriteAndARead)
{
    const std::string path = PathOfLength(259);
    PutTextInPathBuffer(path);
    // The key does not exist yet: the write has to create it.
    ASSERT_EQ(ERROR_SUCCESS, WriteImageSetting(7));

    std::memset(g_pathBuffer, kSentinel, sizeof g_pathBuffer);
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(7));
    EXPECT_EQ(path, std::string(g_pathBuffer)) << "got " << std::strlen(g_pathBuffer)
                                               << " characters back";
}

TEST_F(ImageStore, EveryWrittenValueIsAStringOfExactly260Bytes)
{
    const std::string texts[kPictureCount] = {
        PathOfLength(259), "", "c:\\pictures\\short.bmp", "", PathOfLength(100),
        "x", "", "d:\\a b\\c.bmp", PathOfLength(258), "",
    };
    // Filler left over from a longer text must not change the stored length either.
    std::memset(g_pathBuffer, 'q', sizeof g_pathBuffer);
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        PutTextInPathBuffer(texts[picture - 1]);
        ASSERT_EQ(ERROR_SUCCESS, WriteImageSetting(picture)) << "File" << picture;
    }

    for (int picture = 1; picture <= kPictureCount; ++picture) {
        const std::string& text = texts[picture - 1];
        const RawValue value = QueryRawValue(picture);
        ASSERT_TRUE(value.exists) << "File" << picture << " missing";
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type)
            << "File" << picture << ": got type " << value.type << ", expected REG_SZ";
        ASSERT_EQ(260u, value.data.size())
            << "File" << picture << ": got " << value.data.size() << " bytes, expected 260";
        EXPECT_EQ(text, std::string(reinterpret_cast<const char*>(value.data.data()),
                                    text.size()))
            << "File" << picture;
        EXPECT_EQ(0, value.data[text.size()]) << "File" << picture << ": text not terminated";

        std::memset(g_pathBuffer, kSentinel, sizeof g_pathBuffer);
        ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(picture)) << "File" << picture;
        EXPECT_EQ(text, std::string(g_pathBuffer)) << "File" << picture;
    }
}

struct OversizedValue {
    const char* name;
    DWORD type;
    std::size_t size;
};

TEST_F(ImageStore, ValueLongerThan260BytesReadsAsMissing)
{
    const OversizedValue cases[] = {
        {"string of 261 bytes", REG_SZ, 261},
        {"string of 400 bytes", REG_SZ, 400},
        {"binary of 261 bytes", REG_BINARY, 261},
        {"binary of 1000 bytes", REG_BINARY, 1000},
    };
    for (const OversizedValue& c : cases) {
        std::vector<BYTE> data(c.size, 'a');
        data.back() = 0;
        ASSERT_TRUE(StoreRawImageValue(2, c.type, data.data(), static_cast<DWORD>(data.size())))
            << c.name;
        const long status = ReadImageSetting(2);
        EXPECT_NE(ERROR_SUCCESS, status) << c.name << ": got status " << status;
    }
}

TEST_F(ImageStore, ValueOf260BytesWithoutNulIsTerminatedAtIndex260)
{
    std::vector<BYTE> data(260);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>('a' + i % 26);
    ASSERT_TRUE(StoreRawImageValue(4, REG_BINARY, data.data(), 260));

    std::memset(g_pathBuffer, kSentinel, sizeof g_pathBuffer);
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(4));
    EXPECT_EQ(0, std::memcmp(g_pathBuffer, data.data(), 260)) << "delivered bytes differ";
    EXPECT_EQ(0, g_pathBuffer[260]) << "got byte " << int(g_pathBuffer[260]) << " at 260";
    EXPECT_EQ(260u, std::strlen(g_pathBuffer));
}

struct RawDelivery {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
};

// Values of any type and length up to 260 arrive byte for byte, get a NUL right after the last
// delivered byte, and the rest of the buffer keeps what it held.
TEST_F(ImageStore, RawValuesAreDeliveredByteForByteAndTerminatedAtTheirLength)
{
    const RawDelivery cases[] = {
        {"binary, no bytes", REG_BINARY, {}},
        {"binary, one byte", REG_BINARY, {'c'}},
        {"binary path without NUL", REG_BINARY, Bytes("c:\\abc.bmp")},
        {"binary of 259 bytes", REG_BINARY, std::vector<BYTE>(259, 'z')},
        {"binary with an inner NUL", REG_BINARY, {'a', 'b', 0, 'c', 'd'}},
        {"dword", REG_DWORD, {'A', 'B', 'C', 'D'}},
        {"dword with a zero byte", REG_DWORD, {'x', 0, 'y', 0}},
    };
    for (const RawDelivery& c : cases) {
        ASSERT_TRUE(ResetImageList());
        ASSERT_TRUE(StoreRawImageValue(9, c.type, c.data.empty() ? nullptr : c.data.data(),
                                       static_cast<DWORD>(c.data.size())))
            << c.name;
        std::memset(g_pathBuffer, kSentinel, sizeof g_pathBuffer);
        ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(9)) << c.name;

        const std::size_t length = c.data.size();
        EXPECT_TRUE(length == 0 || std::memcmp(g_pathBuffer, c.data.data(), length) == 0)
            << c.name << ": delivered bytes differ";
        EXPECT_EQ(0, g_pathBuffer[length]) << c.name << ": no NUL at " << length;
        std::size_t touched = 0;
        for (std::size_t i = length + 1; i < sizeof g_pathBuffer; ++i)
            touched += g_pathBuffer[i] != kSentinel;
        EXPECT_EQ(0u, touched) << c.name << ": bytes beyond the delivered length changed";
    }
}

TEST_F(ImageStore, EveryReadMayDeliverTheFull260BytesAgain)
{
    const std::vector<BYTE> shortValue = Bytes("c:\\a.bmp");
    const std::vector<BYTE> fullValue(260, 'f');
    ASSERT_TRUE(StoreRawImageValue(1, REG_BINARY, shortValue.data(), 8));
    ASSERT_TRUE(StoreRawImageValue(2, REG_BINARY, fullValue.data(), 260));

    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(1));
    EXPECT_EQ(std::string("c:\\a.bmp"), g_pathBuffer);
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(2)) << "a shorter read limited the next one";
    EXPECT_EQ(260u, std::strlen(g_pathBuffer));
}

TEST_F(ImageStore, WithTheKeyAbsentOrAValueMissingReadsFail)
{
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        const long status = ReadImageSetting(picture);
        EXPECT_NE(ERROR_SUCCESS, status) << "File" << picture << " read with no key";
    }
    ASSERT_TRUE(StoreImagePath(5, "c:\\five.bmp"));
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        const long status = ReadImageSetting(picture);
        if (picture == 5)
            EXPECT_EQ(ERROR_SUCCESS, status) << "File5";
        else
            EXPECT_NE(ERROR_SUCCESS, status) << "File" << picture << " read but never stored";
    }
}

TEST_F(ImageStore, StoredEmptyStringReadsAsAnEmptyPath)
{
    ASSERT_TRUE(StoreImagePath(10, ""));
    std::memset(g_pathBuffer, kSentinel, sizeof g_pathBuffer);
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(10));
    EXPECT_EQ(0, g_pathBuffer[0]);
}

// The saver side of the list: which pictures come from the defaults c:\pictures\<k>.bmp.
class DefaultPaths : public ImageStore {
protected:
    void SetUp() override
    {
        ImageStore::SetUp();
        g_saver = SaverState{};
        ASSERT_TRUE(defaults_.Ready()) << "cannot prepare c:\\pictures";
        // Each default picture has a size of its own, so the slot tells where it came from.
        for (int picture = 1; picture <= kPictureCount; ++picture) {
            ASSERT_TRUE(defaults_.Write(picture, SolidBmp(DefaultWidth(picture),
                                                          DefaultHeight(picture), 0, 90, 200)));
        }
    }
    void TearDown() override
    {
        DeleteSlotBitmaps();
        g_saver = SaverState{};
        ImageStore::TearDown();
    }

    static int DefaultWidth(int picture) { return 30 + picture; }
    static int DefaultHeight(int picture) { return 20 + picture; }

    DefaultPictureFiles defaults_;
};

TEST_F(DefaultPaths, WithTheKeyAbsentTheSaverLoadsTheTenDefaultPictures)
{
    LoadImageSet();
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        const BitmapSize size = SizeOfBitmap(g_saver.slots[picture - 1].bitmap);
        EXPECT_EQ(DefaultWidth(picture), size.width) << "slot of picture " << picture;
        EXPECT_EQ(DefaultHeight(picture), size.height) << "slot of picture " << picture;
    }
    EXPECT_EQ(10, g_saver.imageCount);
}

TEST_F(DefaultPaths, OnlyValuesThatCannotBeReadFallBackToTheDefault)
{
    const std::string own = TestTempDirectory() + "\\store-own.bmp";
    ASSERT_TRUE(WriteFileBytes(own, SolidBmp(7, 3, 250, 250, 0)));
    const std::vector<BYTE> ownAsBinary = Bytes(own);
    const std::vector<BYTE> overlong(300, 'a');

    ASSERT_TRUE(StoreImagePath(1, own));
    ASSERT_TRUE(StoreImagePath(2, ""));
    ASSERT_TRUE(StoreImagePath(3, TestTempDirectory() + "\\no-such-picture.bmp"));
    ASSERT_TRUE(StoreRawImageValue(4, REG_SZ, overlong.data(), 300));
    ASSERT_TRUE(StoreRawImageValue(6, REG_BINARY, ownAsBinary.data(),
                                   static_cast<DWORD>(ownAsBinary.size())));
    // Pictures 5 and 7..10 have no value at all.

    LoadImageSet();

    struct Expected {
        int picture;
        int width, height;   // -1: the slot stays empty
        const char* why;
    };
    const Expected expected[] = {
        {1, 7, 3, "stored path"},
        {2, -1, -1, "stored empty string: no default"},
        {3, -1, -1, "stored path that fails to load: no default"},
        {4, DefaultWidth(4), DefaultHeight(4), "value too long to read"},
        {5, DefaultWidth(5), DefaultHeight(5), "value absent"},
        {6, 7, 3, "binary value used as path text"},
        {7, DefaultWidth(7), DefaultHeight(7), "value absent"},
        {10, DefaultWidth(10), DefaultHeight(10), "value absent"},
    };
    for (const Expected& e : expected) {
        const BitmapSize size = SizeOfBitmap(g_saver.slots[e.picture - 1].bitmap);
        EXPECT_EQ(e.width, size.width) << "picture " << e.picture << " (" << e.why << ")";
        EXPECT_EQ(e.height, size.height) << "picture " << e.picture << " (" << e.why << ")";
    }
    EXPECT_EQ(8, g_saver.imageCount);
    DeleteFileA(own.c_str());
}

}  // namespace
