// Reads and writes the ten picture paths kept per user in the registry.
#pragma once

#include "settings/image_paths.h"

// "SoftWare\Tessarel\Corvelle" under HKEY_CURRENT_USER.
extern const char kImageListKey[];

// Every registry read lands here, and the settings dialog fills it before every write. One byte
// beyond the 260 lets a read of a full 260-byte value be terminated.
extern char g_pathBuffer[kPathBufferSize + 1];

// Reads value File<picture> (1..10) into g_pathBuffer, at most 260 bytes, and terminates it at
// the delivered length. Returns the registry status: 0 on success, anything else means missing;
// ERROR_MORE_DATA tells a value that exists but is too long to read.
long ReadImageSetting(int picture);

// Writes all 260 bytes of g_pathBuffer as the string value File<picture>. Returns the registry
// status, which callers ignore: a failed write leaves the old value.
long WriteImageSetting(int picture);
