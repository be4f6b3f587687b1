#include "Kestrix/graphics/KittyImageCrop.h"

#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyImageDecoding.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrix {

namespace {

// The requested extent from `start`, limited to what the image has left; the rest when none is asked.
int64_t cropExtent(int64_t requested, int64_t available)
{
    return requested >= 1 ? std::min(requested, available) : available;
}

} // namespace

KittyCropResult cropKittyImage(const KittyGraphicsPayload &image, int64_t x, int64_t y, int64_t width,
                               int64_t height)
{
    std::optional<KittyGraphicsPayload> pixels;
    if (image.isPng()) {
        pixels = decodeKittyImageToRgba(image.bytes());
        if (!pixels) {
            return {std::nullopt, kittyerror::cannotCropPng};
        }
    } else {
        pixels = image;
    }
    const int64_t imageWidth = pixels->width();
    const int64_t imageHeight = pixels->height();
    const std::span<const uint8_t> source = pixels->bytes();
    // Every pixel payload holds width × height × 4 bytes; refuse rather than read past one that does not.
    if (imageWidth < 1 || imageHeight < 1 ||
        static_cast<uint64_t>(source.size()) / 4 / static_cast<uint64_t>(imageWidth) <
            static_cast<uint64_t>(imageHeight)) {
        return {std::nullopt, kittyerror::badCrop};
    }
    const int64_t left = std::clamp<int64_t>(x, 0, imageWidth);
    const int64_t top = std::clamp<int64_t>(y, 0, imageHeight);
    const int64_t cropWidth = cropExtent(width, imageWidth - left);
    const int64_t cropHeight = cropExtent(height, imageHeight - top);
    if (left == 0 && top == 0 && cropWidth == imageWidth && cropHeight == imageHeight) {
        return {std::move(pixels), {}};
    }
    if (cropWidth < 1 || cropHeight < 1) {
        return {std::nullopt, kittyerror::badCrop};
    }
    const auto rowBytes = static_cast<size_t>(cropWidth) * 4;
    std::vector<uint8_t> cropped(rowBytes * static_cast<size_t>(cropHeight));
    for (int64_t row = 0; row < cropHeight; ++row) {
        const auto from = static_cast<size_t>(((top + row) * imageWidth + left) * 4);
        std::memcpy(cropped.data() + static_cast<size_t>(row) * rowBytes, source.data() + from, rowBytes);
    }
    return {KittyGraphicsPayload::rgba(std::move(cropped), cropWidth, cropHeight), {}};
}

} // namespace kestrix
