// The value names and fallback paths shared by the saver and the settings dialog.
#include "settings/image_paths.h"

#include <cstdio>
#include <cstring>

void FormatImageValueName(int picture, char (&name)[kValueNameSize])
{
    std::snprintf(name, sizeof name, "File%d", picture);
}

void FormatDefaultImagePath(int picture, char* path, std::size_t size)
{
    std::snprintf(path, size, "c:\\pictures\\%d.bmp", picture);
}

void TrimPartialCharacter(char* path)
{
    const std::size_t length = std::strlen(path);
    // Back over the continuation bytes (10xxxxxx) of the last character to its lead byte, which
    // tells how many bytes the whole character takes.
    std::size_t lead = length;
    while (lead > 0 && (path[lead - 1] & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return;
    --lead;
    const unsigned char first = static_cast<unsigned char>(path[lead]);
    const std::size_t whole = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (length - lead < whole)
        path[lead] = '\0';
}
