// Writing a 32-bit top-down BGRA picture as BMP or PNG (stored, uncompressed deflate blocks;
// no library needed). Plain C++.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

struct TImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels; // 0x00RRGGBB, rows top to bottom
};

std::string EncodeBmp(const TImage& image);
std::string EncodePng(const TImage& image);
// PNG when the name ends in ".png" (any case), else BMP.
std::string EncodeImageFor(const std::string& fileName, const TImage& image);

} // namespace hostsim
