#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalViewMetalFrame.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"
#include "tests/support/KittyImages.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

constexpr int cols = 10;
constexpr int rows = 5;

// Image 7 (one colour per quadrant, two of them see-through) shown through placeholder cells on a
// coloured background at rows 1-2, columns 2-3, with a pixel for each of the placement's pixels (an
// image the GPU has to scale is filtered a little differently); a two-colour Sixel image at row 3 and
// again, twice as large, on the upper half of a double-height line at row 4; a small see-through Kitty
// image placed directly on row 5 with pixel offsets, over a coloured row.
void feedFixture(TerminalView &view, int scale)
{
    const QColor quadrants[2][2] = {{QColor(255, 0, 0), QColor(0, 255, 0, 128)},
                                    {QColor(0, 0, 255, 200), QColor(255, 255, 255, 0)}};
    const int width = 16 * scale;
    const int height = 30 * scale;
    const std::string kitty =
        rgbaPayload(width, height, [&](int x, int y) { return quadrants[2 * y / height][2 * x / width]; });
    view.feedHostOutput("\x1b_Ga=t,f=32,s=" + std::to_string(width) + ",v=" + std::to_string(height) +
                        ",i=7,q=2;" + kitty + "\x1b\\");
    view.feedHostOutput("\x1b_Ga=p,U=1,i=7,c=2,r=2,q=2\x1b\\");
    view.feedHostOutput("\x1b[1;2H\x1b[38;5;7;43m\U0010EEEE\u0305\u0305\U0010EEEE"
                        "\x1b[2;2H\U0010EEEE\u030D\u0305\U0010EEEE\x1b[0m");
    const std::string sixel = "\x1bPq#0;2;100;0;0#1;2;0;0;100#0!16~-#1!16~\x1b\\";
    view.feedHostOutput("\x1b[3;1H" + sixel + "\x1b[4;1H\x1b#3" + sixel);
    const std::string small = rgbaPayload(4, 4, [](int x, int y) { return QColor(x * 60, 200, y * 60, 100 + x * 40); });
    view.feedHostOutput("\x1b[5;1H\x1b[45m\x1b[K\x1b[5;5H\x1b_Ga=T,f=32,s=4,v=4,i=8,X=3,Y=5,q=2;" + small + "\x1b\\");
    // The caret is drawn apart from the rows in the QPainter path.
    view.feedHostOutput("\x1b[?25l");
}

QImage paintedByQPainter(TerminalView &view, double scale)
{
    QImage image((QSizeF(view.size()) * scale).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    view.drawTerminalContents(painter, QRectF(view.rect()), view.getTerminal().buffer->yDisp());
    painter.end();
    return image;
}

class ImagesOnBothRenderers : public ::testing::TestWithParam<int> {};

TEST_P(ImagesOnBothRenderers, SixelKittyAndPlaceholderImagesMatchTheQPainterPath)
{
    const int scale = GetParam();
    ViewFixture f(ViewFixture::gridFrame(cols, rows), ViewFixture::defaultMetrics, scale);
    feedFixture(*f.view, scale);
    const Terminal &t = f.terminal();
    ASSERT_EQ(t.buffer->lines()[2].images.value_or(BufferLine::ImageList{}).size(), 1u);
    ASSERT_EQ(t.buffer->lines()[3].images.value_or(BufferLine::ImageList{}).size(), 1u);
    ASSERT_EQ(t.buffer->lines()[3].renderMode, LineRenderMode::doubledTop);
    ASSERT_EQ(t.buffer->lines()[4].images.value_or(BufferLine::ImageList{}).size(), 1u);
    const QImage expected = paintedByQPainter(*f.view, scale);

    // The GL widget has one device pixel per pixel here, so the frame is built at the test's scale
    // into a widget of the view's size in pixels.
    MetalView metal;
    metal.resize(expected.size());
    MetalTerminalRenderer renderer(nullptr, &metal);
    metal.setDelegate(&renderer);
    metal.grabFramebuffer();
    ASSERT_TRUE(renderer.isReady());
    renderer.setClearColor(f.view->nativeBackgroundColor());
    FrameDrawData frame;
    renderer.setFrameBuilder([&](double) {
        DrawData built = renderer.buildFrameDrawData(scale, makeMetalFrameSource(*f.view));
        frame = built.frame;
        return built;
    });
    const QImage drawn = metal.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), expected.size());
    EXPECT_EQ(frame.placeholderImageDraws.size(), 4u);
    EXPECT_EQ(frame.otherImageDraws.size(), 2u);
    EXPECT_EQ(frame.overImageDraws.size(), 1u);

    // Every pixel (backgrounds and image cells) within one step per channel.
    int worst = 0;
    QPoint worstAt;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            const int difference = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                             std::abs(qBlue(a) - qBlue(b))});
            if (difference > worst) {
                worst = difference;
                worstAt = {x, y};
            }
        }
    }
    EXPECT_LE(worst, 1) << "at " << worstAt.x() << "," << worstAt.y() << ": "
                        << qPrintable(drawn.pixelColor(worstAt).name()) << " instead of "
                        << qPrintable(expected.pixelColor(worstAt).name());
    // The images are there, the right way up: red at the top of the placeholder image and of the
    // Sixel image (its 12 pixels are 12 / scale points), blue below.
    const auto at = [&](double x, double y) { return drawn.pixelColor(static_cast<int>(x * scale), static_cast<int>(y * scale)); };
    EXPECT_EQ(at(8 + 2, 2), QColor(255, 0, 0));
    EXPECT_EQ(at(1, 30 + 2.0 / scale), QColor(255, 0, 0));
    EXPECT_EQ(at(1, 30 + 9.0 / scale), QColor(0, 0, 255));
    // Twice as large on the double-height line: still red where the other is already blue.
    EXPECT_EQ(at(1, 45 + 9.0 / scale), QColor(255, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Scales, ImagesOnBothRenderers, ::testing::Values(1, 2));

TEST(MetalImageTextures, ReleasingTheContextDropsTheCachedRowsWithItsTextures)
{
    ViewFixture f(ViewFixture::gridFrame(cols, rows));
    f.view->feedHostOutput("\x1bPq#0;2;100;0;0#0!16~\x1b\\");
    MetalView metal;
    metal.resize(f.view->size());
    MetalTerminalRenderer renderer(nullptr, &metal);
    metal.setDelegate(&renderer);
    renderer.setFrameBuilder([&](double scale) { return renderer.buildFrameDrawData(scale, makeMetalFrameSource(*f.view)); });
    metal.grabFramebuffer();
    ASSERT_TRUE(renderer.isReady());
    std::weak_ptr<GpuTexture> texture;
    for (const auto &[row, entry] : renderer.rowCache) {
        for (const ImageDraw &draw : entry.data.otherImageDraws) {
            texture = draw.texture;
        }
    }
    ASSERT_FALSE(texture.expired());
    // A texture outliving its context would be deleted through it later.
    metal.makeCurrent();
    renderer.releaseGL(metal);
    metal.doneCurrent();
    EXPECT_TRUE(texture.expired());
    EXPECT_TRUE(renderer.rowCache.empty());
    metal.setDelegate(nullptr);
}

} // namespace
} // namespace kestrix
