#include "Kestrix/rendering/gpu/CoreTextGlyphRasterizer.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "glyph bitmaps are read as B, G, R, A bytes");

namespace kestrix {

namespace {

// Larger ink than this is no glyph a terminal shows; the atlas could not hold it either.
constexpr double largestSide = 16384;
constexpr double largestStretch = 64;

// Any pixel whose channels differ is colour: a white glyph is gray everywhere.
bool hasColor(const std::vector<uint8_t> &pixels)
{
    for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
        const uint8_t blue = pixels[i];
        const uint8_t green = pixels[i + 1];
        const uint8_t red = pixels[i + 2];
        if (green != red || green != blue) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<GlyphBitmap> CoreTextGlyphRasterizer::rasterize(quint32 glyph, const QRawFont &font, double stretchX,
                                                              double stretchY) const
{
    if (!font.isValid() || !(stretchX > 0) || !(stretchY > 0) || stretchX > largestStretch ||
        stretchY > largestStretch) {
        return std::nullopt;
    }
    // Qt's bounds are y-down from the origin on the baseline; the bitmap's bearing is y-up.
    const QTransform stretch = QTransform::fromScale(stretchX, stretchY);
    const QRectF bounds = stretch.mapRect(font.boundingRect(glyph));
    if (!(bounds.width() > 0) || !(bounds.height() > 0) || bounds.width() > largestSide ||
        bounds.height() > largestSide) {
        return std::nullopt;
    }
    // Text drawn through a scaling transform is hinted at its drawn size, which may put ink up to a
    // font pixel outside the font's box scaled up; a stretched glyph gets that much room on every side.
    const double margin = stretchX != 1 || stretchY != 1 ? std::ceil(std::max(stretchX, stretchY)) : 0;
    const double x0 = std::floor(bounds.left()) - margin;
    const double y0 = std::floor(-bounds.bottom()) - margin;
    const int width = static_cast<int>(std::ceil(bounds.right()) + margin - x0);
    const int height = static_cast<int>(std::ceil(-bounds.top()) + margin - y0);
    if (width < 1 || height < 1) {
        return std::nullopt;
    }

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        // The origin sits so that the ink's lower-left corner lands on the bitmap's.
        const QPointF origin(-x0, height + y0);
        // A stretched glyph is drawn through the same transform as the QPainter path's scaled lines.
        painter.translate(origin);
        painter.scale(stretchX, stretchY);
        const QPainterPath outline = fontSmoothing ? QPainterPath() : font.pathForGlyph(glyph);
        if (!outline.isEmpty()) {
            // Without smoothing the outline is filled with hard edges; a glyph without an outline (a
            // colour bitmap) is drawn as the font gives it.
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.fillPath(outline, Qt::white);
        } else {
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setPen(Qt::white);
            QGlyphRun run;
            run.setRawFont(font);
            run.setGlyphIndexes({glyph});
            run.setPositions({QPointF(0, 0)});
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
    }

    GlyphBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bearingX = static_cast<int>(x0);
    bitmap.bearingY = static_cast<int>(y0);
    bitmap.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    // Format_ARGB32_Premultiplied is a 32-bit word per pixel: B, G, R, A in memory on little-endian.
    for (int row = 0; row < height; ++row) {
        std::memcpy(bitmap.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(width) * 4,
                    image.constScanLine(row), static_cast<size_t>(width) * 4);
    }
    bitmap.isColor = hasColor(bitmap.pixels);
    return bitmap;
}

} // namespace kestrix
