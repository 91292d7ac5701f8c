// Linked into every Win32 test: the process sees a scratch key in place of HKEY_CURRENT_USER, so
// the picture list of whoever runs the tests is never read or written. Removed at the end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct ScratchUserKey : testing::Environment {
    const std::string name = "Software\\Corvelle test " + std::to_string(GetCurrentProcessId());
    HKEY key = nullptr;

    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, key));
    }

    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CURRENT_USER, name.c_str());
    }
};

const auto* const g_scratchUserKey = testing::AddGlobalTestEnvironment(new ScratchUserKey);

}  // namespace
