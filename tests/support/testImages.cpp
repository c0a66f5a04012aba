#include "testImages.h"

#include <OpenImageIO/imageio.h>

#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace harness {

void writeImage(const std::string& path, int width, int height, int channels, const std::vector<float>& pixels)
{
    auto out = OIIO::ImageOutput::create(path);
    const bool floats = std::filesystem::path(path).extension() == ".exr";
    OIIO::ImageSpec layout(width, height, channels, floats ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::UINT8);
    layout.attribute("oiio:UnassociatedAlpha", 1);  // the colours as given, whatever the alpha
    if (!out || !out->open(path, layout) || !out->write_image(OIIO::TypeDesc::FLOAT, pixels.data()) || !out->close())
        throw std::runtime_error("writing " + path + ": " + OIIO::geterror());
}

std::vector<float> greyBands(int width, int height, const std::vector<float>& values)
{
    std::vector<float> pixels;
    const int band = width / static_cast<int>(values.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(values[static_cast<std::size_t>(x / band)]);
    return pixels;
}

std::string temporaryPath(const std::string& name)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kyTextures." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

}  // namespace harness
