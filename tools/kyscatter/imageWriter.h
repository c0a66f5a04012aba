#pragma once

#include <string>
#include <vector>

namespace kyscatter {

// 8-bit RGBA pixels, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;
};

// Flips rows as OpenGL reads them (bottom row first) into an Image.
Image imageFromGLRows(int width, int height, const std::vector<unsigned char>& bottomUpRgba);

// Writes an RGB PNG (alpha dropped). Throws Failure.
void writePng(const std::string& path, const Image& image);

// Reads any PNG as RGBA. Throws Failure.
Image readPng(const std::string& path);

}  // namespace kyscatter
