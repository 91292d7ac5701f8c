// The value names and fallback paths shared by the saver and the settings dialog.
#include "settings/image_paths.h"

#include <cstdio>

void FormatImageValueName(int picture, char (&name)[kValueNameSize])
{
    std::snprintf(name, sizeof name, "File%d", picture);
}

void FormatDefaultImagePath(int picture, char* path, std::size_t size)
{
    std::snprintf(path, size, "c:\\pictures\\%d.bmp", picture);
}
