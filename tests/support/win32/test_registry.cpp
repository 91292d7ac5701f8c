// Registry and file-system set-up shared by the Win32 tests and the regtool helper.
#include "test_registry.h"

#include "settings/image_store.h"

#include <windows.h>

#include <cstring>

bool ResetImageList()
{
    const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, kImageListKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool StoreImagePath(int picture, const std::string& path)
{
    std::memset(g_pathBuffer, 0, sizeof g_pathBuffer);
    std::strncpy(g_pathBuffer, path.c_str(), kPathBufferSize - 1);
    return WriteImageSetting(picture) == ERROR_SUCCESS;
}

bool StoreRawImageValue(int picture, unsigned long type, const void* data, unsigned long size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    char name[kValueNameSize];
    FormatImageValueName(picture, name);
    const LSTATUS status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::string TestTempDirectory()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string directory = std::string(base) + "corvelle-tests";
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}
