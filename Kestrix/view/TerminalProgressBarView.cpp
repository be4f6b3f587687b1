#include "Kestrix/view/TerminalProgressBarView.h"

#include <QPainter>

namespace kestrix {

TerminalProgressBarView::TerminalProgressBarView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void TerminalProgressBarView::showReport(ProgressReportState state, std::optional<uint8_t> progress)
{
    state_ = state;
    progress_ = progress;
    setVisible(state != ProgressReportState::remove);
    update();
}

QColor TerminalProgressBarView::barColor() const
{
    switch (state_) {
    case ProgressReportState::error:
        return QColor(255, 59, 48);
    case ProgressReportState::pause:
        return QColor(255, 149, 0);
    default:
        return palette().color(QPalette::Highlight);
    }
}

void TerminalProgressBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor bar = barColor();
    if (progress_) {
        painter.fillRect(QRectF(0, 0, width() * (*progress_ / 100.0), height()), bar);
        return;
    }
    QColor track = bar;
    track.setAlphaF(0.3f);
    painter.fillRect(rect(), track);
    painter.fillRect(QRectF(0, 0, width() * barWidthRatio, height()), bar);
}

} // namespace kestrix
