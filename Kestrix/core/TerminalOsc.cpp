// Operating-system commands without colours, links or images: the host's document and directory,
// progress reports, the clipboard and desktop notifications; and the framing of every OSC reply.

#include "Kestrix/core/OscText.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/model/Base64.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>

namespace kestrix {

namespace {

// The text of a document or directory: valid UTF-8 (ASCII included), else nothing.
std::optional<std::string> hostLocationText(ByteSpan data)
{
    std::string text(osctext::asText(data));
    if (!utf8::isValid(text)) {
        return std::nullopt;
    }
    return text;
}

std::optional<uint8_t> progressValue(std::string_view piece)
{
    const std::optional<int64_t> value = osctext::parseDecimal(piece);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(std::clamp<int64_t>(*value, 0, 100));
}

} // namespace

void Terminal::sendOscReply(std::string_view text)
{
    // Always ST, never BEL, whatever ended the request.
    sendReply({osc(), text, st()});
}

void Terminal::oscCurrentDocument(ByteSpan data)
{
    if (tdel_ == nullptr || !tdel_->terminalAllowsHostQueries(*this)) {
        return;
    }
    if (std::optional<std::string> text = hostLocationText(data)) {
        hostCurrentDocument = std::move(*text);
        tdel_->terminalCurrentDocumentDidChange(*this);
    }
}

void Terminal::oscCurrentDirectory(ByteSpan data)
{
    if (tdel_ == nullptr || !tdel_->terminalAllowsHostQueries(*this)) {
        return;
    }
    if (std::optional<std::string> text = hostLocationText(data)) {
        hostCurrentDirectory = std::move(*text);
        tdel_->terminalCurrentDirectoryDidChange(*this);
    }
}

std::optional<ProgressReport> Terminal::parseProgressReport(ByteSpan data)
{
    const std::string_view text = osctext::asText(data);
    if (!osctext::isAscii(text)) {
        return std::nullopt;
    }
    const std::vector<std::string_view> pieces = osctext::split(text, ';', true);
    if (pieces.size() < 2 || pieces[0] != "4") {
        return std::nullopt;
    }
    if (pieces[1].size() != 1 || pieces[1][0] < '0' || pieces[1][0] > '4') {
        return std::nullopt;
    }
    const auto state = static_cast<ProgressReportState>(pieces[1][0] - '0');
    std::optional<uint8_t> progress;
    if (pieces.size() > 2 && !pieces[2].empty()) {
        progress = progressValue(pieces[2]);
        if (!progress) {
            return std::nullopt;
        }
    }
    switch (state) {
    case ProgressReportState::remove:
        return ProgressReport{state, std::nullopt};
    case ProgressReportState::set:
        return ProgressReport{state, progress.value_or(0)};
    default:
        return ProgressReport{state, progress};
    }
}

void Terminal::oscClipboard(ByteSpan data)
{
    const std::string_view text = osctext::asText(data);
    const size_t separator = text.find(';');
    if (separator == std::string_view::npos) {
        return;
    }
    std::string_view selection = text.substr(0, separator);
    if (selection.empty() || !osctext::isAscii(selection)) {
        selection = "c";
    }
    const ByteSpan payload = data.subspan(separator + 1);
    if (osctext::asText(payload) == "?") {
        if (tdel_ == nullptr) {
            return;
        }
        if (const std::optional<std::vector<uint8_t>> contents = tdel_->terminalReadClipboard(*this)) {
            std::string reply = "52;";
            reply += selection;
            reply += ';';
            reply += Base64::encode(*contents);
            sendOscReply(reply);
        }
        return;
    }
    const std::optional<std::vector<uint8_t>> decoded = Base64::decode(payload);
    if (decoded && tdel_ != nullptr) {
        tdel_->terminalCopyToClipboard(*this, *decoded);
    }
}

void Terminal::oscDesktopNotification(ByteSpan data)
{
    const std::string_view text = osctext::asText(data);
    if (tdel_ == nullptr || !utf8::isValid(text)) {
        return;
    }
    // notify;title;body, where the body may itself hold ";".
    constexpr std::string_view command = "notify;";
    if (!text.starts_with(command)) {
        return;
    }
    const std::string_view rest = text.substr(command.size());
    const size_t separator = rest.find(';');
    if (separator == std::string_view::npos) {
        return;
    }
    tdel_->terminalDesktopNotification(*this, std::string(rest.substr(0, separator)),
                                       std::string(rest.substr(separator + 1)));
}

} // namespace kestrix
