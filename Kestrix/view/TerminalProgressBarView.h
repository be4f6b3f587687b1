#pragma once

#include "Kestrix/core/ProgressReport.h"
#include "Kestrix/view/StripAnimation.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

namespace kestrix {

// The thin strip along the top edge of the terminal that shows a host's OSC 9;4 progress: a bar as
// wide as the percentage, or a segment of a quarter of the width sliding to and fro over a faint
// track when no percentage is known; red for an error, orange for a pause. A new width is reached
// through a short animation; a new frame is laid out at once. It never takes mouse events, so they
// reach the terminal view beneath it.
//
// Animations are computed from the clock, so what is shown at any moment follows from the time
// alone; a frame timer only repaints while one runs.
class TerminalProgressBarView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int stripHeight = 2;
    static constexpr double barWidthRatio = 0.25;
    static constexpr uint64_t determinateDurationNs = 200'000'000;
    static constexpr uint64_t indeterminateDurationNs = 1'200'000'000;

    // `uptimeNs` is the monotonic clock in nanoseconds; empty: the steady clock.
    explicit TerminalProgressBarView(QWidget *parent = nullptr, std::function<uint64_t()> uptimeNs = {});

    // Hidden for `remove`, shown otherwise.
    void showReport(ProgressReportState state, std::optional<uint8_t> progress);
    ProgressReportState state() const { return state_; }
    std::optional<uint8_t> progress() const { return progress_; }
    QColor barColor() const;

    // The bar as wide as the percentage; animated or at once.
    void layoutDeterminate(bool animated);
    // The sliding segment over the track; it slides only when the strip is wider than it.
    void startIndeterminateAnimation();

    bool trackVisible() const { return trackVisible_; }
    // Where the bar ends up, and where it is drawn now.
    QRectF barFrame() const { return barFrame_; }
    QRectF presentedBarFrame() const;
    bool animatesWidth() const;
    bool slides() const { return slideAnimation_.has_value(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    uint64_t now() const;
    void layout();
    void runFrameTimerWhileAnimating();

    std::function<uint64_t()> uptimeNs_;
    ProgressReportState state_ = ProgressReportState::remove;
    std::optional<uint8_t> progress_;
    bool trackVisible_ = false;
    QRectF barFrame_;
    std::optional<StripAnimation> widthAnimation_;
    // Of the segment's centre.
    std::optional<StripAnimation> slideAnimation_;
    QTimer frameTimer_;
};

} // namespace kestrix
