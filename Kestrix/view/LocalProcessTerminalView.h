#pragma once

#include "Kestrix/process/LocalProcess.h"
#include "Kestrix/process/LocalProcessDelegate.h"
#include "Kestrix/view/LinkOpening.h"
#include "Kestrix/view/LocalProcessTerminalViewDelegate.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

// A terminal view that runs a program of this machine in itself: it is its own host and the owner
// of the program's LocalProcess. Keys, pastes and the terminal's replies go to the program, its
// output is shown, the grid's size reaches its pseudo-terminal while it runs, and title, directory,
// size and exit are told to the application's processDelegate. The clipboard, links and the bell
// are the desktop's.
//
// Every answer goes through a virtual member, so a subclass can change how the view answers.
class LocalProcessTerminalView : public TerminalView,
                                 public TerminalViewDelegate,
                                 public LocalProcessDelegate {
    Q_OBJECT

public:
    explicit LocalProcessTerminalView(QWidget *parent = nullptr, const QRect &frame = {},
                                      std::optional<QFont> font = {}, TerminalViewEnvironment environment = {});
    ~LocalProcessTerminalView() override;

    LocalProcess &process() { return *process_; }
    // Held weakly: the application clears it before it goes away.
    LocalProcessTerminalViewDelegate *processDelegate() const { return processDelegate_; }
    void setProcessDelegate(LocalProcessTerminalViewDelegate *delegate) { processDelegate_ = delegate; }

    // Does nothing while a program runs; otherwise as LocalProcess::startProcess.
    void startChildProcess(const std::string &executable, const std::vector<std::string> &args = {},
                           const std::optional<std::vector<std::string>> &environment = std::nullopt,
                           const std::optional<std::string> &execName = std::nullopt,
                           const std::optional<std::string> &currentDirectory = std::nullopt);
    void stopProcess();
    // Every chunk of output is also written to DIR/log-N while set.
    void setLoggingDirectory(std::optional<std::string> directory);
    // How links open and how the user is asked; the desktop's and a question box by default.
    void setLinkHandlers(LinkOpening::OpenURL open, LinkOpening::ConfirmLink confirm);

    // --- As its own host ---------------------------------------------------------------------------

    void terminalSizeChanged(TerminalView &source, int64_t cols, int64_t rows) override;
    void titleChanged(TerminalView &source, const std::string &title) override;
    void currentDirectoryChanged(TerminalView &source, const std::optional<std::string> &directory) override;
    void sendToHost(TerminalView &source, std::span<const uint8_t> data) override;
    void scrollPositionChanged(TerminalView &source, double position) override;
    // The link opens later, on the main queue, never inside the output that asked for it.
    void openLink(TerminalView &source, const std::string &link,
                  const std::map<std::string, std::string> &parameters) override;
    void ringBell(TerminalView &source) override;
    // Text that is not UTF-8 leaves the clipboard as it was.
    void copyToClipboard(TerminalView &source, std::span<const uint8_t> content) override;
    std::optional<std::vector<uint8_t>> readClipboard(TerminalView &source) override;
    void inlineImagePayload(TerminalView &source, std::span<const uint8_t> content) override;
    void rowsUpdated(TerminalView &source, int64_t startRow, int64_t endRow) override;

    // --- As the program's owner --------------------------------------------------------------------

    void processDidExit(LocalProcess &source, std::optional<int32_t> exitCode) override;
    void processDidReceive(LocalProcess &source, std::span<const uint8_t> bytes) override;
    // Rows, columns and the grid's size in device pixels, each clamped to 0...65535.
    winsize processWindowSize(LocalProcess &source) override;

private:
    std::unique_ptr<LocalProcess> process_;
    LocalProcessTerminalViewDelegate *processDelegate_ = nullptr;
    LinkOpening::OpenURL openURL_;
    LinkOpening::ConfirmLink confirmLink_;
};

} // namespace kestrix
