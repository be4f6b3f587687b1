// Placing font glyphs and the procedural box and block glyphs in the atlases on first use.

#include "Kestrix/rendering/BlockElementRect.h"
#include "Kestrix/rendering/BoxDrawingGlyph.h"
#include "Kestrix/rendering/BoxDrawingPainter.h"
#include "Kestrix/rendering/DecorationStrokePainter.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace kestrix {

namespace {

constexpr uint32_t firstBoxDrawing = 0x2500;
constexpr uint32_t lastBoxDrawing = 0x257F;
constexpr uint32_t firstBlockElement = 0x2580;
constexpr uint32_t lastBlockElement = 0x259F;

GlyphBitmap bitmapOf(const QImage &image)
{
    GlyphBitmap bitmap;
    bitmap.width = image.width();
    bitmap.height = image.height();
    bitmap.pixels.resize(static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()) * 4);
    for (int row = 0; row < image.height(); ++row) {
        std::memcpy(bitmap.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(image.width()) * 4,
                    image.constScanLine(row), static_cast<size_t>(image.width()) * 4);
    }
    return bitmap;
}

// The block's rectangles in white at their alpha over an area of the bitmap's size in points.
bool paintBlockElement(QPainter &painter, uint32_t codePoint, const QSizeF &area, double scale, bool antiAlias)
{
    const auto rects = blockElementRects(codePoint);
    if (!rects || rects->empty()) {
        return false;
    }
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::Antialiasing, antiAlias);
    const RectF cell{0, 0, area.width(), area.height()};
    for (const BlockElementRect &rect : *rects) {
        if (const std::optional<RectF> fill = blockElementFillRect(rect, cell, scale, !antiAlias)) {
            QColor white(Qt::white);
            white.setAlphaF(static_cast<float>(blockElementFillAlpha(rect.alpha, 1.0)));
            painter.fillRect(QRectF(fill->x, fill->y, fill->width, fill->height), white);
        }
    }
    return true;
}

} // namespace

QString MetalTerminalRenderer::fontName(const QRawFont &font)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(font.familyName(), font.styleName())
        .arg(font.weight())
        .arg(static_cast<int>(font.style()));
}

QRawFont MetalTerminalRenderer::scaledFont(const QRawFont &font, double scale)
{
    const GlyphKey key{fontName(font), font.pixelSize() * scale, 0};
    if (const auto found = scaledFontCache.find(key); found != scaledFontCache.end()) {
        return found->second;
    }
    QRawFont scaled = font;
    scaled.setPixelSize(key.size);
    scaledFontCache.emplace(key, scaled);
    return scaled;
}

std::optional<AtlasRegion> MetalTerminalRenderer::placeInAtlas(GlyphAtlas &atlas, const GlyphBitmap &bitmap)
{
    const int previousSize = atlas.size();
    const std::optional<AtlasRegion> region = atlas.allocate(bitmap.width, bitmap.height);
    noteAtlasChange(atlas, previousSize);
    if (region) {
        atlas.upload(bitmap, *region);
    }
    return region;
}

std::optional<GlyphEntry> MetalTerminalRenderer::glyphEntry(quint32 glyph, const QRawFont &font, double stretchX,
                                                            double stretchY)
{
    const GlyphKey key{fontName(font), font.pixelSize(), glyph, stretchX, stretchY};
    if (const auto found = glyphCache.find(key); found != glyphCache.end()) {
        return found->second;
    }
    if (!grayscaleAtlas || !colorAtlas) {
        return std::nullopt;
    }
    const std::optional<GlyphBitmap> bitmap = rasterizer.rasterize(glyph, font, stretchX, stretchY);
    if (!bitmap) {
        return std::nullopt;
    }
    const std::optional<AtlasRegion> region =
        placeInAtlas(bitmap->isColor ? *colorAtlas : *grayscaleAtlas, *bitmap);
    if (!region) {
        return std::nullopt;
    }
    const GlyphEntry entry{*region,          bitmap->width,   bitmap->height,
                           bitmap->bearingX, bitmap->bearingY, bitmap->isColor,
                           bitmap->isColor ? GlyphAtlasKind::color : GlyphAtlasKind::grayscale};
    glyphCache.emplace(key, entry);
    return entry;
}

std::optional<CustomGlyphEntry> MetalTerminalRenderer::customGlyphEntry(uint32_t codePoint, int widthPx,
                                                                        int heightPx, int baseThicknessPx,
                                                                        bool antiAlias, double scale, int stretchX,
                                                                        int stretchY)
{
    const CustomGlyphKey key{codePoint, widthPx, heightPx, baseThicknessPx,
                             std::max<int64_t>(1, std::llround(scale)), antiAlias, stretchX, stretchY};
    if (const auto found = customGlyphCache.find(key); found != customGlyphCache.end()) {
        return found->second;
    }
    const bool box = codePoint >= firstBoxDrawing && codePoint <= lastBoxDrawing;
    const bool block = codePoint >= firstBlockElement && codePoint <= lastBlockElement;
    // A cell larger than the atlas could never be placed; it is not drawn at all.
    const int64_t imageWidth = static_cast<int64_t>(widthPx) * stretchX;
    const int64_t imageHeight = static_cast<int64_t>(heightPx) * stretchY;
    if (!(box || block) || widthPx < 1 || heightPx < 1 || stretchX < 1 || stretchY < 1 || !grayscaleAtlas ||
        imageWidth > grayscaleAtlas->maxSize() || imageHeight > grayscaleAtlas->maxSize() || !(scale > 0) ||
        !std::isfinite(scale)) {
        return std::nullopt;
    }
    QImage image(static_cast<int>(imageWidth), static_cast<int>(imageHeight), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        // A stretched cell is the cell's glyph drawn through the QPainter path's scaled row transform.
        painter.scale(stretchX, stretchY);
        const QSizeF area(widthPx / scale, heightPx / scale);
        if (box) {
            const BoxDrawingGlyph geometry =
                drawBoxDrawingCharacter(codePoint, baseThicknessPx, area.width(), area.height(), scale);
            paintBoxDrawingGlyph(painter, geometry, Qt::white);
        } else if (!paintBlockElement(painter, codePoint, area, scale, antiAlias)) {
            return std::nullopt;
        }
    }
    const std::optional<AtlasRegion> region = placeInAtlas(*grayscaleAtlas, bitmapOf(image));
    if (!region) {
        return std::nullopt;
    }
    const CustomGlyphEntry entry{*region, image.width(), image.height()};
    customGlyphCache.emplace(key, entry);
    return entry;
}

std::optional<PlacedStroke> MetalTerminalRenderer::decorationStrokeEntry(const DecorationStroke &stroke,
                                                                         const QTransform &toDevice)
{
    if (stroke.points.size() < 2 || !(stroke.width > 0) || !std::isfinite(stroke.width) || !grayscaleAtlas) {
        return std::nullopt;
    }
    std::vector<QPointF> mapped;
    mapped.reserve(stroke.points.size());
    for (PointF point : stroke.points) {
        mapped.push_back(toDevice.map(QPointF(point.x, point.y)));
    }
    double minX = mapped.front().x();
    double maxX = minX;
    double minY = mapped.front().y();
    double maxY = minY;
    for (const QPointF &point : mapped) {
        if (!std::isfinite(point.x()) || !std::isfinite(point.y())) {
            return std::nullopt;
        }
        minX = std::min(minX, point.x());
        maxX = std::max(maxX, point.x());
        minY = std::min(minY, point.y());
        maxY = std::max(maxY, point.y());
    }
    // Room for the pen (and its caps) on every side, and a pixel more for rounding.
    const double pad = std::ceil(stroke.width * std::max(std::abs(toDevice.m11()), std::abs(toDevice.m22()))) + 2;
    const double left = std::floor(minX - pad);
    const double top = std::floor(minY - pad);
    const double width = std::ceil(maxX + pad) - left;
    const double height = std::ceil(maxY + pad) - top;
    const auto maxSize = static_cast<double>(grayscaleAtlas->maxSize());
    if (!(width >= 1 && height >= 1 && width <= maxSize && height <= maxSize) || std::abs(left) > 1e9 ||
        std::abs(top) > 1e9) {
        return std::nullopt;
    }
    // Moving the bitmap's corner by whole pixels leaves the aliased stroke's pixels as they are, so a
    // stroke of the same shape reuses the bitmap wherever it lies.
    DecorationStrokeKey key{{}, stroke.width, stroke.dash, stroke.gap, stroke.cap == StrokeCap::round,
                            toDevice.m11(), toDevice.m22()};
    key.devicePoints.reserve(mapped.size() * 2);
    for (const QPointF &point : mapped) {
        key.devicePoints.push_back(point.x() - left);
        key.devicePoints.push_back(point.y() - top);
    }
    const auto placed = [&](const CustomGlyphEntry &entry) {
        return PlacedStroke{entry, static_cast<int64_t>(left), static_cast<int64_t>(top)};
    };
    if (const auto found = decorationStrokeCache.find(key); found != decorationStrokeCache.end()) {
        return placed(found->second);
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setTransform(toDevice * QTransform::fromTranslate(-left, -top));
        paintDecorationStroke(painter, stroke, Qt::white);
    }
    const std::optional<AtlasRegion> region = placeInAtlas(*grayscaleAtlas, bitmapOf(image));
    if (!region) {
        return std::nullopt;
    }
    const CustomGlyphEntry entry{*region, image.width(), image.height()};
    decorationStrokeCache.emplace(std::move(key), entry);
    return placed(entry);
}

} // namespace kestrix
