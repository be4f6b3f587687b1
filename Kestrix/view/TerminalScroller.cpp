#include "Kestrix/view/TerminalScroller.h"

#include <QPainter>

#include <algorithm>

namespace kestrix {

int TerminalScroller::scrollerWidth(Style)
{
    return 15;
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

void TerminalScroller::paintEvent(QPaintEvent *)
{
    if (!isEnabled() || knobProportion_ <= 0) {
        return;
    }
    const double track = height();
    const double knob = std::clamp(knobProportion_, 0.0, 1.0) * track;
    const double top = std::clamp(doubleValue_, 0.0, 1.0) * (track - knob);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(128, 128, 128, 160));
    const double inset = 3;
    painter.drawRoundedRect(QRectF(inset, top + inset, width() - 2 * inset, std::max(knob - 2 * inset, 0.0)),
                            3, 3);
}

} // namespace kestrix
