// The file system as the folder draws read it: what a stored path names, folder listings, the
// clock and each start's seed.
#pragma once

#include "pictures/folder_draw.h"

// Listings through FindFirstFileExA, and GetTickCount64.
extern const FolderLister kFileSystemLister;

// Makes `field` what `path` names: a folder to draw from when it is one that can be read without
// fetching it, otherwise a file. Its path becomes the full path, so that each file and folder has
// one name for every field.
void ReadPictureField(const char* path, PictureField& field);

// A seed of its own for each start's draws, from the performance counter.
std::uint64_t DrawSeed();
