// Registry set-up for Win32 tests: the picture list key is reset around every test.
#pragma once

#include <string>

// Deletes the picture list key with all its values; true if it is gone afterwards.
bool ResetImageList();

// Stores path as File<picture> exactly as the settings dialog does (260 bytes, REG_SZ).
bool StoreImagePath(int picture, const std::string& path);

// Stores File<picture> with any type and data, as another tool might.
bool StoreRawImageValue(int picture, unsigned long type, const void* data, unsigned long size);

// A temporary directory for test files, created on first use.
std::string TestTempDirectory();
