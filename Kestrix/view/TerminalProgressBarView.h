#pragma once

#include "Kestrix/core/ProgressReport.h"

#include <QWidget>

#include <cstdint>
#include <optional>

namespace kestrix {

// The thin strip along the top edge of the terminal that shows a host's OSC 9;4 progress: a bar as
// wide as the percentage, or a segment of a quarter of the width over a faint track when no
// percentage is known; red for an error, orange for a pause. It never takes mouse events, so they
// reach the terminal view beneath it.
class TerminalProgressBarView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int stripHeight = 2;
    static constexpr double barWidthRatio = 0.25;

    explicit TerminalProgressBarView(QWidget *parent = nullptr);

    // Hidden for `remove`, shown otherwise.
    void showReport(ProgressReportState state, std::optional<uint8_t> progress);
    ProgressReportState state() const { return state_; }
    std::optional<uint8_t> progress() const { return progress_; }
    QColor barColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ProgressReportState state_ = ProgressReportState::remove;
    std::optional<uint8_t> progress_;
};

} // namespace kestrix
