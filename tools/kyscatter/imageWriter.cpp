#include "imageWriter.h"

#include <png.h>

#include <cstring>

#include "errors.h"

namespace kyscatter {

Image imageFromGLRows(int width, int height, const std::vector<unsigned char>& bottomUpRgba)
{
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(&image.rgba[y * row], &bottomUpRgba[(height - 1 - y) * row], row);
    return image;
}

void writePng(const std::string& path, const Image& image)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    // The frame is opaque; RGB keeps the file a quarter smaller.
    std::vector<unsigned char> rgb(static_cast<std::size_t>(image.width) * image.height * 3);
    for (std::size_t i = 0, n = rgb.size() / 3; i < n; ++i)
        std::memcpy(&rgb[3 * i], &image.rgba[4 * i], 3);
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr))
        throw Failure("cannot write '" + path + "': " + png.message);
}

Image readPng(const std::string& path)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw Failure("cannot read '" + path + "': " + png.message);
    png.format = PNG_FORMAT_RGBA;
    Image image;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) {
        const std::string message = png.message;
        png_image_free(&png);
        throw Failure("cannot read '" + path + "': " + message);
    }
    return image;
}

}  // namespace kyscatter
