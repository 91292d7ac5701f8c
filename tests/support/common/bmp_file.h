// Builds Windows bitmap files in memory for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A BMP file of width x height pixels filled with one colour, 24 bits per pixel, bottom-up.
std::vector<std::uint8_t> SolidBmp(int width, int height, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue);

// Writes bytes to path; returns false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
