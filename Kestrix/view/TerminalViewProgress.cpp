// Progress reports of the host, shown in the strip along the top edge.

#include "Kestrix/view/TerminalProgressBarView.h"
#include "Kestrix/view/TerminalView.h"

#include <QPointer>

namespace kestrix {

std::optional<uint8_t> TerminalView::resolveProgress(const ProgressReport &report)
{
    switch (report.state) {
    case ProgressReportState::remove:
        return std::nullopt;
    case ProgressReportState::set:
        lastProgressValue_ = report.progress.value_or(0);
        return lastProgressValue_;
    case ProgressReportState::error: {
        const std::optional<uint8_t> shown = report.progress ? report.progress : lastProgressValue_;
        if (shown) {
            lastProgressValue_ = shown;
        }
        return shown;
    }
    case ProgressReportState::indeterminate:
        return std::nullopt;
    case ProgressReportState::pause:
        lastProgressValue_ = report.progress ? *report.progress : lastProgressValue_.value_or(100);
        return lastProgressValue_;
    }
    return std::nullopt;
}

void TerminalView::applyProgressReport(const ProgressReport &report)
{
    if (report.state == ProgressReportState::remove) {
        clearProgress();
        return;
    }
    const std::optional<uint8_t> shown = resolveProgress(report);
    progressBarView_->showReport(report.state, shown);
    restartProgressTimer();
}

void TerminalView::clearProgress()
{
    ++progressTimerGeneration_;
    lastProgressValue_.reset();
    progressBarView_->showReport(ProgressReportState::remove, std::nullopt);
}

void TerminalView::restartProgressTimer()
{
    // A report that is not refreshed goes stale; each report starts the wait anew.
    const uint64_t generation = ++progressTimerGeneration_;
    mainQueue_->asyncAfter(progressStaleAfter, [view = QPointer<TerminalView>(this), generation] {
        if (view && view->progressTimerGeneration_ == generation) {
            view->clearProgress();
        }
    });
}

} // namespace kestrix
