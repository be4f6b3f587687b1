#include "Kestrix/view/CaretView.h"

#include "Kestrix/core/UnicodeUtil.h"
#include "Kestrix/rendering/CellTextPainter.h"
#include "Kestrix/view/TerminalView.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>

namespace kestrix {

CaretView::CaretView(CursorStyle style, TerminalView *view, const QRect &frame)
    : QWidget(view)
    , terminal_(view)
    , style_(style)
    , defaultCaretColor_(view->palette().color(QPalette::Highlight))
    , caretColor_(defaultCaretColor_)
    , opacityEffect_(new QGraphicsOpacityEffect(this))
    , blink_(new QPropertyAnimation(opacityEffect_, "opacity", this))
{
    setGeometry(frame);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    opacityEffect_->setOpacity(1);
    setGraphicsEffect(opacityEffect_);
    // Fades out over 0.7 s and back in over 0.7 s, easing in each way.
    blink_->setDuration(2 * blinkHalfPeriodMs);
    blink_->setKeyValueAt(0, 1.0);
    blink_->setKeyValueAt(0.5, 0.0);
    blink_->setKeyValueAt(1, 1.0);
    blink_->setLoopCount(-1);
    update();
}

bool CaretView::isBlinking(CursorStyle style)
{
    return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline ||
           style == CursorStyle::blinkBar;
}

void CaretView::setStyle(CursorStyle style)
{
    style_ = style;
    update();
}

void CaretView::setCaretColor(const QColor &color)
{
    caretColor_ = color;
    update();
}

void CaretView::setCaretTextColor(std::optional<QColor> color)
{
    caretTextColor_ = std::move(color);
    update();
}

void CaretView::setTracksFocus(bool tracks)
{
    tracksFocus_ = tracks;
    update();
}

void CaretView::setFocused(bool focused)
{
    focused_ = focused;
    update();
}

void CaretView::setText(const CharData &cell)
{
    glyphColumnWidth_ = std::max<int64_t>(1, cell.width);
    attribute_ = cell.attribute;
    std::string text = " ";
    if (terminal_ && cell.code != 0) {
        text = terminal_->getTerminal().stringForCellCode(cell.code);
    }
    text_ = QString::fromStdString(UnicodeUtil::forceEmojiPresentation(text));
    update();
}

void CaretView::updateCaretAnimation(bool blink)
{
    blink_->stop();
    opacityEffect_->setOpacity(1);
    if (blink) {
        blink_->start();
    }
}

bool CaretView::isBlinkRunning() const
{
    return blink_->state() == QAbstractAnimation::Running;
}

double CaretView::opacity() const
{
    return opacityEffect_->opacity();
}

void CaretView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const bool focusedNow = tracksFocus_ && terminal_ ? terminal_->hasFocusInActiveWindow() : true;
    drawCaretContents(painter, focusedNow);
}

void CaretView::drawCaretContents(QPainter &painter, bool focusedNow)
{
    if (!text_ || !terminal_) {
        return;
    }
    const QRectF bounds = rect();
    painter.save();
    painter.setClipRect(bounds);
    if (!focusedNow) {
        // Without focus the caret is a hollow outline of any style, with no character.
        painter.setPen(QPen(caretColor_, unfocusedOutlineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds);
        painter.restore();
        return;
    }
    switch (style_) {
    case CursorStyle::blinkBlock:
    case CursorStyle::steadyBlock:
        painter.fillRect(bounds, caretColor_);
        break;
    case CursorStyle::blinkUnderline:
    case CursorStyle::steadyUnderline:
        painter.fillRect(QRectF(0, bounds.height() - underlineHeight, bounds.width(), underlineHeight),
                         caretColor_);
        painter.restore();
        return;
    case CursorStyle::blinkBar:
    case CursorStyle::steadyBar:
        painter.fillRect(QRectF(0, 0, barWidth, bounds.height()), caretColor_);
        painter.restore();
        return;
    }
    TerminalView &view = *terminal_;
    const QColor textColor = caretTextColor_.value_or(view.nativeForegroundColor());
    const TextAttributes attributes = view.makeAttributes(attribute_, caretColor_, textColor);
    const auto cell = view.cellDimension();
    const double cellHeight = cell ? cell->height() : bounds.height();
    painter.setPen(textColor);
    painter.setRenderHint(QPainter::TextAntialiasing, view.fontSmoothing());
    const int64_t columns = cell ? glyphColumnWidth_ : 1;
    view.cellTextPainter().drawCell(painter, attributes.font, *text_,
                                    QPointF(0, cellHeight - view.baselineOffset()), columns);
    painter.restore();
}

} // namespace kestrix
