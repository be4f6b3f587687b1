#pragma once

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/process/LocalProcess.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// A Terminal bound to a LocalProcess without a view: the child's output is parsed into the screen,
// the terminal's replies go back to the child, and the owner hears when the child ends. It keeps the
// last working directory the host reported and every bitmap the terminal handed over.
class HeadlessTerminal : public TerminalDelegate, public LocalProcessDelegate {
public:
    using EndHandler = std::function<void(std::optional<int32_t> exitCode)>;

    // The most bitmaps kept; beyond it, or beyond the terminal's image byte limit, the oldest go.
    static constexpr size_t maximumImageCount = 1024;

    struct Image {
        std::vector<uint8_t> bytes; // RGBA, rows top to bottom
        int64_t width = 0;
        int64_t height = 0;
    };

    // Process callbacks, the parser and `onEnd` run on `queue`'s thread; `queueIsMain` as for
    // LocalProcess. The child is not started here: call process()->startProcess(...). The child is
    // local, so the terminal allows Kitty's local media whatever `options` says; an owner that feeds
    // it bytes from elsewhere switches them off through terminal().options.
    HeadlessTerminal(TerminalOptions options, TaskQueue &queue, EndHandler onEnd, bool queueIsMain = true);
    ~HeadlessTerminal() override;

    HeadlessTerminal(const HeadlessTerminal &) = delete;
    HeadlessTerminal &operator=(const HeadlessTerminal &) = delete;

    Terminal &terminal() { return *terminal_; }
    LocalProcess *process() { return process_.get(); }
    void setProcess(std::unique_ptr<LocalProcess> process) { process_ = std::move(process); }
    const std::optional<std::string> &dir() const { return dir_; }
    std::vector<Image> &images() { return images_; }

    // Bytes for the child; nothing happens unless it runs.
    void sendBytes(std::span<const uint8_t> bytes);
    void sendString(std::string_view text);
    // Nothing means no scrollback at all.
    void setScrollback(std::optional<int64_t> lines);

    // LocalProcessDelegate
    void processDidExit(LocalProcess &source, std::optional<int32_t> exitCode) override;
    void processDidReceive(LocalProcess &source, std::span<const uint8_t> bytes) override;
    winsize processWindowSize(LocalProcess &source) override;

    // TerminalDelegate: what the headless host answers itself; all other notices are ignored.
    void terminalSendToHost(Terminal &source, std::span<const uint8_t> data) override;
    void terminalCurrentDirectoryDidChange(Terminal &source) override;
    void terminalBitmapImage(Terminal &source, std::span<const uint8_t> bytes, int64_t width,
                             int64_t height) override;
    bool terminalAllowsHostQueries(Terminal &source) override;
    std::optional<std::vector<uint8_t>>
    terminalWindowRequest(Terminal &source, const WindowManipulationCommand &command) override;
    std::optional<CellPixelSize> terminalCellPixelSize(Terminal &source) override;
    std::optional<std::vector<uint8_t>> terminalReadClipboard(Terminal &source) override;

private:
    void dropOldestImagesBeyondLimits();

    // Declared first so it is released last: the process delivers into it until it goes.
    std::unique_ptr<Terminal> terminal_;
    std::unique_ptr<LocalProcess> process_;
    EndHandler onEnd_;
    std::optional<std::string> dir_;
    std::vector<Image> images_;
};

} // namespace kestrix
