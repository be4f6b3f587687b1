#pragma once

#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace kestrix::testing {

// Fixed font metrics, so cell sizes do not depend on the fonts installed.
class FixedFontMeasurer final : public FontMeasurer {
public:
    explicit FixedFontMeasurer(FontMeasurement metrics)
        : metrics_(metrics)
    {
    }
    FontMeasurement measure(const QFont &) const override { return metrics_; }
    void setMetrics(FontMeasurement metrics) { metrics_ = metrics; }

private:
    FontMeasurement metrics_;
};

// A host that records every call.
class RecordingHost final : public TerminalViewDelegate {
public:
    struct Size {
        int64_t cols;
        int64_t rows;
        bool operator==(const Size &) const = default;
    };

    void terminalSizeChanged(TerminalView &, int64_t cols, int64_t rows) override
    {
        sizes.push_back({cols, rows});
    }
    void titleChanged(TerminalView &, const std::string &title) override { titles.push_back(title); }
    void currentDirectoryChanged(TerminalView &, const std::optional<std::string> &directory) override
    {
        directories.push_back(directory);
    }
    void sendToHost(TerminalView &source, std::span<const uint8_t> data) override
    {
        sent.emplace_back(data.begin(), data.end());
        viewportAtSend.push_back(source.getTerminal().buffer->yDisp());
    }
    void scrollPositionChanged(TerminalView &, double position) override { positions.push_back(position); }
    void openLink(TerminalView &, const std::string &link,
                  const std::map<std::string, std::string> &parameters) override
    {
        openedLinks.push_back({link, parameters});
    }
    void ringBell(TerminalView &) override { ++bells; }
    void copyToClipboard(TerminalView &, std::span<const uint8_t> content) override
    {
        clipboard.assign(content.begin(), content.end());
    }
    std::optional<std::vector<uint8_t>> readClipboard(TerminalView &) override { return clipboard; }
    void inlineImagePayload(TerminalView &, std::span<const uint8_t> content) override
    {
        payloads.emplace_back(content.begin(), content.end());
    }
    void rowsUpdated(TerminalView &, int64_t startRow, int64_t endRow) override
    {
        updatedRows.push_back({startRow, endRow});
    }

    std::string sentText() const
    {
        std::string text;
        for (const auto &chunk : sent) {
            text.append(chunk.begin(), chunk.end());
        }
        return text;
    }

    struct OpenedLink {
        std::string link;
        std::map<std::string, std::string> parameters;
        bool operator==(const OpenedLink &) const = default;
    };

    std::vector<Size> sizes;
    std::vector<OpenedLink> openedLinks;
    std::vector<std::string> titles;
    std::vector<std::optional<std::string>> directories;
    std::vector<std::vector<uint8_t>> sent;
    std::vector<int64_t> viewportAtSend;
    std::vector<double> positions;
    int bells = 0;
    std::vector<uint8_t> clipboard;
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<std::pair<int64_t, int64_t>> updatedRows;
};

// A view that records the rectangles it marks for repainting.
class RecordingTerminalView final : public TerminalView {
public:
    using TerminalView::applyProgressReport;
    using TerminalView::notePainting;
    using TerminalView::TerminalView;

    std::vector<QRectF> dirtyRects;

protected:
    void setNeedsDisplay(const QRectF &rect) override
    {
        dirtyRects.push_back(rect);
        TerminalView::setNeedsDisplay(rect);
    }
};

// Cells of 8 x 15 at scale 1 and a frame that holds 80 x 25 of them beside the scroller; time,
// deferred work and the backing scale under the test's control. The view is the child of a shown
// window, so resizing it sends its resize event at once.
struct ViewFixture {
    static constexpr FontMeasurement defaultMetrics{11, 3, 1, 8};
    static constexpr int scrollerWidth = 15;
    static QRect gridFrame(int cols, int rows) { return QRect(0, 0, cols * 8 + scrollerWidth, rows * 15); }

    explicit ViewFixture(QRect frame = gridFrame(80, 25), FontMeasurement metrics = defaultMetrics,
                         double scale = 1.0, bool showWindow = true)
        : measurer(std::make_shared<FixedFontMeasurer>(metrics))
        , backingScale(scale)
    {
        TerminalViewEnvironment environment;
        environment.uptimeNs = [this] { return nowNs; };
        environment.fontMeasurer = measurer;
        environment.mainQueue = &queue;
        environment.backingScale = [this] { return backingScale; };
        window.resize(1000, 1000);
        view = new RecordingTerminalView(&window, frame, std::nullopt, environment);
        view->setTerminalDelegate(&host);
        if (showWindow) {
            window.show();
        }
        // What construction queued is not what the tests look at.
        advance(20);
        view->dirtyRects.clear();
    }

    ~ViewFixture() { view->setTerminalDelegate(nullptr); }

    Terminal &terminal() { return view->getTerminal(); }
    void advance(uint64_t milliseconds)
    {
        nowNs += milliseconds * 1'000'000;
        queue.advance(std::chrono::milliseconds(milliseconds));
    }

    ManualTaskQueue queue;
    uint64_t nowNs = 5'000'000'000;
    std::shared_ptr<FixedFontMeasurer> measurer;
    double backingScale;
    RecordingHost host;
    QWidget window;
    RecordingTerminalView *view = nullptr;
};

} // namespace kestrix::testing
