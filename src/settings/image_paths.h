// Names and defaults of the ten picture paths kept in the registry, and the text they are kept in.
#pragma once

#include <cstddef>

// Registry data and edit fields hold at most 259 bytes of path plus the terminating NUL.
constexpr int kPathBufferSize = 260;
constexpr int kPictureCount = 10;

// "File1".."File10" plus the NUL.
constexpr std::size_t kValueNameSize = 8;

// Writes the registry value name of picture k (1..10), for example "File7".
void FormatImageValueName(int picture, char (&name)[kValueNameSize]);

// Writes the path tried for picture k when its registry value cannot be read,
// "c:\pictures\<k>.bmp".
void FormatDefaultImagePath(int picture, char* path, std::size_t size);

// Ends a UTF-8 path before its last character when a cut at the byte limit left that character
// incomplete. Stored, the stray bytes would come back as a three-byte replacement mark each, which
// can push the value beyond what can be read.
void TrimPartialCharacter(char* path);
