// The terminal view's switch to the GPU renderer, its GL widget across windows, the fallbacks to the
// QPainter path, and the GPU side of display updates. Runs on a real X server with OpenGL 3.3.
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalProgressBarView.h"
#include "support/WaitUntil.h"
#include "tests/Kestrix/rendering/gpu/LogCapture.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <QEvent>
#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestrix {
namespace {

using calvero::testing::spinFor;
using calvero::testing::waitUntil;
using testing::FixedFontMeasurer;
using testing::RecordingTerminalView;
using testing::ViewFixture;

using RendererFactory = std::function<std::unique_ptr<MetalTerminalRenderer>(QObject *, MetalSurface *)>;

std::unique_ptr<MetalTerminalRenderer> realRenderer(QObject *view, MetalSurface *surface)
{
    return std::make_unique<MetalTerminalRenderer>(view, surface);
}

// A renderer on a machine without a usable GPU.
std::unique_ptr<MetalTerminalRenderer> rendererWithoutDevice(QObject *view, MetalSurface *surface)
{
    MetalRendererEnvironment environment;
    environment.probe = [] { return std::unique_ptr<GlDeviceProbe>(); };
    return std::make_unique<MetalTerminalRenderer>(view, surface, environment);
}

const QString noDeviceLog =
    QStringLiteral("Kestrix: Metal renderer rebind failed; falling back to CoreGraphics: No Metal device is available.");

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

// A shown window holding an 80 x 25 view, with time and deferred work under the test's control and
// the renderers the view makes counted.
struct GpuViewFixture {
    explicit GpuViewFixture(RendererFactory factory = &realRenderer)
    {
        TerminalViewEnvironment environment;
        environment.uptimeNs = [this] { return nowNs; };
        environment.fontMeasurer = std::make_shared<FixedFontMeasurer>(ViewFixture::defaultMetrics);
        environment.mainQueue = &queue;
        environment.makeMetalRenderer = [this, factory](QObject *view, MetalSurface *surface) {
            ++renderersMade;
            return factory(view, surface);
        };
        window.resize(800, 500);
        view = new RecordingTerminalView(&window, ViewFixture::gridFrame(80, 25), std::nullopt, environment);
        window.show();
        advance(20);
        view->dirtyRects.clear();
    }

    void advance(uint64_t milliseconds)
    {
        nowNs += milliseconds * 1'000'000;
        queue.advance(std::chrono::milliseconds(milliseconds));
    }
    Terminal &terminal() { return view->getTerminal(); }
    int stackIndex(const QWidget *child) const { return static_cast<int>(view->children().indexOf(child)); }
    qsizetype glWidgets() const { return view->findChildren<MetalView *>().size(); }
    bool repaintedWhole() const
    {
        return std::find(view->dirtyRects.begin(), view->dirtyRects.end(), QRectF(view->rect())) !=
               view->dirtyRects.end();
    }

    ManualTaskQueue queue;
    uint64_t nowNs = 5'000'000'000;
    int renderersMade = 0;
    QWidget window;
    RecordingTerminalView *view = nullptr;
};

// MARK: Switch

TEST(TerminalViewMetal, SwitchingToTheCurrentStateDoesNothing)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    EXPECT_FALSE(view.isUsingMetalRenderer());
    view.switchMetalRenderer(false);
    EXPECT_EQ(fixture.renderersMade, 0);
    EXPECT_EQ(fixture.glWidgets(), 0);

    view.switchMetalRenderer(true);
    ASSERT_TRUE(view.isUsingMetalRenderer());
    MetalView *surface = view.metalView();
    MetalTerminalRenderer *renderer = view.metalRenderer();
    ASSERT_NE(surface, nullptr);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(surface->delegate(), renderer);
    EXPECT_EQ(view.metalBoundWindow(), &fixture.window);

    view.switchMetalRenderer(true);
    EXPECT_EQ(fixture.renderersMade, 1);
    EXPECT_EQ(view.metalView(), surface);
    EXPECT_EQ(view.metalRenderer(), renderer);
    EXPECT_EQ(fixture.glWidgets(), 1);
    // The widget's own context gets the renderer's GL objects once it is shown.
    EXPECT_TRUE(waitUntil([&] { return renderer->isReady(); }));
}

TEST(TerminalViewMetal, WithoutAGpuTheSwitchThrowsAndNothingChanges)
{
    GpuViewFixture fixture(&rendererWithoutDevice);
    TerminalView &view = *fixture.view;
    ASSERT_TRUE(view.caretView()->isVisible());
    try {
        view.switchMetalRenderer(true);
        FAIL() << "the switch did not throw";
    } catch (const MetalError &error) {
        EXPECT_EQ(error.kind(), MetalError::Kind::deviceUnavailable);
    }
    EXPECT_FALSE(view.isUsingMetalRenderer());
    EXPECT_EQ(view.metalView(), nullptr);
    EXPECT_EQ(view.metalRenderer(), nullptr);
    EXPECT_EQ(view.metalBoundWindow(), nullptr);
    EXPECT_EQ(fixture.glWidgets(), 0);
    EXPECT_TRUE(view.caretView()->isVisible());
    // The QPainter path still draws what arrives.
    fixture.view->dirtyRects.clear();
    view.feedHostOutput(std::string_view("hello"));
    fixture.advance(20);
    EXPECT_FALSE(fixture.view->dirtyRects.empty());
}

TEST(TerminalViewMetal, EnablingHidesTheCaretUnderTheScrollerAndDisablingBringsItBack)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    view.switchMetalRenderer(true);
    MetalView *surface = view.metalView();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->geometry(), view.rect());
    EXPECT_TRUE(surface->isVisible());
    EXPECT_FALSE(view.caretView()->isVisible());
    // Stacking runs from the bottom: the caret, progress strip and scroller all lie above the GL widget,
    // the scroller at the top.
    const int gl = fixture.stackIndex(surface);
    EXPECT_LT(gl, fixture.stackIndex(view.caretView()));
    EXPECT_LT(gl, fixture.stackIndex(view.progressBarView()));
    EXPECT_EQ(fixture.stackIndex(view.scroller()), view.children().size() - 1);
    // Pointer events pass through the GL widget to the view.
    EXPECT_EQ(view.childAt(QPoint(40, 40)), nullptr);

    // The cursor is the renderer's now: showing it, moving it or changing its style leaves the caret hidden.
    view.feedHostOutput(std::string_view("\x1b[?25l\x1b[5;5H\x1b[?25h\x1b[3 q"));
    fixture.advance(20);
    EXPECT_FALSE(view.caretView()->isVisible());

    fixture.view->dirtyRects.clear();
    view.switchMetalRenderer(false);
    EXPECT_FALSE(view.isUsingMetalRenderer());
    EXPECT_EQ(view.metalView(), nullptr);
    EXPECT_EQ(fixture.glWidgets(), 0);
    EXPECT_TRUE(view.caretView()->isVisible());
    EXPECT_EQ(view.caretView()->geometry().topLeft(), QPoint(4 * 8, 4 * 15));
    EXPECT_TRUE(fixture.repaintedWhole());
}

TEST(TerminalViewMetal, TheGlWidgetFollowsTheViewsSize)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    view.switchMetalRenderer(true);
    view.resize(ViewFixture::gridFrame(60, 20).size());
    EXPECT_EQ(view.metalView()->geometry(), view.rect());
    EXPECT_EQ(fixture.terminal().cols, 60);
    EXPECT_EQ(fixture.terminal().rows, 20);
}

// MARK: Windows

TEST(TerminalViewMetal, MovingToAnotherWindowRebindsOnce)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    view.switchMetalRenderer(true);
    ASSERT_TRUE(waitUntil([&] { return view.metalRenderer()->isReady(); }));
    QPointer<MetalView> first = view.metalView();

    QWidget other;
    other.resize(800, 500);
    QWidget *holder = new QWidget(&other);
    holder->resize(800, 500);
    other.show();
    view.setParent(&other);
    view.show();
    fixture.advance(1);
    spinFor(50);
    fixture.advance(1);
    EXPECT_EQ(fixture.renderersMade, 2);
    EXPECT_EQ(view.metalBoundWindow(), &other);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(view.metalView(), nullptr);
    EXPECT_EQ(view.metalView()->delegate(), view.metalRenderer());
    EXPECT_EQ(fixture.glWidgets(), 1);
    EXPECT_FALSE(view.caretView()->isVisible());
    EXPECT_EQ(fixture.stackIndex(view.scroller()), view.children().size() - 1);
    EXPECT_TRUE(waitUntil([&] { return view.metalRenderer()->isReady(); }));

    // Within the window it is bound to, a move keeps the widget.
    MetalView *second = view.metalView();
    view.setParent(holder);
    view.show();
    fixture.advance(1);
    spinFor(50);
    fixture.advance(1);
    EXPECT_EQ(fixture.renderersMade, 2);
    EXPECT_EQ(view.metalView(), second);

    // An ancestor that moves takes the view into another window as well.
    holder->setParent(&fixture.window);
    holder->show();
    fixture.advance(1);
    spinFor(50);
    fixture.advance(1);
    EXPECT_EQ(fixture.renderersMade, 3);
    EXPECT_EQ(view.metalBoundWindow(), &fixture.window);
    EXPECT_EQ(fixture.glWidgets(), 1);
    EXPECT_TRUE(waitUntil([&] { return view.metalRenderer()->isReady(); }));
}

TEST(TerminalViewMetal, AFailedRebindLogsAndFallsBackToThePainter)
{
    int calls = 0;
    GpuViewFixture fixture([&calls](QObject *view, MetalSurface *surface) {
        return ++calls == 1 ? realRenderer(view, surface) : rendererWithoutDevice(view, surface);
    });
    TerminalView &view = *fixture.view;
    view.switchMetalRenderer(true);
    ASSERT_TRUE(waitUntil([&] { return view.metalRenderer()->isReady(); }));

    QWidget other;
    other.resize(800, 500);
    other.show();
    fixture.view->dirtyRects.clear();
    LogCapture log("default");
    view.setParent(&other);
    view.show();
    fixture.advance(1);

    ASSERT_EQ(log.count(noDeviceLog), 1);
    EXPECT_EQ(log.messages.front().type, QtCriticalMsg);
    EXPECT_FALSE(view.isUsingMetalRenderer());
    EXPECT_EQ(view.metalView(), nullptr);
    EXPECT_EQ(view.metalRenderer(), nullptr);
    EXPECT_EQ(fixture.glWidgets(), 0);
    EXPECT_TRUE(view.caretView()->isVisible());
    EXPECT_TRUE(fixture.repaintedWhole());
    // No further attempt follows, and the host may switch it on again.
    spinFor(50);
    fixture.advance(1);
    EXPECT_EQ(calls, 2);
}

TEST(TerminalViewMetal, AFailureInTheWidgetsGlSetUpFallsBackFromTheQueue)
{
    GpuViewFixture fixture([](QObject *view, MetalSurface *surface) {
        MetalRendererEnvironment environment;
        environment.contextFunctions = [](QOpenGLContext *) -> QOpenGLFunctions_3_3_Core * { return nullptr; };
        return std::make_unique<MetalTerminalRenderer>(view, surface, environment);
    });
    TerminalView &view = *fixture.view;
    LogCapture log("default");
    view.switchMetalRenderer(true);
    MetalTerminalRenderer *renderer = view.metalRenderer();
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(waitUntil([&] { return renderer->setupError().has_value(); }));
    // The widget is in its own set-up when it fails; it goes only when the queue runs.
    EXPECT_TRUE(view.isUsingMetalRenderer());
    EXPECT_NE(view.metalView(), nullptr);

    fixture.view->dirtyRects.clear();
    fixture.advance(1);
    EXPECT_EQ(log.count(noDeviceLog), 1);
    EXPECT_FALSE(view.isUsingMetalRenderer());
    EXPECT_EQ(fixture.glWidgets(), 0);
    EXPECT_TRUE(view.caretView()->isVisible());
    EXPECT_TRUE(fixture.repaintedWhole());
}

TEST(TerminalViewMetal, ASetUpFailureOfAReplacedRendererIsIgnored)
{
    int calls = 0;
    GpuViewFixture fixture([&calls](QObject *view, MetalSurface *surface) {
        MetalRendererEnvironment environment;
        if (++calls == 1) {
            environment.contextFunctions = [](QOpenGLContext *) -> QOpenGLFunctions_3_3_Core * { return nullptr; };
        }
        return std::make_unique<MetalTerminalRenderer>(view, surface, environment);
    });
    TerminalView &view = *fixture.view;
    view.switchMetalRenderer(true);
    ASSERT_TRUE(waitUntil([&] { return view.metalRenderer()->setupError().has_value(); }));
    // Off and on again before the queued fallback runs: the new renderer is not abandoned for the old one.
    view.switchMetalRenderer(false);
    view.switchMetalRenderer(true);
    MetalTerminalRenderer *current = view.metalRenderer();
    fixture.queue.runPending();
    EXPECT_TRUE(view.isUsingMetalRenderer());
    EXPECT_EQ(view.metalRenderer(), current);
}

// MARK: Display updates

TEST(TerminalViewMetal, DisplayUpdatesHandTheRendererTheChangedLines)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    Terminal &terminal = fixture.terminal();
    // Some scrollback, so that lines and screen rows differ.
    for (int line = 0; line < 40; ++line) {
        view.feedHostOutput(std::string_view("line\r\n"));
    }
    fixture.advance(20);
    view.switchMetalRenderer(true);
    const int64_t yDisp = terminal.buffer->yDisp();
    ASSERT_GT(yDisp, 0);
    // Switching on owes the renderer the whole screen.
    EXPECT_EQ(view.takeMetalDirtyRange(), std::make_optional(LineRange{yDisp, yDisp + 24}));

    view.feedHostOutput(std::string_view("\x1b[3;1H"));
    fixture.advance(20);
    view.takeMetalDirtyRange();
    view.feedHostOutput(std::string_view("x"));
    fixture.advance(20);
    EXPECT_EQ(view.metalDirtyRange(), std::make_optional(LineRange{yDisp + 2, yDisp + 2}));
    EXPECT_EQ(view.lastRenderedCursor(), std::make_optional(TerminalView::RenderedCursor{1, yDisp + 2, false}));
    // A second update before the renderer took the first adds to it instead of replacing it.
    view.feedHostOutput(std::string_view("\x1b[7;1Hy"));
    fixture.advance(20);
    EXPECT_EQ(view.takeMetalDirtyRange(), std::make_optional(LineRange{yDisp + 2, yDisp + 6}));
    EXPECT_EQ(view.metalDirtyRange(), std::nullopt);

    // A full redraw request owes every visible line, one display interval later.
    view.terminalNeedsFullRedraw(terminal);
    EXPECT_EQ(view.metalDirtyRange(), std::make_optional(LineRange{yDisp, yDisp + 24}));
    EXPECT_TRUE(view.pendingMetalDisplay());
    fixture.advance(20);
    EXPECT_FALSE(view.pendingMetalDisplay());
}

TEST(TerminalViewMetal, ACursorChangeAloneIsRemembered)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    Terminal &terminal = fixture.terminal();
    view.switchMetalRenderer(true);
    view.feedHostOutput(std::string_view("ab"));
    fixture.advance(20);
    ASSERT_EQ(view.lastRenderedCursor(), std::make_optional(TerminalView::RenderedCursor{2, 0, false}));
    view.takeMetalDirtyRange();

    // Nothing to refresh, but the cursor is now hidden.
    terminal.cursorHidden = true;
    terminal.resetDirtyRows();
    view.updateDisplay(true);
    EXPECT_EQ(view.lastRenderedCursor(), std::make_optional(TerminalView::RenderedCursor{2, 0, true}));
    EXPECT_EQ(view.metalDirtyRange(), std::nullopt);
}

TEST(TerminalViewMetal, CursorHooksQueueOneGpuRedraw)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    Terminal &terminal = fixture.terminal();
    view.terminalRevealedCursor(terminal);
    EXPECT_FALSE(view.pendingMetalDisplay());

    view.switchMetalRenderer(true);
    view.terminalConcealedCursor(terminal);
    EXPECT_TRUE(view.pendingMetalDisplay());
    view.terminalRevealedCursor(terminal);
    view.terminalCursorStyleDidChange(terminal, CursorStyle::steadyBar);
    EXPECT_EQ(fixture.queue.advance(std::chrono::milliseconds(20)), 1);
    EXPECT_FALSE(view.pendingMetalDisplay());
    EXPECT_FALSE(view.caretView()->isVisible());
}

// MARK: Options

TEST(TerminalViewMetal, TheLiveResizeThrottleIsOffOnlyForThreeValues)
{
    const std::vector<std::pair<const char *, bool>> cases = {
        {nullptr, true}, {"", true},       {"1", true},      {"yes", true}, {"False", true},
        {"0", false},    {"false", false}, {"FALSE", false}, {"00", true},  {"false ", true},
    };
    for (const auto &[value, throttle] : cases) {
        EXPECT_EQ(TerminalView::parseMetalLiveResizeThrottle(value), throttle) << (value ? value : "(unset)");
    }
    // Read once: a later change of the environment changes nothing.
    const bool first = TerminalView::metalLiveResizeThrottle();
    qputenv("KESTRIX_METAL_LIVE_RESIZE_THROTTLE", first ? "0" : "1");
    EXPECT_EQ(TerminalView::metalLiveResizeThrottle(), first);
    qunsetenv("KESTRIX_METAL_LIVE_RESIZE_THROTTLE");
}

TEST(TerminalViewMetal, ResizesInQuickSuccessionOnlyQueueAGpuRedraw)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    view.switchMetalRenderer(true);
    fixture.advance(1000);
    view.resize(ViewFixture::gridFrame(70, 20).size());
    EXPECT_FALSE(view.pendingMetalDisplay());
    fixture.nowNs += 10'000'000;
    view.resize(ViewFixture::gridFrame(60, 20).size());
    EXPECT_EQ(view.pendingMetalDisplay(), TerminalView::metalLiveResizeThrottle());
    fixture.advance(1000);
    view.resize(ViewFixture::gridFrame(50, 20).size());
    EXPECT_FALSE(view.pendingMetalDisplay());
}

TEST(TerminalViewMetal, TheScaleOverrideReachesTheRendererAndRedrawsOnlyWhenItChanges)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    // A steady cursor: no blink redraws while the test watches for paints.
    view.feedHostOutput(std::string_view("\x1b[2 q"));
    fixture.advance(20);
    view.setMetalScaleFactorOverride(2.0);
    view.switchMetalRenderer(true);
    MetalTerminalRenderer &renderer = *view.metalRenderer();
    EXPECT_EQ(renderer.scaleFactorOverride, std::make_optional(2.0));
    EXPECT_DOUBLE_EQ(renderer.frameScale(*view.metalView()), 2.0);
    ASSERT_TRUE(waitUntil([&] { return renderer.isReady() && !renderer.frameInFlight(); }));

    PaintCounter paints(view.metalView());
    spinFor(300);
    paints.count = 0;
    view.setMetalScaleFactorOverride(2.0);
    spinFor(300);
    EXPECT_EQ(paints.count, 0);
    view.setMetalScaleFactorOverride(std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return paints.count > 0; }, 3000));
    EXPECT_EQ(renderer.scaleFactorOverride, std::nullopt);

    // A scale that is no number, or below one, is not drawn at.
    const double screen = std::max(1.0, view.metalView()->backingScale());
    for (const double unusable : {std::nan(""), 0.0, -2.0}) {
        view.setMetalScaleFactorOverride(unusable);
        EXPECT_DOUBLE_EQ(renderer.frameScale(*view.metalView()), screen) << unusable;
    }
    view.setMetalScaleFactorOverride(0.5);
    EXPECT_DOUBLE_EQ(renderer.frameScale(*view.metalView()), 1.0);
}

TEST(TerminalViewMetal, AHiddenViewDoesNotHoldBackLaterFrames)
{
    GpuViewFixture fixture;
    TerminalView &view = *fixture.view;
    view.feedHostOutput(std::string_view("\x1b[2 q"));
    fixture.advance(20);
    view.switchMetalRenderer(true);
    MetalTerminalRenderer &renderer = *view.metalRenderer();
    ASSERT_TRUE(waitUntil([&] { return renderer.isReady() && !renderer.frameInFlight(); }));

    // Asked for frames while the window is hidden: the widget shows none of them, so none may stay
    // on its way.
    fixture.window.hide();
    view.feedHostOutput(std::string_view("hidden"));
    fixture.advance(20);
    view.metalView()->grabFramebuffer();
    EXPECT_TRUE(waitUntil([&] { return !renderer.frameInFlight(); }, 2000));

    PaintCounter paints(view.metalView());
    fixture.window.show();
    view.feedHostOutput(std::string_view(" shown"));
    fixture.advance(20);
    EXPECT_TRUE(waitUntil([&] { return paints.count > 0; }, 3000));
    EXPECT_TRUE(waitUntil([&] { return !renderer.frameInFlight(); }, 2000));
}

} // namespace
} // namespace kestrix
