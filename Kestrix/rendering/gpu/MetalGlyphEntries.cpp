// Placing font glyphs and the procedural box and block glyphs in the atlases on first use.

#include "Kestrix/rendering/BlockElementRect.h"
#include "Kestrix/rendering/BoxDrawingGlyph.h"
#include "Kestrix/rendering/BoxDrawingPainter.h"
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
    GlyphAtlas &atlas = bitmap->isColor ? *colorAtlas : *grayscaleAtlas;
    const int previousSize = atlas.size();
    const std::optional<AtlasRegion> region = atlas.allocate(bitmap->width, bitmap->height);
    noteAtlasChange(atlas, previousSize);
    if (!region) {
        return std::nullopt;
    }
    atlas.upload(*bitmap, *region);
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
    const int previousSize = grayscaleAtlas->size();
    const std::optional<AtlasRegion> region = grayscaleAtlas->allocate(image.width(), image.height());
    noteAtlasChange(*grayscaleAtlas, previousSize);
    if (!region) {
        return std::nullopt;
    }
    grayscaleAtlas->upload(bitmapOf(image), *region);
    const CustomGlyphEntry entry{*region, image.width(), image.height()};
    customGlyphCache.emplace(key, entry);
    return entry;
}

} // namespace kestrix
