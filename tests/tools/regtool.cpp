// Test helper: prepares and reports the picture list in the registry of a Wine prefix.
//   regtool reset                  delete the key and everything in it
//   regtool set N TEXT             store TEXT as FileN the way the settings dialog does
//   regtool raw N TYPE HEX         store FileN with any type and bytes (HEX may be "-" for none)
//   regtool dump                   print "FileN TYPE SIZE HEX" or "FileN missing" for N = 1..10
#include "settings/image_store.h"
#include "test_registry.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Report(bool done, const char* what)
{
    if (!done)
        std::fprintf(stderr, "%s failed (last error %lu)\n", what, GetLastError());
    return done ? 0 : 1;
}

// Stores TEXT through the program's own writer, so the value has its exact length and type.
int Set(int picture, const char* text)
{
    std::memset(g_pathBuffer, 0, sizeof g_pathBuffer);
    std::strncpy(g_pathBuffer, text, kPathBufferSize - 1);
    const long status = WriteImageSetting(picture);
    if (status != ERROR_SUCCESS)
        std::fprintf(stderr, "set %d failed with registry status %ld\n", picture, status);
    return status == ERROR_SUCCESS ? 0 : 1;
}

std::vector<BYTE> ParseHex(const char* hex)
{
    std::vector<BYTE> bytes;
    if (std::strcmp(hex, "-") == 0)
        return bytes;
    for (std::size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
        const char pair[3] = {hex[i], hex[i + 1], '\0'};
        bytes.push_back(static_cast<BYTE>(std::strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

int Raw(int picture, DWORD type, const char* hex)
{
    const std::vector<BYTE> bytes = ParseHex(hex);
    return Report(StoreRawImageValue(picture, type, bytes.empty() ? nullptr : bytes.data(),
                                     static_cast<DWORD>(bytes.size())),
                  "raw");
}

int Dump()
{
    HKEY key = nullptr;
    const bool open =
        RegOpenKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        char name[kValueNameSize];
        FormatImageValueName(picture, name);
        std::vector<BYTE> data(4096);
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (!open
            || RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
            std::printf("%s missing\n", name);
            continue;
        }
        std::printf("%s %lu %lu ", name, static_cast<unsigned long>(type),
                    static_cast<unsigned long>(size));
        for (DWORD i = 0; i < size; ++i)
            std::printf("%02x", data[i]);
        std::printf("\n");
    }
    if (open)
        RegCloseKey(key);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "reset" && argc == 2)
        return Report(ResetImageList(), "reset");
    if (command == "set" && argc == 4)
        return Set(std::atoi(argv[2]), argv[3]);
    if (command == "raw" && argc == 5)
        return Raw(std::atoi(argv[2]), std::strtoul(argv[3], nullptr, 0), argv[4]);
    if (command == "dump" && argc == 2)
        return Dump();
    std::fprintf(stderr, "usage: regtool reset | set N TEXT | raw N TYPE HEX | dump\n");
    return 2;
}
