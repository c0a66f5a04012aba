// Images that tests write for file textures, through OpenImageIO as the product reads them.
#pragma once

#include <string>
#include <vector>

namespace harness {

// Writes `pixels` (channels per pixel, rows from the top of the image down, values 0 to 1) to `path` in the format
// its extension names, 8 bits per channel except where the format holds floats; throws where it cannot.
void writeImage(const std::string& path, int width, int height, int channels, const std::vector<float>& pixels);

// A grey image `width` wide of vertical bands along u, one per value, each width / values.size() texels.
std::vector<float> greyBands(int width, int height, const std::vector<float>& values);

// A path in a temporary folder of the test process's own.
std::string temporaryPath(const std::string& name);

}  // namespace harness
