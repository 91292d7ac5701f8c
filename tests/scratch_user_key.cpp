// Linked into every Win32 test: the process sees a scratch key in place of HKEY_CURRENT_USER, so
// the picture list of whoever runs the tests is never read or written. Removed at the end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class ScratchUserKey : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key_, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, key_));
    }

    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, name_.c_str());
    }

private:
    const std::string name_ = "Software\\Corvelle test " + std::to_string(GetCurrentProcessId());
    HKEY key_ = nullptr;
};

const testing::Environment* const g_scratchUserKey =
    testing::AddGlobalTestEnvironment(new ScratchUserKey);

}  // namespace
