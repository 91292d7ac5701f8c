// The scratch of a Win32 test process: a key standing in for HKEY_CURRENT_USER and a folder.
#pragma once

#include <string>

// The process's own temporary folder: empty at the start, removed with its contents at the end.
std::string ScratchFolder();
