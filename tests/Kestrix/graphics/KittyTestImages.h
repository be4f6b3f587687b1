#pragma once

#include <cstdint>
#include <png.h>
#include <span>
#include <string>
#include <vector>
#include <zlib.h>

namespace kestrix::testing {

// A PNG of width × height pixels, all of one RGBA colour.
inline std::vector<uint8_t> pngImage(uint32_t width, uint32_t height,
                                     std::vector<uint8_t> rgba = {10, 20, 30, 255})
{
    std::vector<uint8_t> pixels;
    for (uint64_t i = 0; i < uint64_t{width} * height; ++i) {
        pixels.insert(pixels.end(), rgba.begin(), rgba.end());
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::vector<uint8_t> encoded(size);
    png_image_write_to_memory(&image, encoded.data(), &size, 0, pixels.data(), 0, nullptr);
    encoded.resize(size);
    return encoded;
}

inline std::vector<uint8_t> zlibCompressed(std::span<const uint8_t> data)
{
    uLongf size = compressBound(data.size());
    std::vector<uint8_t> compressed(size);
    compress(compressed.data(), &size, data.data(), data.size());
    compressed.resize(size);
    return compressed;
}

inline std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

} // namespace kestrix::testing
