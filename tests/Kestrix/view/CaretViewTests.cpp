#include "Kestrix/view/CaretView.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <QImage>
#include <QPainter>
#include <QPropertyAnimation>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

struct CaretFixture : ::testing::Test {
    CaretView &caret() { return *f.view->caretView(); }

    QImage draw(bool focused)
    {
        QImage image(caret().size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        caret().drawCaretContents(painter, focused);
        return image;
    }

    int countPixels(const QImage &image, const QColor &color)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixel(x, y) == color.rgba() ? 1 : 0;
            }
        }
        return count;
    }

    ViewFixture f{ViewFixture::gridFrame(10, 3)};
};

TEST_F(CaretFixture, CaretSitsOnTheCursorCellAndPassesClicksThrough)
{
    f.view->feedHostOutput("ab\r\ncd\u65E5");
    f.advance(20);
    // The cursor is after the wide character, on an empty cell.
    EXPECT_EQ(caret().geometry(), QRect(4 * 8, 15, 8, 15));
    EXPECT_TRUE(caret().testAttribute(Qt::WA_TransparentForMouseEvents));
    f.view->feedHostOutput("\x1b[2D");
    f.advance(20);
    EXPECT_EQ(caret().geometry(), QRect(2 * 8, 15, 16, 15));
    EXPECT_EQ(caret().glyphColumnWidth(), 2);
    EXPECT_EQ(caret().text(), QString::fromUtf8("\u65E5"));

    // What the terminal tells the view when the host hides and shows the cursor.
    f.terminal().cursorHidden = true;
    f.view->terminalConcealedCursor(f.terminal());
    EXPECT_TRUE(caret().isHidden());
    f.view->updateCaretFrame();
    EXPECT_TRUE(caret().isHidden());
    f.terminal().cursorHidden = false;
    f.view->terminalRevealedCursor(f.terminal());
    EXPECT_FALSE(caret().isHidden());

    // A cursor row below the viewport takes the caret away.
    f.view->feedHostOutput("\r\n\r\n\r\n\r\n");
    f.view->scrollUp(2);
    f.view->updateCaretFrame();
    EXPECT_TRUE(caret().isHidden());
}

TEST_F(CaretFixture, ContinuationCellGivesOneColumnAndTextPresentationEmojiAskForThePicture)
{
    CharData continuation;
    continuation.width = 0;
    caret().setText(continuation);
    EXPECT_EQ(caret().glyphColumnWidth(), 1);
    EXPECT_EQ(caret().text(), QStringLiteral(" "));

    CharData smiley;
    smiley.code = 0x263A;
    caret().setText(smiley);
    EXPECT_EQ(caret().text(), QString::fromUtf8("\u263A\uFE0F"));
}

TEST_F(CaretFixture, NothingIsDrawnBeforeTheCaretHasText)
{
    CaretView fresh(CursorStyle::steadyBlock, f.view, QRect(0, 0, 8, 15));
    QImage image(8, 15, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    fresh.drawCaretContents(painter, true);
    painter.end();
    EXPECT_EQ(countPixels(image, Qt::transparent), 8 * 15);
}

TEST_F(CaretFixture, UnfocusedCaretOfAnyStyleIsAnOutlineWithNoCharacter)
{
    f.view->feedHostOutput("W\x1b[D");
    f.advance(20);
    caret().setCaretColor(Qt::red);
    for (CursorStyle style :
         {CursorStyle::steadyBlock, CursorStyle::blinkBar, CursorStyle::steadyUnderline}) {
        caret().setStyle(style);
        const QImage image = draw(false);
        EXPECT_EQ(image.pixelColor(0, 7), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(7, 7), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(4, 0), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(4, 14), QColor(Qt::red));
        // Inside the outline nothing is drawn, not even the character.
        for (int y = 3; y < 12; ++y) {
            for (int x = 3; x < 5; ++x) {
                EXPECT_EQ(image.pixelColor(x, y), QColor(Qt::transparent)) << x << "," << y;
            }
        }
    }
}

TEST_F(CaretFixture, FocusedShapesFillTheirPartOfTheCell)
{
    caret().setCaretColor(Qt::red);
    caret().setStyle(CursorStyle::steadyUnderline);
    QImage image = draw(true);
    EXPECT_EQ(countPixels(image, Qt::red), 8 * 2);
    EXPECT_EQ(image.pixelColor(3, 14), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(3, 12), QColor(Qt::transparent));

    caret().setStyle(CursorStyle::blinkBar);
    image = draw(true);
    EXPECT_EQ(countPixels(image, Qt::red), 2 * 15);
    EXPECT_EQ(image.pixelColor(1, 0), QColor(Qt::red));
}

TEST_F(CaretFixture, FocusedBlockShowsItsCharacterInTheCaretTextColour)
{
    caret().setCaretColor(Qt::red);
    caret().setStyle(CursorStyle::steadyBlock);
    const int blank = countPixels(draw(true), Qt::red);
    EXPECT_EQ(blank, 8 * 15);

    f.view->feedHostOutput("\u2588\x1b[D");
    f.advance(20);
    caret().setCaretTextColor(QColor(Qt::green));
    const QImage image = draw(true);
    EXPECT_GT(countPixels(image, Qt::green), 8 * 6);
    // Without a caret text colour the character takes the view's foreground.
    caret().setCaretTextColor(std::nullopt);
    EXPECT_GT(countPixels(draw(true), f.view->nativeForegroundColor()), 8 * 6);
}

TEST_F(CaretFixture, BlinkRunsOnceAndStoppingLeavesAnOpaqueCaret)
{
    caret().updateCaretAnimation(true);
    caret().updateCaretAnimation(true);
    EXPECT_TRUE(caret().isBlinkRunning());
    EXPECT_EQ(caret().findChildren<QPropertyAnimation *>().size(), 1);
    caret().updateCaretAnimation(false);
    EXPECT_FALSE(caret().isBlinkRunning());
    EXPECT_EQ(caret().opacity(), 1.0);
}

TEST_F(CaretFixture, HostStyleChangesStartOrStopTheBlink)
{
    f.view->terminalCursorStyleDidChange(f.terminal(), CursorStyle::steadyBlock);
    EXPECT_EQ(caret().style(), CursorStyle::steadyBlock);
    EXPECT_FALSE(caret().isBlinkRunning());
    f.view->terminalCursorStyleDidChange(f.terminal(), CursorStyle::blinkBar);
    EXPECT_EQ(caret().style(), CursorStyle::blinkBar);
    EXPECT_TRUE(caret().isBlinkRunning());
    EXPECT_EQ(caret().size(), QSize(8, 15));
}

TEST_F(CaretFixture, CaretWithoutFocusTrackingAlwaysDrawsAsFocused)
{
    caret().setTracksFocus(false);
    caret().setCaretColor(Qt::red);
    caret().setStyle(CursorStyle::steadyUnderline);
    QImage image(caret().size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    caret().render(&image, {}, {}, QWidget::DrawChildren);
    EXPECT_EQ(image.pixelColor(3, 14), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(3, 7), QColor(Qt::transparent));
}

} // namespace
} // namespace kestrix
