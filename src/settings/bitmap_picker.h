// The file-open dialog behind the settings dialog's browse buttons.
#pragma once

#include "settings/image_paths.h"

// The last chosen path; the picker opens on it next time, whichever picture it was chosen for.
extern char g_pickedPath[kPathBufferSize];

// Shows the file-open dialog for pictures, loading its library on first use. Returns true when the
// user chose a file, which is then in g_pickedPath; on cancel, on failure, or when the library
// cannot be loaded, g_pickedPath keeps what it held.
bool BrowseForBitmap();
