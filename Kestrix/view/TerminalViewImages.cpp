// Images the host shows in the terminal (OSC 1337 files, Sixel bitmaps, Kitty placements): sized,
// cut into stripes one cell high and attached to the lines from the cursor down.

#include "Kestrix/rendering/AppleImage.h"
#include "Kestrix/view/TerminalView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrix {

namespace {

// A host asks for any size it likes; an image is never placed larger than this on either side, so
// one placement holds a bounded number of stripes and pixels.
constexpr double largestPlacedExtent = 4096;

double requestedExtent(ImageSizeRequest request, double cell, double frame, double natural, double scale)
{
    const auto value = static_cast<double>(request.value);
    switch (request.kind) {
    case ImageSizeRequest::Kind::cells:
        return value * cell;
    case ImageSizeRequest::Kind::pixels:
        return value;
    case ImageSizeRequest::Kind::percent:
        return value * 0.01 * frame;
    case ImageSizeRequest::Kind::automatic:
        break;
    }
    return natural / scale;
}

bool isAutomatic(ImageSizeRequest request)
{
    return request.kind == ImageSizeRequest::Kind::automatic;
}

bool isUsableExtent(double extent)
{
    return std::isfinite(extent) && extent > 0;
}

} // namespace

std::optional<std::pair<double, double>> TerminalView::imagePixelSize(const QImage &image)
{
    if (image.width() <= 0 || image.height() <= 0) {
        return std::nullopt;
    }
    return std::pair{static_cast<double>(image.width()), static_cast<double>(image.height())};
}

QImage TerminalView::scale(const QImage &image, QSizeF size, double devicePixelRatio)
{
    const QSizeF imageSize = image.deviceIndependentSize();
    if (image.isNull() || !(size.width() > 0 && size.height() > 0) || imageSize.isEmpty()) {
        return {};
    }
    QImage scaled(std::max(1, static_cast<int>(std::ceil(size.width() * devicePixelRatio))),
                  std::max(1, static_cast<int>(std::ceil(size.height() * devicePixelRatio))),
                  QImage::Format_ARGB32_Premultiplied);
    scaled.setDevicePixelRatio(devicePixelRatio);
    scaled.fill(Qt::transparent);
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(aspectFitRect(imageSize, QRectF(QPointF(0, 0), size)), image);
    return scaled;
}

void TerminalView::placeImage(std::span<const uint8_t> data, ImageSizeRequest width, ImageSizeRequest height,
                              bool preserveAspectRatio)
{
    if (data.empty() || data.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return;
    }
    const QImage image = QImage::fromData(data.data(), static_cast<int>(data.size()));
    if (image.isNull()) {
        return;
    }
    placeImage(image, width, height, preserveAspectRatio);
}

void TerminalView::placeImage(const QImage &image, ImageSizeRequest width, ImageSizeRequest height,
                              bool preserveAspectRatio)
{
    if (image.isNull() || !cellDimension_) {
        return;
    }
    Terminal &t = *terminal_;
    const double s = backingScale();
    const double cw = cellDimension_->width();
    const double ch = cellDimension_->height();

    // A Kitty placement hands its image over with this context set; its stripes carry the placement.
    const std::optional<KittyPlacementContext> context = t.kittyPlacementContext;

    const QSizeF imageSize = image.deviceIndependentSize();
    QSizeF natural = imageSize;
    if (const auto pixels = imagePixelSize(image); context && pixels) {
        natural = QSizeF(pixels->first, pixels->second);
    }
    double w = requestedExtent(width, cw, this->width(), natural.width(), s);
    double h = requestedExtent(height, ch, this->height(), natural.height(), s);

    QImage source = image;
    if (preserveAspectRatio) {
        if (isAutomatic(height) && !isAutomatic(width)) {
            h = imageSize.height() * w / imageSize.width();
        } else if (isAutomatic(width) && !isAutomatic(height)) {
            w = imageSize.width() * h / imageSize.height();
        } else if (!isAutomatic(width) && !isAutomatic(height) && isUsableExtent(w) && isUsableExtent(h)) {
            source =
                scale(image, QSizeF(std::min(w, largestPlacedExtent), std::min(h, largestPlacedExtent)), s);
        }
    }
    if (!isUsableExtent(w) || !isUsableExtent(h) || source.isNull()) {
        return;
    }
    w = std::min(w, largestPlacedExtent);
    h = std::min(h, largestPlacedExtent);

    const auto rows = static_cast<int64_t>(std::ceil(h / ch));
    const auto cols = static_cast<int64_t>(std::ceil(w / cw));
    // The cursor anchors the image's top-left cell.
    const int64_t column = t.buffer->x();
    const int64_t anchorRow = t.buffer->yBase() + t.buffer->y();
    if (context) {
        recordKittyPlacement(*context, column, anchorRow, cols, rows);
    }
    const auto stripeWidth = static_cast<int64_t>(w);
    const auto stripeHeight = static_cast<int64_t>(ch);
    // Source pixels per stripe, the first stripe taken from the top of the image.
    const double band = static_cast<double>(source.height()) / h * ch;
    bool scrolled = false;
    for (int64_t i = 0; i < rows; ++i) {
        Buffer &b = *t.buffer;
        if (stripeWidth > 0 && stripeHeight > 0) {
            auto stripe = std::make_shared<AppleImage>(makeImageStripe(source, i, band, QSizeF(w, ch), s),
                                                       stripeWidth, stripeHeight, column);
            if (context) {
                labelKittyStripe(*stripe, *context, column, anchorRow, cols, rows);
            }
            b.appendLineImage(std::move(stripe), b.yBase() + b.y());
            t.markRowDirty(b.y());
        }
        // A Kitty image leaves the cursor on its last row, so no line feed follows that row: it would
        // scroll an image that ends on the bottom row.
        if (context && i + 1 == rows) {
            break;
        }
        const int64_t yBase = b.yBase();
        const int64_t origin = b.lines().startIndex();
        t.cmdLineFeed();
        // Every stripe starts at the image's left edge; a scroll moved every row.
        t.buffer->setX(column);
        scrolled = scrolled || t.buffer->yBase() != yBase || t.buffer->lines().startIndex() != origin;
    }
    if (scrolled) {
        t.markAllRowsDirty();
    }
    if (context && context->cursorPolicy == 0) {
        // The cell right after the image's last cell: on its last row, right of its last column.
        Buffer &b = *t.buffer;
        const int64_t cursorCol = column + std::max<int64_t>(cols, 1);
        const int64_t cursorRow = anchorRow + std::max<int64_t>(rows, 1) - 1 - b.yBase();
        if (cursorCol >= 0) {
            b.setX(cursorCol);
        }
        if (cursorRow >= 0) {
            b.setY(cursorRow);
        }
        t.clampCursor(true);
    }
}

void TerminalView::recordKittyPlacement(const KittyPlacementContext &context, int64_t col, int64_t row,
                                        int64_t cols, int64_t rows)
{
    if (!context.imageId || !context.placementId) {
        return;
    }
    Terminal &t = *terminal_;
    t.kittyGraphicsState.placementsByKey[{*context.imageId, *context.placementId}] = KittyPlacementRecord{
        .imageId = *context.imageId,
        .placementId = *context.placementId,
        .parentImageId = context.parentImageId,
        .parentPlacementId = context.parentPlacementId,
        .parentOffsetH = context.parentOffsetH,
        .parentOffsetV = context.parentOffsetV,
        .pixelOffsetX = context.pixelOffsetX,
        .pixelOffsetY = context.pixelOffsetY,
        .col = col,
        .row = row,
        .cols = cols,
        .rows = rows,
        .zIndex = context.zIndex,
        .isVirtual = false,
        .isAlternateBuffer = t.isAlternateBufferActive(),
    };
}

void TerminalView::labelKittyStripe(AppleImage &stripe, const KittyPlacementContext &context, int64_t col,
                                    int64_t row, int64_t cols, int64_t rows)
{
    stripe.kittyIsKitty = true;
    stripe.kittyImageId = context.imageId;
    stripe.kittyImageNumber = context.imageNumber;
    stripe.kittyPlacementId = context.placementId;
    stripe.kittyZIndex = context.zIndex;
    stripe.kittyPixelOffsetX = context.pixelOffsetX;
    stripe.kittyPixelOffsetY = context.pixelOffsetY;
    stripe.kittyCol = col;
    stripe.kittyRow = row;
    stripe.kittyCols = cols;
    stripe.kittyRows = rows;
}

QImage TerminalView::makeImageStripe(const QImage &source, int64_t index, double band, QSizeF size,
                                     double scale)
{
    QImage stripe(std::max(1, static_cast<int>(std::round(size.width() * scale))),
                  std::max(1, static_cast<int>(std::round(size.height() * scale))),
                  QImage::Format_ARGB32_Premultiplied);
    stripe.setDevicePixelRatio(scale);
    stripe.fill(Qt::transparent);
    // The last band may run past the image's bottom: only what is there is drawn, at the same scale.
    const double top = static_cast<double>(index) * band;
    const double bottom = std::min(top + band, static_cast<double>(source.height()));
    if (bottom > top) {
        QPainter painter(&stripe);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRectF(0, 0, size.width(), size.height() * (bottom - top) / band), source,
                          QRectF(0, top, source.width(), bottom - top));
    }
    return stripe;
}

void TerminalView::terminalBitmapImage(Terminal &, std::span<const uint8_t> bytes, int64_t width,
                                       int64_t height)
{
    const std::optional<QImage> image = imageFromStraightRgba(bytes, width, height);
    if (!image) {
        return;
    }
    if (const std::optional<KittyPlacementContext> &context = terminal_->kittyPlacementContext) {
        placeImage(*image, context->widthRequest, context->heightRequest, context->preserveAspectRatio);
        return;
    }
    // A bitmap wider than the view is shrunk to the view's width.
    const ImageSizeRequest widthRequest = this->width() < static_cast<double>(width)
                                              ? ImageSizeRequest::percent(100)
                                              : ImageSizeRequest::automatic();
    placeImage(*image, widthRequest, ImageSizeRequest::automatic(), true);
}

void TerminalView::terminalInlineImage(Terminal &, std::span<const uint8_t> data, ImageSizeRequest width,
                                       ImageSizeRequest height, bool preserveAspectRatio)
{
    placeImage(data, width, height, preserveAspectRatio);
}

} // namespace kestrix
