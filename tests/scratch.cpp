// Linked into every Win32 test: a scratch key stands in for HKEY_CURRENT_USER, so the picture list
// of whoever runs the tests is never read or written, and a scratch folder holds the tests' files.
// Both are named after the process, start empty and are removed at the end; what a run that
// crashed or was killed left behind goes at the start of the next.
#include "scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

const std::string kName = "Corvelle test ", g_name = kName + std::to_string(GetCurrentProcessId());
const std::filesystem::path g_folder = std::filesystem::temp_directory_path() / g_name;

// A scratch name of this process, or of one that no longer runs: Wine reuses process ids.
bool IsLeftover(const std::string& name)
{
    if (name == g_name || name.rfind(kName, 0) != 0)
        return name == g_name;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, std::atoi(&name[kName.size()]));
    const bool ended = process ? WaitForSingleObject(process, 0) == WAIT_OBJECT_0
                               : GetLastError() != ERROR_ACCESS_DENIED;
    if (process)
        CloseHandle(process);
    return ended;
}

// \\?\ reaches the paths too long for the ANSI calls that some tests make on purpose.
void RemoveFolder(const std::filesystem::path& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(L"\\\\?\\" + folder.wstring(), ignored);
}

struct Scratch : testing::Environment {
    HKEY software = nullptr, key = nullptr;

    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS,
                                               &software));
        char name[MAX_PATH];
        for (DWORD i = 0, size = sizeof name; RegEnumKeyExA(software, i, name, &size, nullptr,
             nullptr, nullptr, nullptr) == ERROR_SUCCESS; size = sizeof name) {
            if (!IsLeftover(name) || RegDeleteTreeA(software, name) != ERROR_SUCCESS)
                ++i;   // kept: a deleted key's place goes to the next one
        }
        for (const auto& entry : std::filesystem::directory_iterator(g_folder.parent_path())) {
            if (IsLeftover(entry.path().filename().string()))
                RemoveFolder(entry.path());
        }
        ASSERT_TRUE(std::filesystem::create_directory(g_folder));
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(software, g_name.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, key));
    }

    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key);
        RegDeleteTreeA(software, g_name.c_str());
        RegCloseKey(software);
        RemoveFolder(g_folder);
    }
};

const auto* const g_scratch = testing::AddGlobalTestEnvironment(new Scratch);

}  // namespace

std::string ScratchFolder()
{
    return g_folder.string();
}
