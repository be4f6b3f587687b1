#include "Kestrix/view/TerminalScroller.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kestrix {

int TerminalScroller::scrollerWidth(Style style)
{
    return style == Style::legacy ? 17 : 15;
}

TerminalScroller::TerminalScroller(QWidget *parent)
    : QWidget(parent)
{
}

void TerminalScroller::setDoubleValue(double value)
{
    if (value != doubleValue_) {
        doubleValue_ = value;
        update();
    }
}

void TerminalScroller::setKnobProportion(double proportion)
{
    if (proportion != knobProportion_) {
        knobProportion_ = proportion;
        update();
    }
}

void TerminalScroller::setScrollerStyle(Style style)
{
    if (style != scrollerStyle_) {
        scrollerStyle_ = style;
        update();
    }
}

QRectF TerminalScroller::knobRect() const
{
    const double track = height();
    const double knob = std::clamp(std::isnan(knobProportion_) ? 0.0 : knobProportion_, 0.0, 1.0) * track;
    const double value = std::clamp(std::isnan(doubleValue_) ? 0.0 : doubleValue_, 0.0, 1.0);
    return QRectF(0, value * (track - knob), width(), knob);
}

TerminalScroller::Part TerminalScroller::testPart(QPointF point) const
{
    if (!isEnabled() || !rect().contains(point.toPoint())) {
        return Part::noPart;
    }
    const QRectF knob = knobRect();
    if (knob.height() <= 0 || knob.height() >= height()) {
        return Part::knobSlot;
    }
    if (point.y() < knob.top()) {
        return Part::decrementPage;
    }
    if (point.y() >= knob.bottom()) {
        return Part::incrementPage;
    }
    return Part::knob;
}

void TerminalScroller::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    hitPart_ = testPart(event->position());
    if (hitPart_ == Part::knob) {
        knobGrabOffset_ = event->position().y() - knobRect().top();
        return;
    }
    emit activated();
}

void TerminalScroller::mouseMoveEvent(QMouseEvent *event)
{
    if (!knobGrabOffset_) {
        return;
    }
    const QRectF knob = knobRect();
    const double travel = height() - knob.height();
    if (travel <= 0) {
        return;
    }
    const double top = event->position().y() - *knobGrabOffset_;
    setDoubleValue(std::clamp(top / travel, 0.0, 1.0));
    hitPart_ = Part::knob;
    emit activated();
}

void TerminalScroller::mouseReleaseEvent(QMouseEvent *)
{
    knobGrabOffset_.reset();
}

void TerminalScroller::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (scrollerStyle_ == Style::legacy) {
        painter.fillRect(rect(), QColor(128, 128, 128, 40));
    }
    if (!isEnabled() || knobProportion_ <= 0) {
        return;
    }
    const QRectF knob = knobRect();
    painter.setBrush(QColor(128, 128, 128, 160));
    const double inset = 3;
    painter.drawRoundedRect(
        QRectF(inset, knob.top() + inset, width() - 2 * inset, std::max(knob.height() - 2 * inset, 0.0)), 3, 3);
}

} // namespace kestrix
