#include "Kestrix/model/Base64.h"
#include "Kestrix/rendering/AppleImage.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;
using Position = std::pair<int64_t, int64_t>;

// 16 × 30: red on top, blue below; two cells wide and two rows high at scale 1.
QImage twoBandImage()
{
    QImage image(16, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    QPainter(&image).fillRect(0, 15, 16, 15, Qt::blue);
    return image;
}

std::vector<std::shared_ptr<AppleImage>> stripesOn(Terminal &t, int64_t row)
{
    std::vector<std::shared_ptr<AppleImage>> stripes;
    const BufferLine &line = t.buffer->lines()[row];
    if (line.images) {
        for (const auto &each : *line.images) {
            stripes.push_back(std::dynamic_pointer_cast<AppleImage>(each));
        }
    }
    return stripes;
}

int64_t stripeCount(Terminal &t)
{
    int64_t count = 0;
    for (int64_t row = 0; row < t.buffer->lines().count(); ++row) {
        count += static_cast<int64_t>(stripesOn(t, row).size());
    }
    return count;
}

struct ImagesFixture : ::testing::Test {
    // 10 × 6 cells of 8 × 15; the frame is 95 × 90.
    ViewFixture f{ViewFixture::gridFrame(10, 6)};

    QImage draw()
    {
        QImage image(f.view->size(), QImage::Format_ARGB32);
        QPainter painter(&image);
        f.view->drawTerminalContents(painter, QRectF(image.rect()), f.terminal().buffer->yDisp());
        return image;
    }
};

TEST_F(ImagesFixture, SizeRequestsGiveTheStripeWidthAndCount)
{
    using R = ImageSizeRequest;
    struct Case {
        R width;
        R height;
        bool preserve;
        double scale;
        int64_t stripeWidth;
        int64_t stripes;
    };
    const Case cases[] = {
        {R::automatic(), R::automatic(), true, 1, 16, 2},
        // Automatic sizes are the image's pixels shown as device pixels.
        {R::automatic(), R::automatic(), true, 2, 8, 1},
        {R::cells(4), R::automatic(), true, 1, 32, 4},
        {R::automatic(), R::cells(1), true, 1, 8, 1},
        {R::pixels(8), R::pixels(45), false, 1, 8, 3},
        {R::percent(50), R::automatic(), false, 1, 47, 2},
        {R::pixels(40), R::pixels(15), true, 1, 40, 1},
        // A host cannot ask for an image of unbounded size.
        {R::pixels(int64_t{1} << 40), R::pixels(int64_t{1} << 40), false, 1, 4096, 274},
        {R::pixels(0), R::automatic(), true, 1, 0, 0},
        {R::pixels(-5), R::pixels(-5), false, 1, 0, 0},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(::testing::Message() << each.stripeWidth << " x " << each.stripes);
        f.backingScale = each.scale;
        f.view->resetFontMetrics();
        f.terminal().feedString("\x1b[H\x1b[2J\x1b[3J");
        f.view->placeImage(twoBandImage(), each.width, each.height, each.preserve);
        EXPECT_EQ(stripeCount(f.terminal()), each.stripes);
        if (each.stripes > 0) {
            EXPECT_EQ(stripesOn(f.terminal(), 0).at(0)->pixelWidth(), each.stripeWidth);
        }
    }
}

TEST_F(ImagesFixture, StripesShowSuccessiveBandsAndTheCursorEndsBelowAtItsColumn)
{
    f.terminal().feedString("\x1b[2;3H");
    f.view->placeImage(twoBandImage(), ImageSizeRequest::automatic(), ImageSizeRequest::automatic(), true);
    EXPECT_EQ(f.terminal().cursorPosition(), Position(2, 3));
    ASSERT_EQ(stripesOn(f.terminal(), 1).size(), 1u);
    EXPECT_EQ(stripesOn(f.terminal(), 1)[0]->col(), 2);
    const QImage drawn = draw();
    EXPECT_EQ(drawn.pixelColor(2 * 8 + 4, 15 + 7), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(2 * 8 + 12, 30 + 14), QColor(Qt::blue));
    EXPECT_NE(drawn.pixelColor(2 * 8 + 4, 45 + 2), QColor(Qt::blue));
}

TEST_F(ImagesFixture, AnImageAtTheBottomScrollsTheScreenAndRepaintsEveryRow)
{
    f.terminal().feedString("\x1b[6;1Htop");
    f.terminal().resetDirtyRows();
    f.terminal().feedString("\x1b[6;1H");
    f.view->placeImage(twoBandImage(), ImageSizeRequest::automatic(), ImageSizeRequest::automatic(), true);
    EXPECT_EQ(f.terminal().dirtyRowRange(), Position(0, 6));
    EXPECT_EQ(f.terminal().cursorPosition(), Position(0, 5));
    // Both stripes went up with their lines: the second sits just above the cursor.
    const Buffer &b = *f.terminal().buffer;
    EXPECT_EQ(stripesOn(f.terminal(), b.yBase() + 4).size(), 1u);
    EXPECT_EQ(stripesOn(f.terminal(), b.yBase() + 3).size(), 1u);
}

TEST_F(ImagesFixture, InlinePngFromTheHostIsPlacedAndUndecodableDataIsNot)
{
    QByteArray png;
    QBuffer buffer(&png);
    twoBandImage().save(&buffer, "PNG");
    const std::vector<uint8_t> bytes(png.begin(), png.end());
    f.view->feedHostOutput("\x1b]1337;File=inline=1:" + Base64::encode(bytes) + "\x07");
    EXPECT_EQ(stripeCount(f.terminal()), 2);

    f.view->feedHostOutput("\x1b]1337;File=inline=1:" +
                           Base64::encode(std::vector<uint8_t>(40, static_cast<uint8_t>(120))) + "\x07");
    EXPECT_EQ(stripeCount(f.terminal()), 2);
}

TEST_F(ImagesFixture, SixelWiderThanTheViewShrinksToItsWidthAndANarrowOneKeepsItsSize)
{
    // 200 × 6 and 20 × 6 pixels of red.
    f.view->feedHostOutput("\x1bPq#0;2;100;0;0#0!200~\x1b\\");
    ASSERT_EQ(stripesOn(f.terminal(), 0).size(), 1u);
    EXPECT_EQ(stripesOn(f.terminal(), 0)[0]->pixelWidth(), f.view->width());

    f.view->feedHostOutput("\x1bPq#0;2;100;0;0#0!20~\x1b\\");
    ASSERT_EQ(stripesOn(f.terminal(), 1).size(), 1u);
    EXPECT_EQ(stripesOn(f.terminal(), 1)[0]->pixelWidth(), 20);
    EXPECT_EQ(draw().pixelColor(10, 15 + 3), QColor(Qt::red));
}

TEST_F(ImagesFixture, TranslucentBitmapPixelsBlendWithWhatIsBelow)
{
    f.view->setNativeBackgroundColor(Qt::black);
    const std::vector<uint8_t> halfRed{255, 0, 0, 128};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 16 * 15; ++i) {
        bytes.insert(bytes.end(), halfRed.begin(), halfRed.end());
    }
    f.view->terminalBitmapImage(f.terminal(), bytes, 16, 15);
    const QColor drawn = draw().pixelColor(4, 7);
    EXPECT_NEAR(drawn.red(), 128, 2);
    EXPECT_EQ(drawn.green(), 0);
}

TEST_F(ImagesFixture, KittyPlacementsLabelTheirStripesAndAreRecordedUnderBothIds)
{
    Terminal &t = f.terminal();
    t.feedString("\x1b[2;4H");
    t.kittyPlacementContext = KittyPlacementContext{.imageId = 7,
                                                    .imageNumber = 70,
                                                    .placementId = 3,
                                                    .zIndex = -2,
                                                    .widthRequest = ImageSizeRequest::cells(3),
                                                    .heightRequest = ImageSizeRequest::cells(2),
                                                    .preserveAspectRatio = false,
                                                    .pixelOffsetX = 1,
                                                    .pixelOffsetY = 2};
    // RGBA pixels arrive as a bitmap and take the placement's size requests.
    f.view->terminalBitmapImage(t, std::vector<uint8_t>(4 * 4 * 4, 255), 4, 4);
    t.kittyPlacementContext.reset();

    for (int64_t row : {1, 2}) {
        const auto stripes = stripesOn(t, row);
        ASSERT_EQ(stripes.size(), 1u);
        const AppleImage &stripe = *stripes[0];
        EXPECT_TRUE(stripe.kittyIsKitty);
        EXPECT_EQ(stripe.pixelWidth(), 24);
        EXPECT_EQ(stripe.kittyImageId, 7u);
        EXPECT_EQ(stripe.kittyImageNumber, 70u);
        EXPECT_EQ(stripe.kittyPlacementId, 3u);
        EXPECT_EQ(stripe.kittyZIndex, -2);
        EXPECT_EQ(std::tuple(stripe.kittyCol, stripe.kittyRow, stripe.kittyCols, stripe.kittyRows),
                  std::tuple(3, 1, 3, 2));
        EXPECT_EQ(std::pair(stripe.kittyPixelOffsetX, stripe.kittyPixelOffsetY), Position(1, 2));
    }
    const auto record = t.kittyGraphicsState.placementsByKey.find({7, 3});
    ASSERT_NE(record, t.kittyGraphicsState.placementsByKey.end());
    EXPECT_EQ(std::tuple(record->second.col, record->second.row, record->second.cols, record->second.rows),
              std::tuple(3, 1, 3, 2));
    EXPECT_FALSE(record->second.isVirtual);
    EXPECT_FALSE(record->second.isAlternateBuffer);
    // Cursor movement 0: right of the image on its last row.
    EXPECT_EQ(t.cursorPosition(), Position(6, 2));
}

TEST_F(ImagesFixture, KittyPlacementsWithoutAPlacementIdAreNotRecordedAndOtherImagesAreNotLabelled)
{
    Terminal &t = f.terminal();
    t.kittyPlacementContext = KittyPlacementContext{.imageId = 7, .cursorPolicy = 1};
    f.view->placeImage(twoBandImage(), ImageSizeRequest::automatic(), ImageSizeRequest::automatic(), true);
    t.kittyPlacementContext.reset();
    EXPECT_TRUE(t.kittyGraphicsState.placementsByKey.empty());
    EXPECT_TRUE(stripesOn(t, 0).at(0)->kittyIsKitty);
    // Only the line feeds between the stripes moved the cursor.
    EXPECT_EQ(t.cursorPosition(), Position(0, 1));

    f.view->placeImage(twoBandImage(), ImageSizeRequest::automatic(), ImageSizeRequest::automatic(), true);
    EXPECT_FALSE(stripesOn(t, 2).at(0)->kittyIsKitty);
    EXPECT_EQ(stripesOn(t, 2).at(0)->kittyImageId, std::nullopt);
}

TEST(ImageScaling, FitsTheImageInsideAndReportsPixelSizes)
{
    const QImage scaled = TerminalView::scale(twoBandImage(), QSizeF(32, 30), 2);
    EXPECT_EQ(scaled.size(), QSize(64, 60));
    EXPECT_EQ(scaled.deviceIndependentSize(), QSizeF(32, 30));
    // Centred: transparent margins left and right of a 16-wide picture.
    EXPECT_EQ(scaled.pixelColor(4, 10).alpha(), 0);
    EXPECT_EQ(scaled.pixelColor(32, 10), QColor(Qt::red));
    EXPECT_EQ(scaled.pixelColor(32, 50), QColor(Qt::blue));
    EXPECT_EQ(TerminalView::imagePixelSize(twoBandImage()), std::pair(16.0, 30.0));
    EXPECT_EQ(TerminalView::imagePixelSize(QImage()), std::nullopt);
}

} // namespace
} // namespace kestrix
