#include "Kestrix/graphics/KittyGraphicsState.h"
#include "Kestrix/rendering/AppleImage.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;
using Color_ = Attribute::Color;

const QColor untouched(255, 0, 255);

// A 10 × 3 grid of 8 × 15 cells; the frame is 95 wide with the scroller, and `extraHeight` below
// the last row.
struct RendererFixture : ::testing::Test {
    explicit RendererFixture(int extraHeight = 0)
        : f(QRect(0, 0, 95, 45 + extraHeight))
    {
    }

    void feed(std::string_view text) { f.view->feedHostOutput(text); }

    QImage draw(std::optional<QRectF> dirty = std::nullopt)
    {
        QImage image(f.view->size(), QImage::Format_ARGB32);
        image.fill(untouched);
        QPainter painter(&image);
        f.view->drawTerminalContents(painter, dirty.value_or(QRectF(image.rect())),
                                     f.terminal().buffer->yDisp());
        return image;
    }

    QColor palette(uint8_t index) { return f.view->nsColor(Color_::ansi256(index), false, false, true); }
    QColor nativeBg() { return f.view->nativeBackgroundColor(); }

    void attach(std::shared_ptr<AppleImage> image, int64_t row = 0)
    {
        f.terminal().buffer->appendLineImage(std::move(image), row);
    }

    static std::shared_ptr<AppleImage> solidImage(QColor color, std::optional<int64_t> kittyZ,
                                                  uint32_t id = 1)
    {
        QImage pixels(8, 15, QImage::Format_ARGB32_Premultiplied);
        pixels.fill(color);
        auto image = std::make_shared<AppleImage>(pixels, 8, 15, 0);
        if (kittyZ) {
            image->kittyIsKitty = true;
            image->kittyZIndex = *kittyZ;
            image->kittyImageId = id;
        }
        return image;
    }

    ViewFixture f;
};

TEST_F(RendererFixture, RightMarginShowsTheDefaultBackgroundBesideALastCellWithItsOwn)
{
    feed("\x1b[1;10H\x1b[41m \x1b[2;1H\x1b[44m\x1b[K");
    const QImage image = draw();
    EXPECT_EQ(image.pixelColor(9 * 8 + 4, 7), palette(1));
    EXPECT_EQ(image.pixelColor(84, 7), nativeBg());
    EXPECT_EQ(image.pixelColor(94, 7), nativeBg());
    // A whole row of colour stops at the grid too.
    EXPECT_EQ(image.pixelColor(2, 22), palette(4));
    EXPECT_EQ(image.pixelColor(79, 22), palette(4));
    EXPECT_EQ(image.pixelColor(84, 22), nativeBg());
}

TEST_F(RendererFixture, DefaultBackgroundOnTheLastCellRunsOnToTheFrameEdge)
{
    f.view->setNativeBackgroundColor(QColor(10, 20, 30));
    feed("\x1b[41mab\x1b[0m");
    const QImage image = draw();
    EXPECT_EQ(image.pixelColor(4, 2), palette(1));
    EXPECT_EQ(image.pixelColor(60, 2), QColor(10, 20, 30));
    EXPECT_EQ(image.pixelColor(94, 2), QColor(10, 20, 30));
}

TEST_F(RendererFixture, SelectionColourIsPaintedInsteadOfTheCellBackground)
{
    feed("\x1b[42m    ");
    f.view->selection()->setSelection({1, 0}, {3, 0});
    const QImage image = draw();
    EXPECT_EQ(image.pixelColor(4, 1), palette(2));
    EXPECT_EQ(image.pixelColor(12, 1), f.view->selectedTextBackgroundColor());
    EXPECT_EQ(image.pixelColor(20, 1), f.view->selectedTextBackgroundColor());
    EXPECT_EQ(image.pixelColor(28, 1), palette(2));
}

TEST_F(RendererFixture, KittyImagesBelowZeroLieUnderTheTextAndTheRestOverIt)
{
    // A full block in red fills the cell, as text would.
    feed("\x1b[31m\u2588");
    attach(solidImage(Qt::green, -1));
    EXPECT_EQ(draw().pixelColor(4, 7), palette(1));

    attach(solidImage(Qt::blue, 1, 2));
    attach(solidImage(Qt::yellow, 0, 9));
    // Sorted by z: yellow (z 0) first, blue (z 1) over it.
    EXPECT_EQ(draw().pixelColor(4, 7), QColor(Qt::blue));
}

TEST_F(RendererFixture, KittyPixelOffsetsMoveTheImageRightAndDownWithinItsCell)
{
    auto image = solidImage(Qt::green, 0);
    image->kittyPixelOffsetX = 3;
    image->kittyPixelOffsetY = 5;
    attach(image);
    const QImage drawn = draw();
    EXPECT_NE(drawn.pixelColor(4, 2), QColor(Qt::green));
    EXPECT_NE(drawn.pixelColor(1, 7), QColor(Qt::green));
    EXPECT_EQ(drawn.pixelColor(4, 7), QColor(Qt::green));
    EXPECT_EQ(drawn.pixelColor(10, 14), QColor(Qt::green));
}

TEST_F(RendererFixture, ImagesWithoutKittyPlacementAreDrawnOverTheText)
{
    feed("\x1b[31m\u2588");
    attach(solidImage(Qt::green, std::nullopt));
    EXPECT_EQ(draw().pixelColor(4, 7), QColor(Qt::green));
}

struct TallRendererFixture : RendererFixture {
    TallRendererFixture()
        : RendererFixture(7)
    {
    }
};

TEST_F(TallRendererFixture, StripBelowTheLastWholeRowShowsTheDefaultBackground)
{
    ASSERT_EQ(f.terminal().rows, 3);
    feed("\x1b[41m\x1b[3;1H\x1b[K");
    EXPECT_EQ(draw().pixelColor(40, 49), nativeBg());
    EXPECT_EQ(draw().pixelColor(40, 44), palette(1));
    // A rectangle over the first row alone leaves the strip and the rows under it alone.
    const QImage top = draw(QRectF(0, 0, 95, 10));
    EXPECT_EQ(top.pixelColor(40, 49), untouched);
    EXPECT_EQ(top.pixelColor(40, 40), untouched);
}

TEST_F(RendererFixture, DoubleHeightRowStaysInItsBandAndIsDrawnAcrossTheWholeWidth)
{
    feed("\x1b[2;1H\x1b#3\x1b[41m\x1b[K");
    // Only the right half of the view needs drawing.
    const QImage image = draw(QRectF(48, 0, 47, 45));
    EXPECT_EQ(image.pixelColor(60, 22), palette(1));
    EXPECT_NE(image.pixelColor(60, 10), palette(1));
    EXPECT_NE(image.pixelColor(60, 34), palette(1));
}

TEST_F(RendererFixture, CellsAfterClustersAndFallbackTextSitOnTheirOwnColumns)
{
    // Row 0 is the reference; every other row differs only in its first cell. The heart is wider
    // than its cell, so the comparison starts one cell further on.
    feed("xAxWx\r\n");
    feed("e\u0301\u0323AxWx\r\n");
    feed("\u2764\uFE0EAxWx");
    const QImage image = draw();
    const QImage reference = image.copy(16, 0, 24, 15);
    EXPECT_EQ(image.copy(16, 15, 24, 15), reference);
    EXPECT_EQ(image.copy(16, 30, 24, 15), reference);
}

TEST_F(RendererFixture, UnderlinesOfEveryKindAreDrawnUnderTheirCellsInTheUnderlineColour)
{
    const char *kinds[] = {"4", "4:2", "4:3", "4:4", "4:5", "9"};
    for (const char *kind : kinds) {
        feed("\x1b[H\x1b[2J\x1b[");
        feed(kind);
        feed(";58:2::255:0:0m\x1b[2C    \x1b[0m");
        const QImage image = draw();
        int red = 0;
        int redOutside = 0;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 95; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                const bool isRed = pixel.red() > 200 && pixel.green() < 60 && pixel.blue() < 60;
                const bool isStrike = std::string_view(kind) == "9";
                const bool colour = isStrike ? pixel != nativeBg() : isRed;
                if (colour) {
                    (x >= 16 && x < 48 ? red : redOutside) += 1;
                }
            }
        }
        EXPECT_GT(red, 4) << kind;
        EXPECT_EQ(redOutside, 0) << kind;
    }
}

TEST_F(RendererFixture, PictureEmojiAreDrawnInColourAndTextStyleEmojiAsText)
{
    const QStringList families = QFontDatabase::families();
    if (std::ranges::none_of(families, [](const QString &family) { return family.contains("Emoji"); })) {
        GTEST_SKIP() << "no emoji face installed";
    }
    const auto colouredPixels = [&](int row) {
        const QImage image = draw();
        int coloured = 0;
        for (int y = row * 15; y < row * 15 + 15; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                coloured += std::abs(pixel.red() - pixel.blue()) > 60 ? 1 : 0;
            }
        }
        return coloured;
    };
    feed("\U0001F600\r\n\u263A\uFE0F\r\n\u263A");
    EXPECT_GT(colouredPixels(0), 10);
    EXPECT_GT(colouredPixels(1), 10);
    EXPECT_EQ(colouredPixels(2), 0);
}

// A 16 × 30 picture of four quadrants, stored as Kitty image `id` with a virtual placement of
// `cols` × `rows` cells.
void storeQuadrantImage(Terminal &t, uint32_t id, uint32_t placementId, int64_t cols, int64_t rows)
{
    const QColor quadrants[2][2] = {{Qt::red, Qt::green}, {Qt::blue, Qt::yellow}};
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QColor c = quadrants[y / 15][x / 8];
            pixels.insert(pixels.end(), {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                                         static_cast<uint8_t>(c.blue()), 255});
        }
    }
    t.kittyGraphicsState.imagesById.emplace(
        id, KittyGraphicsImage{KittyGraphicsPayload::rgba(std::move(pixels), 16, 30), 16 * 30 * 4, 1, 1});
    t.kittyGraphicsState.placementsByKey[{id, placementId}] = KittyPlacementRecord{
        .imageId = id, .placementId = placementId, .cols = cols, .rows = rows, .isVirtual = true};
}

TEST_F(RendererFixture, KittyPlaceholderCellsShowTheirSliceOfThePlacement)
{
    storeQuadrantImage(f.terminal(), 5, 2, 2, 2);
    // Image 5 (foreground), placement 2 (underline colour): two rows of two cells from column 1.
    feed("\x1b[38;5;5;58;5;2m\x1b[1;2H\U0010EEEE\u0305\u0305\U0010EEEE"
         "\x1b[2;2H\U0010EEEE\u030D\u0305\U0010EEEE");
    const QImage image = draw();
    EXPECT_EQ(image.pixelColor(8 + 4, 7), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(16 + 4, 7), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(8 + 4, 15 + 7), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(16 + 4, 15 + 7), QColor(Qt::yellow));
    // Nothing spills out of the cells.
    EXPECT_EQ(image.pixelColor(4, 7), nativeBg());
    EXPECT_EQ(image.pixelColor(24 + 4, 15 + 7), nativeBg());
}

TEST_F(RendererFixture, KittyPlaceholdersWithoutAMatchingPlacementOrImageShowNothing)
{
    storeQuadrantImage(f.terminal(), 5, 2, 1, 1);
    f.terminal().kittyGraphicsState.placementsByKey[{9, 1}] =
        KittyPlacementRecord{.imageId = 9, .placementId = 1, .cols = 1, .rows = 1, .isVirtual = true};
    // Outside the 1 × 1 placement; another placement id; an image that is not stored; a placement of
    // the other screen.
    feed("\x1b[38;5;5;58;5;2m\U0010EEEE\u0305\u030D \x1b[58;5;3m\U0010EEEE \x1b[38;5;9;58;5;1m\U0010EEEE");
    f.terminal().kittyGraphicsState.placementsByKey[{5, 7}] = KittyPlacementRecord{
        .imageId = 5, .placementId = 7, .cols = 1, .rows = 1, .isVirtual = true, .isAlternateBuffer = true};
    feed("\x1b[38;5;5;58;5;7m \U0010EEEE");
    const QImage image = draw();
    for (int col : {0, 2, 4, 6}) {
        EXPECT_EQ(image.pixelColor(col * 8 + 4, 7), nativeBg()) << col;
    }
    // Placement id 0 takes any placement of the image.
    feed("\x1b[2;1H\x1b[38;5;5;59m\U0010EEEE");
    // The whole picture shrinks into the one cell: red at its top left, yellow at its bottom right.
    const QImage any = draw();
    EXPECT_EQ(any.pixelColor(1, 15 + 2), QColor(Qt::red));
    EXPECT_EQ(any.pixelColor(6, 15 + 12), QColor(Qt::yellow));
}

TEST(StraightRgba, ColoursArePremultipliedAndUnusableSizesGiveNothing)
{
    const std::vector<uint8_t> pixel{255, 0, 0, 128};
    const auto image = imageFromStraightRgba(pixel, 1, 1);
    ASSERT_TRUE(image);
    const QRgb premultiplied = reinterpret_cast<const QRgb *>(image->constBits())[0];
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&premultiplied);
    EXPECT_EQ(image->format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(bytes[0], 128);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[3], 128);
    EXPECT_EQ(imageFromStraightRgba(pixel, 2, 1), std::nullopt);
    EXPECT_EQ(imageFromStraightRgba(pixel, 0, 1), std::nullopt);
    EXPECT_EQ(imageFromStraightRgba(pixel, -1, -1), std::nullopt);
    EXPECT_EQ(imageFromStraightRgba(pixel, 1 << 20, 1 << 20), std::nullopt);
}

TEST(AspectFit, ScalesToFitAndCentres)
{
    EXPECT_EQ(aspectFitRect({20, 10}, {0, 0, 10, 10}), QRectF(0, 2.5, 10, 5));
    EXPECT_EQ(aspectFitRect({0, 10}, {1, 2, 10, 10}), QRectF(1, 2, 10, 10));
}

} // namespace
} // namespace kestrix
