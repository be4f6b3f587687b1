#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/rendering/gpu/TextShaper.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// A renderer whose view has been shown once, so its atlases exist; the view's context is current.
struct ReadyRenderer {
    explicit ReadyRenderer(QSize size = {64, 48})
    {
        view.resize(size);
        view.setDelegate(&renderer);
        view.grabFramebuffer();
        view.makeCurrent();
    }
    ~ReadyRenderer()
    {
        view.doneCurrent();
        view.setDelegate(nullptr);
    }

    MetalView view;
    MetalTerminalRenderer renderer{nullptr, &view};
};

QRawFont rawFont(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    return QRawFont::fromFont(font);
}

quint32 glyphFor(const QRawFont &font, QChar character)
{
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(character));
    return glyphs.isEmpty() ? 0 : glyphs.front();
}

TEST(MetalGlyphEntries, GlyphIsPlacedOnceAndSharedByEqualFonts)
{
    ReadyRenderer ready;
    MetalTerminalRenderer &renderer = ready.renderer;
    const QRawFont font = rawFont("DejaVu Sans Mono", 20);
    const std::optional<GlyphEntry> first = renderer.glyphEntry(glyphFor(font, 'A'), font);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->atlasKind, GlyphAtlasKind::grayscale);
    EXPECT_EQ(first->region.x, 1);
    const int nextX = renderer.grayscaleAtlas->nextX();
    const QRawFont same = rawFont("DejaVu Sans Mono", 20);
    const std::optional<GlyphEntry> again = renderer.glyphEntry(glyphFor(same, 'A'), same);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->region, first->region);
    EXPECT_EQ(renderer.grayscaleAtlas->nextX(), nextX);
    EXPECT_EQ(renderer.glyphCache.size(), 1u);
    EXPECT_FALSE(renderer.atlasInvalidatedDuringBuild);

    EXPECT_FALSE(renderer.glyphEntry(glyphFor(font, ' '), font));
    EXPECT_EQ(renderer.glyphCache.size(), 1u);

    const QRawFont emoji = rawFont("Noto Color Emoji", 20);
    const std::optional<GlyphEntry> colour = renderer.glyphEntry(emoji.glyphIndexesForString("😀").front(), emoji);
    ASSERT_TRUE(colour);
    EXPECT_TRUE(colour->isColor);
    EXPECT_EQ(colour->atlasKind, GlyphAtlasKind::color);
}

TEST(MetalGlyphEntries, ScaledFontsAreMadeOncePerSize)
{
    ReadyRenderer ready;
    const QRawFont font = rawFont("DejaVu Sans Mono", 13);
    const QRawFont doubled = ready.renderer.scaledFont(font, 2);
    EXPECT_DOUBLE_EQ(doubled.pixelSize(), 26);
    ready.renderer.scaledFont(font, 2);
    EXPECT_EQ(ready.renderer.scaledFontCache.size(), 1u);
}

TEST(MetalGlyphEntries, GrowthKeepsEntriesButAsksForAnotherBuild)
{
    ReadyRenderer ready;
    MetalTerminalRenderer &renderer = ready.renderer;
    const QRawFont font = rawFont("DejaVu Sans Mono", 300);
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (const QChar letter : letters) {
        ASSERT_TRUE(renderer.glyphEntry(glyphFor(font, letter), font)) << letter.toLatin1();
    }
    EXPECT_GT(renderer.grayscaleAtlas->size(), 1024);
    EXPECT_TRUE(renderer.atlasInvalidatedDuringBuild);
    EXPECT_EQ(renderer.glyphCache.size(), static_cast<size_t>(letters.size()));
}

TEST(MetalGlyphEntries, ResetOfEitherAtlasEmptiesBothGlyphCaches)
{
    qputenv("KESTRIX_ATLAS_MAX", "256");
    ReadyRenderer ready;
    qunsetenv("KESTRIX_ATLAS_MAX");
    MetalTerminalRenderer &renderer = ready.renderer;
    ASSERT_EQ(renderer.grayscaleAtlas->maxSize(), 256);
    ASSERT_TRUE(renderer.customGlyphEntry(0x2500, 8, 16, 1, true, 1));
    const QRawFont font = rawFont("DejaVu Sans Mono", 160);
    bool reset = false;
    for (const QChar letter : QStringLiteral("MWHNBD")) {
        ASSERT_TRUE(renderer.glyphEntry(glyphFor(font, letter), font));
        reset = reset || renderer.grayscaleAtlas->didReset();
        if (reset) {
            break;
        }
    }
    ASSERT_TRUE(reset);
    EXPECT_EQ(renderer.glyphCache.size(), 1u);
    EXPECT_TRUE(renderer.customGlyphCache.empty());
    EXPECT_TRUE(renderer.atlasInvalidatedDuringBuild);
}

// The coverage of the custom glyph's atlas rows, bottom row first.
std::vector<uint8_t> coverage(const MetalTerminalRenderer &renderer, const CustomGlyphEntry &entry)
{
    std::vector<uint8_t> values;
    const GlyphAtlas &atlas = *renderer.grayscaleAtlas;
    for (int y = entry.region.y; y < entry.region.y + entry.region.height; ++y) {
        for (int x = entry.region.x; x < entry.region.x + entry.region.width; ++x) {
            values.push_back(atlas.data()[static_cast<size_t>(y) * static_cast<size_t>(atlas.size()) + static_cast<size_t>(x)]);
        }
    }
    return values;
}

TEST(MetalGlyphEntries, CustomGlyphsAreDrawnFromGeometry)
{
    ReadyRenderer ready;
    MetalTerminalRenderer &renderer = ready.renderer;
    // A light horizontal line: full rows across the middle, nothing elsewhere.
    const std::optional<CustomGlyphEntry> line = renderer.customGlyphEntry(0x2500, 8, 16, 1, false, 1);
    ASSERT_TRUE(line);
    const std::vector<uint8_t> lineCoverage = coverage(renderer, *line);
    EXPECT_EQ(std::count(lineCoverage.begin(), lineCoverage.end(), 255), 8);
    EXPECT_EQ(std::count(lineCoverage.begin(), lineCoverage.end(), 0), 8 * 15);
    EXPECT_EQ(renderer.customGlyphEntry(0x2500, 8, 16, 1, false, 1)->region, line->region);

    // The lower half block at scale 1.5 on 7 × 15 pixels: its edge falls inside a pixel.
    const std::optional<CustomGlyphEntry> snapped = renderer.customGlyphEntry(0x2584, 7, 15, 0, false, 1.5);
    ASSERT_TRUE(snapped);
    for (const uint8_t value : coverage(renderer, *snapped)) {
        EXPECT_TRUE(value == 0 || value == 255);
    }
    const std::optional<CustomGlyphEntry> smooth = renderer.customGlyphEntry(0x2584, 7, 15, 0, true, 1.5);
    ASSERT_TRUE(smooth);
    const std::vector<uint8_t> smoothCoverage = coverage(renderer, *smooth);
    EXPECT_TRUE(std::any_of(smoothCoverage.begin(), smoothCoverage.end(), [](uint8_t v) { return v > 0 && v < 255; }));

    EXPECT_FALSE(renderer.customGlyphEntry('A', 8, 16, 1, true, 1));
    EXPECT_FALSE(renderer.customGlyphEntry(0x2500, 0, 16, 1, true, 1));
    EXPECT_FALSE(renderer.customGlyphEntry(0x2500, 100000, 16, 1, true, 1));
}

TEST(MetalGlyphEntries, GlyphDrawnFromTheAtlasLooksAsQPainterDrawsIt)
{
    ReadyRenderer ready({64, 48});
    MetalTerminalRenderer &renderer = ready.renderer;
    const QRawFont font = rawFont("DejaVu Sans Mono", 28);
    const QColor background(20, 30, 40);
    const QColor ink(240, 200, 60);
    const quint32 glyph = glyphFor(font, 'g');
    const std::optional<GlyphEntry> entry = renderer.glyphEntry(glyph, font);
    ASSERT_TRUE(entry);
    // The glyph origin 20 pixels from the left and 16 from the bottom (32 from the top).
    const float size = static_cast<float>(renderer.grayscaleAtlas->size());
    const TextCell cell{{20.0f + entry->bearingX, 16.0f + entry->bearingY},
                        {static_cast<float>(entry->width), static_cast<float>(entry->height)},
                        {entry->region.x / size, entry->region.y / size},
                        {entry->width / size, entry->height / size},
                        metalRgba(ink)};
    renderer.setClearColor(background);
    FrameDrawData frame;
    frame.glyphCellsGray = {cell};
    renderer.setFrame(std::move(frame));
    ready.view.doneCurrent();
    const QImage drawn = ready.view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);

    QImage expected(64, 48, QImage::Format_RGB32);
    expected.fill(background);
    {
        QPainter painter(&expected);
        painter.setPen(ink);
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes({glyph});
        run.setPositions({QPointF(20, 32)});
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    double total = 0;
    int worst = 0;
    int inked = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            const int difference = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                             std::abs(qBlue(a) - qBlue(b))});
            total += difference;
            worst = std::max(worst, difference);
            inked += b != background.rgb() ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 40);
    // The same coverage blended the same way: at most a rounding step apart.
    EXPECT_LE(worst, 2);
    EXPECT_LT(total / (64 * 48), 0.5);
}

} // namespace
} // namespace kestrix
