// The cost of drawing a 200 x 50 screen of mixed text and colours with both renderers: a full frame,
// and a frame after one row changed. The QPainter path paints into a QImage (one changed row paints
// that row's strip, as the view's dirty rectangle asks); the GPU renderer draws into its widget's
// framebuffer, finished on the GPU, with its row cache at work. Needs an X display (run it under
// xvfb-run, where the GPU is Mesa's software rasteriser: filling the drawable then costs the same for
// every frame, whatever changed). Prints one line per figure; exits 1 when building the frame after one
// changed row costs more than a quarter of building a full frame on the GPU path.

#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/DirtyRegion.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewMetalFrame.h"

#include <QApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QSurfaceFormat>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

constexpr int64_t cols = 200;
constexpr int64_t rows = 50;
constexpr int repeats = 40;
constexpr double largestRowShare = 0.25;

double millisecondsOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

// Words in the eight colours on alternating backgrounds, bold and underlined runs, 256-colour and
// true-colour runs, box drawing, blocks and wide CJK characters, different on every row.
std::string screenOfMixedText()
{
    static const char *words[] = {"alpha", "beta", "gamma", "delta", "render", "frame", "glyph", "atlas",
                                  "cache", "row", "cell", "shader"};
    std::string out = "\x1b[H\x1b[2J";
    for (int64_t row = 0; row < rows; ++row) {
        out += "\x1b[" + std::to_string(row + 1) + ";1H";
        int64_t column = 0;
        for (int64_t i = 0; column < cols - 12; ++i) {
            const int64_t pick = (row * 7 + i * 3) % 12;
            std::string style = "\x1b[3" + std::to_string((row + i) % 8) + ";4" + std::to_string((row + i * 5) % 8) + "m";
            if (i % 5 == 0) {
                style += "\x1b[1m";
            }
            if (i % 7 == 0) {
                style += "\x1b[4m";
            }
            if (i % 6 == 1) {
                style = "\x1b[38;5;" + std::to_string((row * 11 + i) % 256) + "m";
            }
            if (i % 9 == 2) {
                style = "\x1b[38;2;" + std::to_string(row * 5 % 256) + ";120;" + std::to_string(i * 9 % 256) + "m";
            }
            std::string word = words[pick];
            if (i % 8 == 3) {
                word = "\u2500\u2502\u253c\u2584";
            } else if (i % 11 == 4) {
                word = "\u6f22\u5b57";
            }
            out += style + word + "\x1b[m ";
            column += static_cast<int64_t>(std::string(words[pick]).size()) + 1;
        }
    }
    return out;
}

std::string changeOfRow(int64_t row, int iteration)
{
    return "\x1b[" + std::to_string(row + 1) + ";1H\x1b[3" + std::to_string(iteration % 8) + "mchanged row, pass " +
           std::to_string(iteration) + "\x1b[m";
}

struct Figures {
    double fullFrame = 0;
    double oneRow = 0;
};

Figures benchQPainter(TerminalView &view)
{
    Terminal &terminal = view.getTerminal();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    const auto draw = [&](const QRectF &dirty) {
        QPainter painter(&image);
        view.drawTerminalContents(painter, dirty, terminal.buffer->yDisp());
    };
    const QRectF whole(image.rect());
    draw(whole);
    std::vector<double> full;
    std::vector<double> oneRow;
    for (int i = 0; i < repeats; ++i) {
        full.push_back(millisecondsOf([&] { draw(whole); }));
        const int64_t row = 10 + i % 30;
        view.feedHostOutput(changeOfRow(row, i));
        const QRectF strip = DirtyRegion::rectForRows({row, row}, rows, view.cellDimension()->height(), view.size());
        oneRow.push_back(millisecondsOf([&] { draw(strip); }));
    }
    return {median(full), median(oneRow)};
}

struct GpuFigures {
    Figures frame;
    Figures build;
    double coldFrame = 0;
};

GpuFigures benchGpu(TerminalView &view, MetalView &metalView, MetalTerminalRenderer &renderer)
{
    renderer.setClearColor(view.nativeBackgroundColor());
    renderer.setFrameBuilder([&](double scale) { return renderer.buildFrameDrawData(scale, makeMetalFrameSource(view)); });
    metalView.makeCurrent();
    QOpenGLFunctions *gl = metalView.context()->functions();
    const auto frame = [&] {
        renderer.drawInMetalView(metalView);
        gl->glFinish();
    };
    GpuFigures figures;
    figures.coldFrame = millisecondsOf(frame);
    std::vector<double> full;
    std::vector<double> oneRow;
    std::vector<double> fullBuild;
    std::vector<double> oneRowBuild;
    for (int i = 0; i < repeats; ++i) {
        const int64_t row = 10 + i % 30;
        renderer.rowCache.clear();
        fullBuild.push_back(millisecondsOf([&] { renderer.buildDrawData(1); }));
        renderer.rowCache.clear();
        full.push_back(millisecondsOf(frame));
        view.feedHostOutput(changeOfRow(row, 2 * i));
        oneRowBuild.push_back(millisecondsOf([&] { renderer.buildDrawData(1); }));
        view.feedHostOutput(changeOfRow(row, 2 * i + 1));
        oneRow.push_back(millisecondsOf(frame));
        if (renderer.lastFrameStats.rowsBuilt != 1) {
            std::printf("expected one rebuilt row, got %lld\n", static_cast<long long>(renderer.lastFrameStats.rowsBuilt));
        }
    }
    metalView.doneCurrent();
    figures.frame = {median(full), median(oneRow)};
    figures.build = {median(fullBuild), median(oneRowBuild)};
    return figures;
}

const GLubyte *rendererName(MetalView &metalView)
{
    metalView.makeCurrent();
    const GLubyte *name = metalView.context()->functions()->glGetString(GL_RENDERER);
    metalView.doneCurrent();
    return name;
}

} // namespace

int main(int argc, char **argv)
{
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);

    TerminalView view(nullptr, QRect(0, 0, 800, 600));
    const QSizeF cell = *view.cellDimension();
    const double scroller = 800 - view.widthExcludingScroller(800);
    const QSize frame(static_cast<int>(std::ceil(static_cast<double>(cols) * cell.width() + scroller)),
                      static_cast<int>(std::ceil(static_cast<double>(rows) * cell.height())));
    view.resize(frame);
    view.resizeTerminalToFrame(QSizeF(frame));
    Terminal &terminal = view.getTerminal();
    view.feedHostOutput(screenOfMixedText());
    std::printf("screen %lld x %lld cells of %.2f x %.2f points, view %d x %d\n",
                static_cast<long long>(terminal.cols), static_cast<long long>(terminal.rows), cell.width(),
                cell.height(), view.width(), view.height());

    const Figures painter = benchQPainter(view);
    std::printf("qpainter  full frame %8.3f ms   one changed row %8.3f ms   (%.1f%%)\n", painter.fullFrame,
                painter.oneRow, 100 * painter.oneRow / painter.fullFrame);

    MetalView metalView;
    metalView.resize(view.size());
    MetalTerminalRenderer renderer(&view, &metalView);
    metalView.setDelegate(&renderer);
    metalView.show();
    while (!renderer.isReady() && !renderer.setupError()) {
        QApplication::processEvents();
    }
    if (!renderer.isReady()) {
        std::printf("no GPU renderer: %s\n", qPrintable(renderer.setupError()->description()));
        return 1;
    }
    const GpuFigures gpu = benchGpu(view, metalView, renderer);
    std::printf("gl        first frame %8.3f ms (glyphs rasterised)\n", gpu.coldFrame);
    std::printf("gl        full frame %8.3f ms   one changed row %8.3f ms   (%.1f%%)   build, draw and GPU\n",
                gpu.frame.fullFrame, gpu.frame.oneRow, 100 * gpu.frame.oneRow / gpu.frame.fullFrame);
    std::printf("gl build  full frame %8.3f ms   one changed row %8.3f ms   (%.1f%%)   frame build alone\n",
                gpu.build.fullFrame, gpu.build.oneRow, 100 * gpu.build.oneRow / gpu.build.fullFrame);
    std::printf("gl draw   %8.3f ms per frame: upload, draw calls and the GPU (%s)\n",
                gpu.frame.oneRow - gpu.build.oneRow, reinterpret_cast<const char *>(rendererName(metalView)));
    metalView.setDelegate(nullptr);
    const bool withinTarget = gpu.build.oneRow <= largestRowShare * gpu.build.fullFrame;
    std::printf("one changed row on the GL path: %s (target: its frame build at most %.0f%% of a full one)\n",
                withinTarget ? "met" : "MISSED", 100 * largestRowShare);
    return withinTarget ? 0 : 1;
}
