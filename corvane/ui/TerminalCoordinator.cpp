#include "corvane/ui/TerminalCoordinator.h"

#include "corvane/session/SSHSession.h"

#include "Kestrix/view/LinkOpening.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

#include <algorithm>

namespace corvane {

TerminalCoordinator::TerminalCoordinator(SSHSession &session)
    : session_(&session)
    , openURL_([](const QUrl &url) { QDesktopServices::openUrl(url); })
    , confirmLink_(defaultConfirmLink(nullptr))
{
}

// A session's links follow the same rule as a local program's.
std::optional<QUrl> TerminalCoordinator::linkURL(const std::string &link)
{
    return kestrix::LinkOpening::linkURL(link);
}

bool TerminalCoordinator::opensWithoutAsking(const QUrl &url)
{
    return kestrix::LinkOpening::opensWithoutAsking(url);
}

TerminalCoordinator::ConfirmLink TerminalCoordinator::defaultConfirmLink(QWidget *parent)
{
    return [parent](const QUrl &url) {
        QMessageBox box(QMessageBox::Question, QObject::tr("Open Link?"),
                        QObject::tr("The remote side asks to open this link:"),
                        QMessageBox::Open | QMessageBox::Cancel, parent);
        box.setTextFormat(Qt::PlainText);
        // The whole target, as text, so nothing in it can hide what it is.
        box.setInformativeText(url.toString(QUrl::FullyEncoded));
        box.setDefaultButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Open;
    };
}

void TerminalCoordinator::deferToSession(std::function<void(SSHSession &)> operation)
{
    QPointer<SSHSession> session = session_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [session, operation = std::move(operation)] {
            if (session) {
                operation(*session);
            }
        },
        Qt::QueuedConnection);
}

void TerminalCoordinator::terminalSizeChanged(kestrix::TerminalView &, int64_t cols, int64_t rows)
{
    // The session keeps the size for pseudo-terminals it opens later, so it is passed on in
    // every state; counts beyond 16 bits are clamped there.
    const int rowCount = int(std::clamp<int64_t>(rows, 0, 0xFFFF));
    const int columnCount = int(std::clamp<int64_t>(cols, 0, 0xFFFF));
    deferToSession(
        [rowCount, columnCount](SSHSession &session) { session.setWindowSize(rowCount, columnCount); });
}

void TerminalCoordinator::titleChanged(kestrix::TerminalView &, const std::string &title)
{
    deferToSession([title = QString::fromStdString(title)](SSHSession &session) { session.setTitle(title); });
}

void TerminalCoordinator::currentDirectoryChanged(kestrix::TerminalView &, const std::optional<std::string> &)
{
}

void TerminalCoordinator::sendToHost(kestrix::TerminalView &, std::span<const uint8_t> data)
{
    QByteArray bytes(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
    deferToSession([bytes = std::move(bytes)](SSHSession &session) { session.send(bytes); });
}

void TerminalCoordinator::scrollPositionChanged(kestrix::TerminalView &, double) {}

void TerminalCoordinator::openLink(kestrix::TerminalView &, const std::string &link,
                                   const std::map<std::string, std::string> &)
{
    const std::optional<QUrl> url = linkURL(link);
    if (!url) {
        return;
    }
    const OpenURL open = openURL_;
    const ConfirmLink confirm = confirmLink_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [url = *url, open, confirm] {
            if (opensWithoutAsking(url) || (confirm && confirm(url))) {
                open(url);
            }
        },
        Qt::QueuedConnection);
}

void TerminalCoordinator::ringBell(kestrix::TerminalView &)
{
    QApplication::beep();
}

void TerminalCoordinator::copyToClipboard(kestrix::TerminalView &, std::span<const uint8_t>) {}

std::optional<std::vector<uint8_t>> TerminalCoordinator::readClipboard(kestrix::TerminalView &)
{
    return std::nullopt;
}

void TerminalCoordinator::inlineImagePayload(kestrix::TerminalView &, std::span<const uint8_t>) {}

void TerminalCoordinator::rowsUpdated(kestrix::TerminalView &, int64_t, int64_t) {}

} // namespace corvane
