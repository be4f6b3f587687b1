#include "Kestrix/rendering/AppleImage.h"

#include <algorithm>

namespace kestrix {

namespace {

// Far beyond any screen; keeps width × height × 4 well inside the integer range.
constexpr int64_t largestImageSide = 1 << 15;

} // namespace

AppleImage::AppleImage(QImage image, int64_t pixelWidth, int64_t pixelHeight, int64_t col)
    : image_(std::move(image))
    , pixelWidth_(pixelWidth)
    , pixelHeight_(pixelHeight)
    , col_(col)
{
}

void sortImagesByZIndex(std::vector<std::shared_ptr<AppleImage>> &images)
{
    std::ranges::stable_sort(images, [](const auto &a, const auto &b) {
        if (a->kittyZIndex != b->kittyZIndex) {
            return a->kittyZIndex < b->kittyZIndex;
        }
        return a->kittyImageId.value_or(0) < b->kittyImageId.value_or(0);
    });
}

SortedLineImages sortLineImages(const std::optional<BufferLine::ImageList> &images)
{
    SortedLineImages sorted;
    if (!images) {
        return sorted;
    }
    for (const auto &image : *images) {
        auto apple = std::dynamic_pointer_cast<AppleImage>(image);
        if (!apple) {
            continue;
        }
        if (!apple->kittyIsKitty) {
            sorted.others.push_back(std::move(apple));
        } else if (apple->kittyZIndex < 0) {
            sorted.kittyBelowText.push_back(std::move(apple));
        } else {
            sorted.kittyAboveText.push_back(std::move(apple));
        }
    }
    sortImagesByZIndex(sorted.kittyBelowText);
    sortImagesByZIndex(sorted.kittyAboveText);
    return sorted;
}

QRectF aspectFitRect(QSizeF size, const QRectF &rect)
{
    if (!(size.width() > 0 && size.height() > 0 && rect.width() > 0 && rect.height() > 0)) {
        return rect;
    }
    const double k = std::min(rect.width() / size.width(), rect.height() / size.height());
    const QSizeF fitted(size.width() * k, size.height() * k);
    return {rect.x() + (rect.width() - fitted.width()) / 2, rect.y() + (rect.height() - fitted.height()) / 2,
            fitted.width(), fitted.height()};
}

std::optional<QImage> imageFromStraightRgba(std::span<const uint8_t> bytes, int64_t width, int64_t height)
{
    if (width <= 0 || height <= 0 || width > largestImageSide || height > largestImageSide ||
        static_cast<uint64_t>(bytes.size()) < static_cast<uint64_t>(width * height * 4)) {
        return std::nullopt;
    }
    const QImage straight(bytes.data(), static_cast<int>(width), static_cast<int>(height),
                          static_cast<qsizetype>(width * 4), QImage::Format_RGBA8888);
    // The conversion copies the pixels and multiplies each colour by its alpha.
    return straight.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

} // namespace kestrix
