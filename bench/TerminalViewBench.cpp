// The path a user waits on: a real terminal view, made for a session the way the application makes
// it and shown in a window (the offscreen platform unless QT_QPA_PLATFORM says otherwise), fed the
// host's output in 4 KiB pieces through the session's output sink while the event loop runs.
//
// Prints the view's feed rate against the bare terminal's on the same bytes, how often the view
// painted meanwhile, the time to paint a full 200 x 50 screen of coloured text at scale 1 and 2, the
// area and time of the repaint after one changed row, and how long a key pressed while a host floods
// output takes to reach that host through the session's pseudo-terminal. Every figure with a target
// says whether it holds; the exit status is 1 when one does not. Run a release build (scripts/bench);
// an argument (feed, paint, row or keys) runs that section alone.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/view/TerminalView.h"
#include "corvane/catalogue/AuditSink.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/TerminalViewRepresentable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kestrix;

namespace {

constexpr int64_t benchCols = 200;
constexpr int64_t benchRows = 50;
constexpr size_t chunkSize = 4096;
// What the session reads per wake-up of its pseudo-terminal before it lets the event loop run.
constexpr int chunksPerWakeUp = 16;
constexpr size_t feedStreamSize = 24 * 1024 * 1024;
constexpr int feedRuns = 9;
constexpr int paintRuns = 40;
constexpr int keyPresses = 30;
constexpr double frameMs = 1000.0 / 60.0;

constexpr double feedRatioTarget = 0.80;
constexpr double fullRepaintTargetMs = 8.0;

// The environment that makes this program the flooding host of the key test.
constexpr const char *hostStreamVariable = "CALVERO_VIEW_BENCH_HOST_STREAM";
constexpr const char *hostReportVariable = "CALVERO_VIEW_BENCH_HOST_REPORT";

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int64_t monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        return 0;
    }
    const auto index = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

const char *verdict(bool met)
{
    return met ? "pass" : "FAIL";
}

// MARK: Streams

// A small deterministic generator, so every run sees the same bytes.
class Random {
public:
    uint32_t next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    uint32_t below(uint32_t bound) { return next() % bound; }

private:
    uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

const char *const words[] = {"request", "handled", "in",    "ms",      "cache",   "miss",  "for",
                             "user",    "session", "closed", "0x7f3a", "200",     "GET",   "/api/v2/items",
                             "ok",      "retry",   "connection", "timeout", "42",  "worker", "queue"};

std::string colourFor(Random &random)
{
    char sgr[48];
    switch (random.below(5)) {
    case 0:
        std::snprintf(sgr, sizeof sgr, "\x1b[%um", 31 + random.below(7));
        break;
    case 1:
        std::snprintf(sgr, sizeof sgr, "\x1b[1;%um", 91 + random.below(7));
        break;
    case 2:
        std::snprintf(sgr, sizeof sgr, "\x1b[38;5;%um", random.below(256));
        break;
    case 3:
        std::snprintf(sgr, sizeof sgr, "\x1b[38;2;%u;%u;%um", random.below(256), random.below(256),
                      random.below(256));
        break;
    default:
        std::snprintf(sgr, sizeof sgr, "\x1b[48;5;%u;38;5;%um", 232 + random.below(8), 250 + random.below(6));
        break;
    }
    return sgr;
}

// Logs and listings in many colours: coloured words, backgrounds, tabs, a few cursor moves and
// erasures, now and then a scroll region, lines of varying length up to the full width.
std::string mixedColouredStream(size_t size)
{
    Random random;
    std::string text;
    text.reserve(size + 4096);
    int line = 0;
    while (text.size() < size) {
        ++line;
        const uint32_t wordCount = 4 + random.below(28);
        for (uint32_t i = 0; i < wordCount; ++i) {
            if (random.below(3) != 0) {
                text += colourFor(random);
            }
            text += words[random.below(std::size(words))];
            text += random.below(6) == 0 ? "\x1b[m\t" : "\x1b[m ";
        }
        if (random.below(10) == 0) {
            text += "\x1b[2A\x1b[7C\x1b[1;35m*\x1b[m\x1b[2B";
        }
        if (random.below(16) == 0) {
            text += "\x1b[150G\x1b[32mdone\x1b[m\x1b[K";
        }
        text += "\r\n";
        if (line % 500 == 0) {
            text += "\x1b[5;30r\x1b[30;1H";
            for (int i = 0; i < 8; ++i) {
                text += "\x1b[48;5;236m progress " + std::to_string(i) + "\x1b[K\x1b[m\n";
            }
            text += "\x1b[r\x1b[50;1H";
        }
    }
    return text;
}

// One full screen: every cell of every row holds a coloured character, words in changing colours
// on a few backgrounds, some bold; the cursor ends on the last row without scrolling.
std::string colouredPage(int64_t cols, int64_t rows)
{
    Random random;
    std::string text = "\x1b[H\x1b[2J";
    for (int64_t row = 0; row < rows; ++row) {
        text += "\x1b[" + std::to_string(row + 1) + ";1H";
        int64_t column = 0;
        while (column < cols) {
            text += colourFor(random);
            const std::string word = words[random.below(std::size(words))];
            const auto take = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(word.size()) + 1,
                                                                    cols - column));
            text += (word + "_").substr(0, take);
            column += static_cast<int64_t>(take);
            text += "\x1b[m";
        }
    }
    return text;
}

// MARK: The flooding host

// Run as the session's "ssh": writes the stream to the terminal over and over, and reports every
// byte it reads (the user's keys) with the monotonic time it arrived.
int runFloodingHost(const char *streamPath, const char *reportPath)
{
    termios mode{};
    if (tcgetattr(STDIN_FILENO, &mode) == 0) {
        cfmakeraw(&mode);
        tcsetattr(STDIN_FILENO, TCSANOW, &mode);
    }
    QFile streamFile(QString::fromLocal8Bit(streamPath));
    if (!streamFile.open(QIODevice::ReadOnly)) {
        return 2;
    }
    const QByteArray stream = streamFile.readAll();
    const int report = ::open(reportPath, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (report < 0 || stream.isEmpty()) {
        return 2;
    }
    std::thread([report] {
        unsigned char byte = 0;
        while (::read(STDIN_FILENO, &byte, 1) == 1) {
            char line[64];
            const int length = std::snprintf(line, sizeof line, "%u %lld\n", byte,
                                             static_cast<long long>(monotonicNs()));
            if (::write(report, line, static_cast<size_t>(length)) != length) {
                break;
            }
        }
    }).detach();
    for (;;) {
        qsizetype offset = 0;
        while (offset < stream.size()) {
            const ssize_t written =
                ::write(STDOUT_FILENO, stream.constData() + offset, static_cast<size_t>(stream.size() - offset));
            if (written < 0) {
                return 0; // the terminal is gone
            }
            offset += written;
        }
    }
}

// MARK: The view under test

class SilentAuditSink final : public corvane::AuditSink {
public:
    void log(const QString &, const QString &, corvane::RiskLevel, const corvane::ServerProfile &) override {}
};

// Counts and times the view's paints and keeps the areas they covered. Paints of more than half the
// view are counted apart: under a flood those are the frames, the small ones the caret's moves and
// blinks (which show the text under it again).
class PaintProbe final : public QObject {
public:
    double viewHeight = 0;
    int paints = 0;
    int screenPaints = 0;
    double paintMs = 0;
    QRegion painted;

    void reset()
    {
        paints = 0;
        screenPaints = 0;
        paintMs = 0;
        painted = QRegion();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        const QRegion &region = static_cast<QPaintEvent *>(event)->region();
        painted += region;
        if (region.boundingRect().height() > viewHeight / 2) {
            ++screenPaints;
        }
        const auto start = Clock::now();
        watched->event(event);
        paintMs += msSince(start);
        ++paints;
        return true;
    }
};

// Runs the event loop for a while.
void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

struct Bench {
    SilentAuditSink audit;
    QTemporaryDir home;
    std::unique_ptr<corvane::SSHSession> session;
    QWidget window;
    TerminalView *view = nullptr;
    PaintProbe probe;

    bool setUp(const QString &hostProgram)
    {
        corvane::SSHSessionConfiguration configuration;
        configuration.sshPath = hostProgram;
        configuration.homeDirectory = home.path();
        configuration.auditSink = &audit;
        auto profile = std::make_shared<corvane::ServerProfile>(QStringLiteral("bench"), QString(),
                                                                QStringLiteral("bench.invalid"));
        session = std::make_unique<corvane::SSHSession>(profile, configuration);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        corvane::TerminalViewRepresentable &representable = corvane::TerminalViewRepresentable::forSession(*session);
        representable.embed(window);
        view = &representable.view();
        window.show();
        spin(50);
        const QSizeF cell = *view->cellDimension();
        const double scroller = 1000 - view->widthExcludingScroller(1000);
        window.resize(static_cast<int>(std::ceil(cell.width() * benchCols + scroller)),
                      static_cast<int>(std::ceil(cell.height() * benchRows)));
        spin(100);
        probe.viewHeight = view->height();
        view->installEventFilter(&probe);
        const Terminal &terminal = view->getTerminal();
        if (terminal.cols != benchCols || terminal.rows != benchRows) {
            std::printf("The view did not reach %lld x %lld (it is %lld x %lld).\n",
                        static_cast<long long>(benchCols), static_cast<long long>(benchRows),
                        static_cast<long long>(terminal.cols), static_cast<long long>(terminal.rows));
            return false;
        }
        return true;
    }

    double cellHeight() const { return view->cellDimension()->height(); }

    // Feeds as the session does: through its output sink, a few 4 KiB pieces per turn of the event loop.
    double feedThroughView(const std::string &stream)
    {
        size_t offset = 0;
        QEventLoop loop;
        QTimer reader;
        reader.setInterval(0);
        const auto start = Clock::now();
        double elapsedMs = 0;
        QObject::connect(&reader, &QTimer::timeout, [&] {
            for (int i = 0; i < chunksPerWakeUp && offset < stream.size(); ++i) {
                const size_t length = std::min(chunkSize, stream.size() - offset);
                session->handleOutput(QByteArrayView(stream.data() + offset, static_cast<qsizetype>(length)));
                offset += length;
            }
            if (offset >= stream.size()) {
                elapsedMs = msSince(start);
                reader.stop();
                loop.quit();
            }
        });
        reader.start();
        loop.exec();
        return elapsedMs;
    }
};

double feedBare(Terminal &terminal, const std::string &stream)
{
    const auto start = Clock::now();
    for (size_t offset = 0; offset < stream.size(); offset += chunkSize) {
        const size_t length = std::min(chunkSize, stream.size() - offset);
        terminal.feedBytes({reinterpret_cast<const uint8_t *>(stream.data() + offset), length});
    }
    return msSince(start);
}

// MARK: Sections

bool printFeedRates(Bench &bench)
{
    const std::string stream = mixedColouredStream(feedStreamSize);
    Terminal bare(nullptr, bench.view->getTerminal().options);
    feedBare(bare, stream);
    bench.feedThroughView(stream);
    spin(50);

    // Each view run follows a bare run and is compared with it, so a change of the machine's load
    // between runs moves both sides of a ratio alike.
    std::vector<double> bareRates;
    std::vector<double> viewRates;
    std::vector<double> ratios;
    std::vector<double> paintsPerSecond;
    std::vector<double> paintShares;
    const double megabytes = static_cast<double>(stream.size()) / 1e6;
    for (int run = 0; run < feedRuns; ++run) {
        bareRates.push_back(megabytes / (feedBare(bare, stream) / 1000));
        bench.probe.reset();
        const double viewMs = bench.feedThroughView(stream);
        viewRates.push_back(megabytes / (viewMs / 1000));
        ratios.push_back(viewRates.back() / bareRates.back());
        paintsPerSecond.push_back(bench.probe.screenPaints / (viewMs / 1000));
        paintShares.push_back(bench.probe.paintMs / viewMs);
        spin(50);
    }
    const double bareRate = median(bareRates);
    const double viewRate = median(viewRates);
    const double ratio = median(ratios);
    const double paintRate = median(paintsPerSecond);
    // Paced drawing: never more than one paint per frame (and a little slack for the timer).
    const bool paced = paintRate <= 1000.0 / frameMs * 1.1;
    std::printf("Feed of %.1f MB of mixed coloured text in 4 KiB pieces at %lld x %lld, median of %d runs\n",
                megabytes, static_cast<long long>(benchCols), static_cast<long long>(benchRows), feedRuns);
    std::printf("  bare terminal            %8.1f MB/s\n", bareRate);
    std::printf("  view, through the sink   %8.1f MB/s   %5.1f %% of bare (median of the runs' ratios)   "
                "target >= %.0f %%   %s\n",
                viewRate,
                ratio * 100, feedRatioTarget * 100, verdict(ratio >= feedRatioTarget));
    std::printf("  screen paints            %8.1f per second (all paints %.0f %% of the time)   target <= one per "
                "frame   %s\n",
                paintRate, median(paintShares) * 100, verdict(paced));
    return ratio >= feedRatioTarget && paced;
}

struct PaintTimes {
    double renderer = 0;
    double widget = 0;
};

double timeRendererPaint(TerminalView &view, double scale)
{
    QImage image(QSize(static_cast<int>(view.width() * scale), static_cast<int>(view.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    const QRectF whole(0, 0, view.width(), view.height());
    const int64_t yDisp = view.getTerminal().buffer->yDisp();
    std::vector<double> times;
    for (int run = 0; run < paintRuns + 3; ++run) {
        QPainter painter(&image);
        const auto start = Clock::now();
        view.drawTerminalContents(painter, whole, yDisp);
        painter.end();
        if (run >= 3) {
            times.push_back(msSince(start));
        }
    }
    return median(times);
}

double timeWidgetRepaint(TerminalView &view, const QRect &area)
{
    std::vector<double> times;
    for (int run = 0; run < paintRuns + 3; ++run) {
        const auto start = Clock::now();
        view.repaint(area);
        if (run >= 3) {
            times.push_back(msSince(start));
        }
    }
    return median(times);
}

bool printFullRepaint(Bench &bench)
{
    bench.view->feedHostOutput(colouredPage(benchCols, benchRows));
    spin(100);
    const double scale1 = timeRendererPaint(*bench.view, 1);
    const double scale2 = timeRendererPaint(*bench.view, 2);
    const double widget = timeWidgetRepaint(*bench.view, bench.view->rect());
    std::printf("\nFull repaint of %lld x %lld cells of coloured text, median of %d\n",
                static_cast<long long>(benchCols), static_cast<long long>(benchRows), paintRuns);
    std::printf("  row renderer, scale 1    %8.2f ms\n", scale1);
    std::printf("  row renderer, scale 2    %8.2f ms\n", scale2);
    std::printf("  the shown view, scale 1  %8.2f ms   target <= %.0f ms   %s\n", widget, fullRepaintTargetMs,
                verdict(widget <= fullRepaintTargetMs));
    return widget <= fullRepaintTargetMs;
}

bool printOneRowChange(Bench &bench)
{
    constexpr int64_t changedRow = 20; // 0-based screen row
    const std::string home = "\x1b[" + std::to_string(changedRow + 1) + ";1H";
    // The cursor waits on the row first, so only the row's own change is left to draw.
    bench.view->feedHostOutput(home);
    spin(100);
    bench.probe.reset();
    bench.view->feedHostOutput(home + "\x1b[38;5;208mthis row changed\x1b[m\x1b[K" + home);
    spin(100);
    const QRect area = bench.probe.painted.boundingRect();
    const double ch = bench.cellHeight();
    const auto firstRow = static_cast<int64_t>(std::floor(area.top() / ch));
    const auto lastRow = static_cast<int64_t>(std::ceil((area.bottom() + 1) / ch)) - 1;
    // The changed row's band, and the one row below that the view redraws with it for glyphs that
    // reach below their cell.
    const bool onlyThatRow = !area.isEmpty() && firstRow == changedRow && lastRow <= changedRow + 1 &&
                             area.width() <= bench.view->width();
    const int paints = bench.probe.paints;
    const double rowPaint = timeWidgetRepaint(*bench.view, area.isEmpty() ? QRect() : area);
    std::printf("\nOne changed row (screen row %lld)\n", static_cast<long long>(changedRow));
    std::printf("  paints                   %8d in 100 ms (the row's update and the caret's blink)\n", paints);
    std::printf("  area repainted           x %d..%d, y %d..%d: rows %lld..%lld of %lld   target: that row "
                "(and the row below)   %s\n",
                area.left(), area.right(), area.top(), area.bottom(), static_cast<long long>(firstRow),
                static_cast<long long>(lastRow), static_cast<long long>(benchRows), verdict(onlyThatRow));
    std::printf("  time to repaint it       %8.2f ms\n", rowPaint);
    return onlyThatRow;
}

// Keys pressed while the host floods the terminal, timed from the press until the host read them.
bool printKeysDuringFlood(Bench &bench, const QString &streamPath, const QString &reportPath)
{
    qputenv(hostStreamVariable, streamPath.toLocal8Bit());
    qputenv(hostReportVariable, reportPath.toLocal8Bit());
    if (std::optional<QString> error = bench.session->launchSSH()) {
        std::printf("\nThe flooding host did not start: %s\n", qPrintable(*error));
        return false;
    }
    spin(500);
    bench.probe.reset();
    std::vector<int64_t> pressedAt;
    const auto floodStart = Clock::now();
    for (int press = 0; press < keyPresses; ++press) {
        const QChar letter(QLatin1Char(static_cast<char>('a' + press % 26)));
        pressedAt.push_back(monotonicNs());
        QCoreApplication::postEvent(bench.view, new QKeyEvent(QEvent::KeyPress, Qt::Key_A + press % 26,
                                                              Qt::NoModifier, QString(letter)));
        QCoreApplication::postEvent(bench.view, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A + press % 26,
                                                              Qt::NoModifier, QString(letter)));
        spin(40 + press * 7 % 30);
    }
    spin(300);
    const double floodMs = msSince(floodStart);
    const int paints = bench.probe.screenPaints;
    bench.session->disconnect();

    QFile report(reportPath);
    std::vector<double> latencies;
    if (report.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = report.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 2 && latencies.size() < pressedAt.size()) {
                latencies.push_back(static_cast<double>(fields[1].toLongLong() -
                                                        pressedAt[latencies.size()]) / 1e6);
            }
        }
    }
    std::printf("\nKeys pressed while the host floods the terminal (%d presses, through the session's "
                "pseudo-terminal)\n", keyPresses);
    if (latencies.size() != pressedAt.size()) {
        std::printf("  only %zu of %zu keys reached the host   FAIL\n", latencies.size(), pressedAt.size());
        return false;
    }
    const double p90 = percentile(latencies, 0.9);
    const double paintRate = paints / (floodMs / 1000);
    const bool paced = paintRate <= 1000.0 / frameMs * 1.1;
    std::printf("  screen paints meanwhile  %8.1f per second   target <= one per frame   %s\n", paintRate,
                verdict(paced));
    std::printf("  press to host            median %.2f ms, 90th percentile %.2f ms, worst %.2f ms   "
                "target: 90th percentile <= one frame (%.1f ms)   %s\n",
                median(latencies), p90, percentile(latencies, 1.0), frameMs, verdict(p90 <= frameMs));
    return p90 <= frameMs && paced;
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *stream = std::getenv(hostStreamVariable)) {
        const char *report = std::getenv(hostReportVariable);
        return report != nullptr ? runFloodingHost(stream, report) : 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    Bench bench;
    if (!bench.home.isValid() || !bench.setUp(QCoreApplication::applicationFilePath())) {
        return 1;
    }
    // One section alone when named: feed, paint, row or keys.
    const std::string only = argc > 1 ? argv[1] : "";
    const auto runs = [&](const char *section) { return only.empty() || only == section; };
    bool met = true;
    if (runs("feed")) {
        met = printFeedRates(bench) && met;
    }
    if (runs("paint") || runs("row")) {
        met = printFullRepaint(bench) && met;
    }
    if (runs("row")) {
        met = printOneRowChange(bench) && met;
    }
    if (!runs("keys")) {
        std::printf("\n%s\n", met ? "All targets met." : "Some targets missed.");
        return met ? 0 : 1;
    }

    QTemporaryDir files;
    const QString streamPath = files.filePath(QStringLiteral("stream"));
    const QString reportPath = files.filePath(QStringLiteral("report"));
    QFile streamFile(streamPath);
    const std::string flood = mixedColouredStream(4 * 1024 * 1024);
    if (!streamFile.open(QIODevice::WriteOnly) ||
        streamFile.write(flood.data(), static_cast<qsizetype>(flood.size())) != static_cast<qsizetype>(flood.size())) {
        return 1;
    }
    streamFile.close();
    met = printKeysDuringFlood(bench, streamPath, reportPath) && met;

    std::printf("\n%s\n", met ? "All targets met." : "Some targets missed.");
    return met ? 0 : 1;
}
