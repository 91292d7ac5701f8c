// The scratch of a Win32 test process: a key standing in for HKEY_CURRENT_USER and a folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The process's own temporary folder: empty at the start, removed with its contents at the end.
std::string ScratchFolder();
// Writes a 32-bit bitmap of one colour to a path in UTF-8, through the \\?\ form that also
// reaches paths too long for the ANSI calls.
bool WriteBitmap(const std::string& path, int width = 1, int height = 1);
// Stores each path as File1.. of the picture list, and an empty path as each value after them.
void StorePictures(const std::vector<std::string>& paths);
// Whether the tests run under Wine.
bool UnderWine();
// Under Wine, starts a program of the Unix host (such as Z:\\bin\\ln) in `folder` and waits for
// up to 10 s until `done` holds: Wine does not wait for such a program to end.
bool RunOnHost(const std::string& commandLine, const std::string& folder,
               const std::function<bool()>& done);
// How many more GDI objects this process can make; a leak shows as a smaller number. Runs
// `whileNoneFree` while all of them are taken.
int FreeGdiObjects(void (*whileNoneFree)() = nullptr);
