// Registry access for the picture list; each value opens and closes the key on its own.
#include "settings/image_store.h"

#include <windows.h>
#include <shlwapi.h>

const char kImageListKey[] = "SoftWare\\Tessarel\\Corvelle";

char g_pathBuffer[kPathBufferSize + 1];

long ReadImageSetting(int picture)
{
    char valueName[kValueNameSize];
    FormatImageValueName(picture, valueName);
    DWORD type = 0;
    DWORD size = kPathBufferSize;
    const LSTATUS status =
        SHGetValueA(HKEY_CURRENT_USER, kImageListKey, valueName, &type, g_pathBuffer, &size);
    if (status == ERROR_SUCCESS) {
        // The data need not be a terminated string: another tool may have stored any type.
        if (size > kPathBufferSize)
            size = kPathBufferSize;
        g_pathBuffer[size] = '\0';
    }
    return status;
}

long WriteImageSetting(int picture)
{
    char valueName[kValueNameSize];
    FormatImageValueName(picture, valueName);

    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                     nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    RegCloseKey(key);
    key = nullptr;

    status = RegOpenKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(g_pathBuffer),
                            kPathBufferSize);
    RegCloseKey(key);
    return status;
}
