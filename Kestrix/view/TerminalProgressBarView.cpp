#include "Kestrix/view/TerminalProgressBarView.h"

#include <QPainter>

#include <chrono>

namespace kestrix {

TerminalProgressBarView::TerminalProgressBarView(QWidget *parent, std::function<uint64_t()> uptimeNs)
    : QWidget(parent)
    , uptimeNs_(std::move(uptimeNs))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    frameTimer_.setInterval(16);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        QWidget::update();
        runFrameTimerWhileAnimating();
    });
    hide();
}

uint64_t TerminalProgressBarView::now() const
{
    if (uptimeNs_) {
        return uptimeNs_();
    }
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void TerminalProgressBarView::showReport(ProgressReportState state, std::optional<uint8_t> progress)
{
    state_ = state;
    progress_ = progress;
    setVisible(state != ProgressReportState::remove);
    if (state == ProgressReportState::remove) {
        slideAnimation_.reset();
        runFrameTimerWhileAnimating();
        return;
    }
    if (!progress_) {
        startIndeterminateAnimation();
    } else {
        layoutDeterminate(true);
    }
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

void TerminalProgressBarView::layoutDeterminate(bool animated)
{
    trackVisible_ = false;
    slideAnimation_.reset();
    const QRectF target(0, 0, width() * (progress_.value_or(0) / 100.0), height());
    if (animated) {
        widthAnimation_ = StripAnimation{presentedBarFrame().width(), target.width(), now(), determinateDurationNs};
    } else {
        widthAnimation_.reset();
    }
    barFrame_ = target;
    runFrameTimerWhileAnimating();
    QWidget::update();
}

void TerminalProgressBarView::startIndeterminateAnimation()
{
    trackVisible_ = true;
    const double segment = width() * barWidthRatio;
    widthAnimation_.reset();
    barFrame_ = QRectF(0, 0, segment, height());
    if (segment > 0 && width() > segment) {
        slideAnimation_ = StripAnimation{segment / 2, width() - segment / 2, now(), indeterminateDurationNs, true, true};
    } else {
        slideAnimation_.reset();
    }
    runFrameTimerWhileAnimating();
    QWidget::update();
}

bool TerminalProgressBarView::animatesWidth() const
{
    return widthAnimation_ && !widthAnimation_->finishedAt(now());
}

QRectF TerminalProgressBarView::presentedBarFrame() const
{
    QRectF frame = barFrame_;
    if (animatesWidth()) {
        frame.setWidth(widthAnimation_->valueAt(now()));
    }
    if (slideAnimation_) {
        frame.moveLeft(slideAnimation_->valueAt(now()) - frame.width() / 2);
    }
    return frame;
}

void TerminalProgressBarView::runFrameTimerWhileAnimating()
{
    const bool animating = isVisible() && (slides() || animatesWidth());
    if (animating && !frameTimer_.isActive()) {
        frameTimer_.start();
    } else if (!animating) {
        frameTimer_.stop();
    }
}

void TerminalProgressBarView::layout()
{
    if (!isVisible()) {
        return;
    }
    if (!progress_) {
        startIndeterminateAnimation();
    } else {
        layoutDeterminate(false);
    }
}

void TerminalProgressBarView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layout();
}

void TerminalProgressBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor bar = barColor();
    if (trackVisible_) {
        QColor track = bar;
        track.setAlphaF(0.3f);
        painter.fillRect(rect(), track);
    }
    painter.fillRect(presentedBarFrame(), bar);
}

} // namespace kestrix
