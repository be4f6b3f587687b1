#pragma once

#include "Kestrix/graphics/KittyPlacementImage.h"
#include "Kestrix/model/BufferLine.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kestrix {

// One cell-high stripe of an image placed in the terminal, attached to a buffer line. Sizes are in
// device-independent pixels; the Kitty fields say where a Kitty placement put it.
class AppleImage final : public KittyPlacementImage {
public:
    AppleImage(QImage image, int64_t pixelWidth, int64_t pixelHeight, int64_t col);

    const QImage &image() const { return image_; }
    int64_t pixelWidth() const override { return pixelWidth_; }
    int64_t pixelHeight() const override { return pixelHeight_; }
    int64_t col() const override { return col_; }
    void setCol(int64_t col) override { col_ = col; }

private:
    QImage image_;
    int64_t pixelWidth_;
    int64_t pixelHeight_;
    int64_t col_;
};

// Stable: by z-index, then by image id (none counts as 0).
void sortImagesByZIndex(std::vector<std::shared_ptr<AppleImage>> &images);

// A line's images in the layers they are drawn in, each Kitty layer in z order.
struct SortedLineImages {
    std::vector<std::shared_ptr<AppleImage>> kittyBelowText;
    std::vector<std::shared_ptr<AppleImage>> kittyAboveText;
    // Not from the Kitty protocol, drawn last in their own order.
    std::vector<std::shared_ptr<AppleImage>> others;
};
SortedLineImages sortLineImages(const std::optional<BufferLine::ImageList> &images);

// A rectangle of `size` scaled to fit `rect`, centred; `rect` itself when either has no area.
QRectF aspectFitRect(QSizeF size, const QRectF &rect);

// Raw pixels of 4 bytes each (red, green, blue, straight alpha), rows top to bottom, as an image the
// painter composites correctly: the colours are premultiplied. None when the sizes are unusable or
// the bytes too few.
std::optional<QImage> imageFromStraightRgba(std::span<const uint8_t> bytes, int64_t width, int64_t height);

} // namespace kestrix
