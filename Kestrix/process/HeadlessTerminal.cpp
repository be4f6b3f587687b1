#include "Kestrix/process/HeadlessTerminal.h"

#include <algorithm>

namespace kestrix {

namespace {

unsigned short windowDimension(int64_t value)
{
    return static_cast<unsigned short>(std::clamp<int64_t>(value, 0, 0xFFFF));
}

} // namespace

HeadlessTerminal::HeadlessTerminal(TerminalOptions options, TaskQueue &queue, EndHandler onEnd,
                                   bool queueIsMain)
    : terminal_(std::make_unique<Terminal>(this, std::move(options), &queue))
    , process_(std::make_unique<LocalProcess>(this, queue, queueIsMain))
    , onEnd_(std::move(onEnd))
{
    // The child is a program on this machine, which may hand over its images as local files.
    terminal_->options.allowsKittyLocalMedia = true;
}

HeadlessTerminal::~HeadlessTerminal()
{
    process_.reset();
    terminal_->setDelegate(nullptr);
}

void HeadlessTerminal::sendBytes(std::span<const uint8_t> bytes)
{
    if (process_) {
        process_->send(bytes);
    }
}

void HeadlessTerminal::sendString(std::string_view text)
{
    sendBytes({reinterpret_cast<const uint8_t *>(text.data()), text.size()});
}

void HeadlessTerminal::setScrollback(std::optional<int64_t> lines)
{
    terminal_->setScrollbackLines(lines);
}

void HeadlessTerminal::processDidExit(LocalProcess &, std::optional<int32_t> exitCode)
{
    if (onEnd_) {
        onEnd_(exitCode);
    }
}

void HeadlessTerminal::processDidReceive(LocalProcess &, std::span<const uint8_t> bytes)
{
    terminal_->parser().parse(bytes);
}

winsize HeadlessTerminal::processWindowSize(LocalProcess &)
{
    return winsize{windowDimension(terminal_->rows), windowDimension(terminal_->cols), 16, 16};
}

void HeadlessTerminal::terminalSendToHost(Terminal &, std::span<const uint8_t> data)
{
    sendBytes(data);
}

void HeadlessTerminal::terminalCurrentDirectoryDidChange(Terminal &source)
{
    dir_ = source.hostCurrentDirectory;
}

void HeadlessTerminal::terminalBitmapImage(Terminal &, std::span<const uint8_t> bytes, int64_t width,
                                           int64_t height)
{
    images_.push_back({std::vector<uint8_t>(bytes.begin(), bytes.end()), width, height});
    dropOldestImagesBeyondLimits();
}

void HeadlessTerminal::dropOldestImagesBeyondLimits()
{
    // A child can send images without end; keep the newest within the terminal's image budget.
    const auto byteLimit =
        static_cast<uint64_t>(std::max<int64_t>(terminal_->options.kittyImageCacheLimitBytes, 0));
    uint64_t total = 0;
    for (const Image &image : images_) {
        total += image.bytes.size();
    }
    size_t dropped = 0;
    while (dropped < images_.size() && (images_.size() - dropped > maximumImageCount || total > byteLimit)) {
        total -= images_[dropped].bytes.size();
        ++dropped;
    }
    images_.erase(images_.begin(), images_.begin() + static_cast<std::ptrdiff_t>(dropped));
}

bool HeadlessTerminal::terminalAllowsHostQueries(Terminal &)
{
    return true;
}

std::optional<std::vector<uint8_t>> HeadlessTerminal::terminalWindowRequest(Terminal &,
                                                                            const WindowManipulationCommand &)
{
    return std::nullopt;
}

std::optional<CellPixelSize> HeadlessTerminal::terminalCellPixelSize(Terminal &)
{
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> HeadlessTerminal::terminalReadClipboard(Terminal &)
{
    return std::nullopt;
}

} // namespace kestrix
