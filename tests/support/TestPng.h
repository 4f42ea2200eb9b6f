#pragma once
// Test pictures made in code: PNG files written with libpng.

#include <cstdint>
#include <functional>
#include <string>

// Writes a width x height RGBA PNG whose pixel (x, y) is colour(x, y) as 0xAARRGGBB.
void WriteTestPng(const std::string& fileName, int width, int height,
                  const std::function<std::uint32_t(int x, int y)>& colour, bool interlaced = false);
