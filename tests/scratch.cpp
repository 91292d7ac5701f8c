// Linked into every Win32 test: a scratch key stands in for HKEY_CURRENT_USER, so the picture list
// of whoever runs the tests is never read or written, and a scratch folder holds the tests' files.
// Both are named after the test program, which never runs twice at once: what a run that crashed
// or was killed left behind goes at the start of the next, the rest at the end.
#include "scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string ProgramName()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return "Corvelle test " + std::filesystem::path(path).stem().string();
}

const std::string g_name = ProgramName();
const std::filesystem::path g_folder = std::filesystem::temp_directory_path() / g_name;

struct Scratch : testing::Environment {
    HKEY software = nullptr, key = nullptr;

    // \\?\ reaches the paths too long for the ANSI calls that some tests make on purpose. Under
    // Wine a Unix link to a folder is a folder, which remove_all would follow round a loop.
    void Remove()
    {
        std::error_code ignored;
        if (UnderWine() && std::filesystem::exists(g_folder))
            RunOnHost("Z:\\bin\\rm -rf \"" + g_name + "\"", g_folder.parent_path().string(),
                      [] { return !std::filesystem::exists(g_folder); });
        std::filesystem::remove_all(L"\\\\?\\" + g_folder.wstring(), ignored);
        RegDeleteTreeA(software, g_name.c_str());
    }

    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS,
                                               &software));
        Remove();
        ASSERT_TRUE(std::filesystem::create_directory(g_folder));
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(software, g_name.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, key));
    }

    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key);
        Remove();
        RegCloseKey(software);
    }
};

const auto* const g_scratch = testing::AddGlobalTestEnvironment(new Scratch);

}  // namespace

std::string ScratchFolder()
{
    return g_folder.string();
}

bool WriteBitmap(const std::string& path, int width, int height)
{
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file = {0x4D42, headers + 4 * width * height, 0, 0, headers};
    const BITMAPINFOHEADER info = {sizeof info, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info), sizeof info).append(4 * width * height, 'c');
    std::ofstream out(std::filesystem::path(L"\\\\?\\") += std::filesystem::u8path(path),
                      std::ios::binary);
    return bool(out.write(data.data(), data.size()).flush());
}

void StorePictures(const std::vector<std::string>& paths)
{
    for (std::size_t k = 0; k < 10; ++k) {
        const std::string path = k < paths.size() ? paths[k] : "";
        RegSetKeyValueA(HKEY_CURRENT_USER, "SoftWare\\Tessarel\\Corvelle",
                        ("File" + std::to_string(k + 1)).c_str(), REG_SZ, path.c_str(),
                        DWORD(path.size() + 1));
    }
}

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

bool RunOnHost(const std::string& commandLine, const std::string& folder,
               const std::function<bool()>& done)
{
    std::string command = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int tries = 0; tries < 200 && !done(); ++tries)
        Sleep(50);
    return done();
}

int FreeGdiObjects(void (*whileNoneFree)())
{
    std::vector<HRGN> made;
    for (HRGN region; (region = CreateRectRgn(0, 0, 1, 1)) != nullptr;)
        made.push_back(region);
    if (whileNoneFree != nullptr)
        whileNoneFree();
    for (HRGN region : made)
        DeleteObject(region);
    return static_cast<int>(made.size());
}
