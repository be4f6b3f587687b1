#include "Kestrix/view/LocalProcessTerminalView.h"

#include "Kestrix/model/Utf8.h"
#include "Kestrix/process/PseudoTerminalHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace kestrix {
namespace {

// A window-size field: never wrapped, whatever the grid or the cells.
unsigned short windowDimension(double value)
{
    if (!(value > 0)) {
        return 0;
    }
    return static_cast<unsigned short>(std::min(std::trunc(value), 65535.0));
}

} // namespace

LocalProcessTerminalView::LocalProcessTerminalView(QWidget *parent, const QRect &frame, std::optional<QFont> font,
                                                   TerminalViewEnvironment environment)
    : TerminalView(parent, frame, std::move(font), std::move(environment))
    , openURL_(LinkOpening::desktopOpener())
    , confirmLink_(LinkOpening::askUser(this))
{
    setTerminalDelegate(this);
    process_ = std::make_unique<LocalProcess>(this, mainQueue(), true);
    // The program is one of this machine's, which may hand over its images as local files.
    getTerminal().options.allowsKittyLocalMedia = true;
}

LocalProcessTerminalView::~LocalProcessTerminalView()
{
    process_.reset();
    setTerminalDelegate(nullptr);
}

void LocalProcessTerminalView::startChildProcess(const std::string &executable,
                                                 const std::vector<std::string> &args,
                                                 const std::optional<std::vector<std::string>> &environment,
                                                 const std::optional<std::string> &execName,
                                                 const std::optional<std::string> &currentDirectory)
{
    if (process_->running()) {
        return;
    }
    process_->startProcess(executable, args, environment, execName, currentDirectory);
}

void LocalProcessTerminalView::stopProcess()
{
    process_->stop();
}

void LocalProcessTerminalView::setLoggingDirectory(std::optional<std::string> directory)
{
    process_->setLoggingDirectory(std::move(directory));
}

void LocalProcessTerminalView::setLinkHandlers(LinkOpening::OpenURL open, LinkOpening::ConfirmLink confirm)
{
    openURL_ = std::move(open);
    confirmLink_ = std::move(confirm);
}

void LocalProcessTerminalView::terminalSizeChanged(TerminalView &, int64_t cols, int64_t rows)
{
    if (!process_ || !process_->running()) {
        return;
    }
    PseudoTerminalHelpers::setWindowSize(process_->childfd(), processWindowSize(*process_));
    if (processDelegate_ != nullptr) {
        processDelegate_->processViewDidResize(*this, cols, rows);
    }
}

void LocalProcessTerminalView::titleChanged(TerminalView &, const std::string &title)
{
    if (processDelegate_ != nullptr) {
        processDelegate_->processViewTitleDidChange(*this, title);
    }
}

void LocalProcessTerminalView::currentDirectoryChanged(TerminalView &, const std::optional<std::string> &directory)
{
    if (processDelegate_ != nullptr) {
        processDelegate_->processViewDirectoryDidChange(*this, directory);
    }
}

void LocalProcessTerminalView::sendToHost(TerminalView &, std::span<const uint8_t> data)
{
    process_->send(data);
}

void LocalProcessTerminalView::scrollPositionChanged(TerminalView &, double) {}

void LocalProcessTerminalView::openLink(TerminalView &, const std::string &link,
                                        const std::map<std::string, std::string> &)
{
    const std::optional<QUrl> url = LinkOpening::linkURL(link);
    if (!url) {
        return;
    }
    mainQueue().async([view = QPointer<LocalProcessTerminalView>(this), url = *url] {
        if (view) {
            LinkOpening::openIfAllowed(url, view->openURL_, view->confirmLink_);
        }
    });
}

void LocalProcessTerminalView::ringBell(TerminalView &)
{
    QApplication::beep();
}

void LocalProcessTerminalView::copyToClipboard(TerminalView &, std::span<const uint8_t> content)
{
    const std::string_view text(reinterpret_cast<const char *>(content.data()), content.size());
    if (!utf8::isValid(text)) {
        return;
    }
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

std::optional<std::vector<uint8_t>> LocalProcessTerminalView::readClipboard(TerminalView &)
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText()) {
        return std::nullopt;
    }
    const QByteArray utf8 = data->text().toUtf8();
    return std::vector<uint8_t>(utf8.begin(), utf8.end());
}

void LocalProcessTerminalView::inlineImagePayload(TerminalView &, std::span<const uint8_t>) {}

void LocalProcessTerminalView::rowsUpdated(TerminalView &, int64_t, int64_t) {}

void LocalProcessTerminalView::processDidExit(LocalProcess &, std::optional<int32_t> exitCode)
{
    if (processDelegate_ != nullptr) {
        processDelegate_->processViewProcessDidExit(*this, exitCode);
    }
}

void LocalProcessTerminalView::processDidReceive(LocalProcess &, std::span<const uint8_t> bytes)
{
    feedHostOutput(bytes);
}

winsize LocalProcessTerminalView::processWindowSize(LocalProcess &)
{
    const double scale = backingScale();
    const QSizeF cell = cellDimension().value_or(QSizeF(0, 0));
    Terminal &t = getTerminal();
    return winsize{windowDimension(static_cast<double>(t.rows)), windowDimension(static_cast<double>(t.cols)),
                   windowDimension(static_cast<double>(t.cols) * cell.width() * scale),
                   windowDimension(static_cast<double>(t.rows) * cell.height() * scale)};
}

} // namespace kestrix
