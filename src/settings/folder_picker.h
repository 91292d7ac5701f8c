// The platform's folder chooser and the files dropped from Explorer, for the settings dialog.
#pragma once

#include "settings/image_paths.h"

#include <windows.h>
#include <shellapi.h>

// Shows the folder chooser, owned by `owner` and titled for picture k, loading COM's library on
// first use. Returns true when the user chose a folder whose path fits `path`, which then holds
// it; on cancel, on failure, or for a path too long or not in this code page, `path` is as it was.
bool ChooseFolder(HWND owner, int picture, char (&path)[kPathBufferSize]);

// Reads the first path of a drop into `path` and where it was dropped, in the client area of the
// window it was dropped on, into `point`; then releases the drop. False, with `path` as it was,
// for a path that does not fit.
bool ReadDrop(HDROP drop, POINT* point, char (&path)[kPathBufferSize]);
