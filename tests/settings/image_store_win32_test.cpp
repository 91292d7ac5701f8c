// Reading a stored path: a value of the full 260 bytes without a terminator.
#include "settings/image_store.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(ReadImageSetting, AFull260ByteValueWithoutTerminatorIsReadWholeAndTerminated)
{
    const std::string full(260, 'a');
    RegSetKeyValueA(HKEY_CURRENT_USER, kImageListKey, "File4", REG_BINARY, full.data(), 260);
    std::memset(g_pathBuffer, 'b', sizeof g_pathBuffer);   // no NUL to stop at by luck
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(4));
    EXPECT_EQ(full, std::string(g_pathBuffer));
}
