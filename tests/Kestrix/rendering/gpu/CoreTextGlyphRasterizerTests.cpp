#include "Kestrix/rendering/gpu/CoreTextGlyphRasterizer.h"
#include "Kestrix/rendering/gpu/TextShaper.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrix {
namespace {

// The first glyph of text in the monospace font (or the fallback that supplies it).
std::pair<quint32, QRawFont> glyphOf(const QString &text, const QString &family = QStringLiteral("DejaVu Sans Mono"),
                                     int pixelSize = 26)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    ShaperCache cache;
    const std::shared_ptr<const ShaperRun> run = shapeText(cache, text, font);
    EXPECT_TRUE(run);
    const ShaperGlyphRun &first = run->glyphRuns.front();
    return {first.glyphs.front(), first.font};
}

TEST(CoreTextGlyphRasterizer, SpaceHasNoBitmap)
{
    const auto [glyph, font] = glyphOf(QStringLiteral(" "));
    EXPECT_FALSE(CoreTextGlyphRasterizer().rasterize(glyph, font));
}

TEST(CoreTextGlyphRasterizer, LetterIsWhiteCoverageWithItsInkBox)
{
    const auto [glyph, font] = glyphOf(QStringLiteral("g"));
    const std::optional<GlyphBitmap> bitmap = CoreTextGlyphRasterizer().rasterize(glyph, font);
    ASSERT_TRUE(bitmap);
    EXPECT_FALSE(bitmap->isColor);
    const QRectF bounds = font.boundingRect(glyph);
    EXPECT_EQ(bitmap->bearingX, static_cast<int>(std::floor(bounds.left())));
    // A descender: the ink starts below the baseline.
    EXPECT_EQ(bitmap->bearingY, static_cast<int>(std::floor(-bounds.bottom())));
    EXPECT_LT(bitmap->bearingY, 0);
    EXPECT_EQ(bitmap->width, static_cast<int>(std::ceil(bounds.right()) - std::floor(bounds.left())));
    EXPECT_EQ(bitmap->height, static_cast<int>(std::ceil(-bounds.top()) - std::floor(-bounds.bottom())));
    ASSERT_EQ(bitmap->pixels.size(), static_cast<size_t>(bitmap->width * bitmap->height * 4));
    int opaque = 0;
    for (size_t i = 0; i < bitmap->pixels.size(); i += 4) {
        // Premultiplied white: every channel equals alpha.
        EXPECT_EQ(bitmap->pixels[i], bitmap->pixels[i + 3]);
        opaque += bitmap->pixels[i + 3] == 255 ? 1 : 0;
    }
    EXPECT_GT(opaque, 10);
    // The bitmap's rows run top to bottom: the descender's tail is in the lower rows, the bowl above.
    const auto rowInk = [&](int row) {
        int sum = 0;
        for (int x = 0; x < bitmap->width; ++x) {
            sum += bitmap->pixels[static_cast<size_t>((row * bitmap->width + x) * 4 + 3)];
        }
        return sum;
    };
    EXPECT_GT(rowInk(0), 0);
    EXPECT_GT(rowInk(bitmap->height - 1), 0);
}

TEST(CoreTextGlyphRasterizer, EmojiIsColour)
{
    const auto [glyph, font] = glyphOf(QStringLiteral("😀"), QStringLiteral("Noto Color Emoji"));
    const std::optional<GlyphBitmap> bitmap = CoreTextGlyphRasterizer().rasterize(glyph, font);
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(bitmap->isColor);
}

TEST(CoreTextGlyphRasterizer, FontSmoothingOffDrawsHardEdges)
{
    const auto [glyph, font] = glyphOf(QStringLiteral("o"));
    CoreTextGlyphRasterizer rasterizer;
    const auto partialPixels = [&] {
        const std::optional<GlyphBitmap> bitmap = rasterizer.rasterize(glyph, font);
        EXPECT_TRUE(bitmap);
        int partial = 0;
        for (size_t i = 3; bitmap && i < bitmap->pixels.size(); i += 4) {
            partial += bitmap->pixels[i] != 0 && bitmap->pixels[i] != 255 ? 1 : 0;
        }
        return partial;
    };
    EXPECT_GT(partialPixels(), 0);
    rasterizer.fontSmoothing = false;
    EXPECT_EQ(partialPixels(), 0);
}

TEST(CoreTextGlyphRasterizer, GrayGlyphOfAColourFontIsNotColour)
{
    // Drawn in white, a glyph without colours of its own stays gray even with smoothing off.
    const auto [glyph, font] = glyphOf(QStringLiteral("#"), QStringLiteral("DejaVu Sans"));
    CoreTextGlyphRasterizer rasterizer;
    rasterizer.fontSmoothing = false;
    const std::optional<GlyphBitmap> bitmap = rasterizer.rasterize(glyph, font);
    ASSERT_TRUE(bitmap);
    EXPECT_FALSE(bitmap->isColor);
}

} // namespace
} // namespace kestrix
