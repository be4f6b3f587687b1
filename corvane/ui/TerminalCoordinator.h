#pragma once

#include "Kestrix/view/TerminalViewDelegate.h"

#include <QPointer>
#include <QUrl>

class QWidget;

#include <functional>
#include <optional>

namespace corvane {

class SSHSession;

// The terminal view's host for one session: keystrokes, pastes, mouse reports and replies go
// to the session, grid sizes to its pseudo-terminal, titles to the session's title. Each of
// these is applied from the event loop in the order the view issued it, and only while the
// session still exists. Links from the host open without asking only for http, https and
// mailto; any other scheme is shown whole and asked about first.
class TerminalCoordinator final : public kestrix::TerminalViewDelegate {
public:
    // Opens a URL with the desktop's handler.
    using OpenURL = std::function<void(const QUrl &)>;
    // Whether the user agrees to open a link of a scheme that is not known to be harmless.
    using ConfirmLink = std::function<bool(const QUrl &)>;

    explicit TerminalCoordinator(SSHSession &session);

    SSHSession *session() const { return session_; }
    void setOpenURL(OpenURL openURL) { openURL_ = std::move(openURL); }
    void setConfirmLink(ConfirmLink confirmLink) { confirmLink_ = std::move(confirmLink); }

    // The link text as a URL with a scheme; nothing when it does not parse.
    static std::optional<QUrl> linkURL(const std::string &link);
    static bool opensWithoutAsking(const QUrl &url);
    static ConfirmLink defaultConfirmLink(QWidget *parent);

    void terminalSizeChanged(kestrix::TerminalView &source, int64_t cols, int64_t rows) override;
    void titleChanged(kestrix::TerminalView &source, const std::string &title) override;
    void currentDirectoryChanged(kestrix::TerminalView &source,
                                 const std::optional<std::string> &directory) override;
    void sendToHost(kestrix::TerminalView &source, std::span<const uint8_t> data) override;
    void scrollPositionChanged(kestrix::TerminalView &source, double position) override;
    void openLink(kestrix::TerminalView &source, const std::string &link,
                  const std::map<std::string, std::string> &parameters) override;
    void ringBell(kestrix::TerminalView &source) override;
    void copyToClipboard(kestrix::TerminalView &source, std::span<const uint8_t> content) override;
    std::optional<std::vector<uint8_t>> readClipboard(kestrix::TerminalView &source) override;
    void inlineImagePayload(kestrix::TerminalView &source, std::span<const uint8_t> content) override;
    void rowsUpdated(kestrix::TerminalView &source, int64_t startRow, int64_t endRow) override;

private:
    // Runs `operation` with the session from the event loop, unless the session is gone by then.
    void deferToSession(std::function<void(SSHSession &)> operation);

    QPointer<SSHSession> session_;
    OpenURL openURL_;
    ConfirmLink confirmLink_;
};

} // namespace corvane
