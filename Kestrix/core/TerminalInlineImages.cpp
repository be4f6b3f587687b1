// OSC 1337: inline image files (File=...:payload) go to the delegate decoded with their size hints;
// every other key is forwarded raw.

#include "Kestrix/core/OscText.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/model/Base64.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>

namespace kestrix {

namespace {

// One size unit: the suffix that selects it and the values it accepts.
struct SizeUnit {
    std::string_view suffix;
    ImageSizeRequest::Kind kind;
    int64_t maximum;
};

// Checked in order: a value ending in "%" is a percentage, one ending in "px" a pixel count, and
// a bare number a count of cells.
constexpr SizeUnit sizeUnits[] = {
    {"%", ImageSizeRequest::Kind::percent, 100},
    {"px", ImageSizeRequest::Kind::pixels, 4095},
    {"", ImageSizeRequest::Kind::cells, 199},
};

} // namespace

void Terminal::oscExtendedCommand(ByteSpan data)
{
    const std::string_view text = osctext::asText(data);
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    const std::string_view key = text.substr(0, equals);
    if (!utf8::isValid(key)) {
        return;
    }
    if (key != "File") {
        if (tdel_ != nullptr) {
            tdel_->terminalExtendedCommand(*this, data);
        }
        return;
    }
    const size_t colon = text.find(':', equals + 1);
    if (colon == std::string_view::npos) {
        return;
    }
    const FileArguments arguments = parseFileArguments(data.subspan(equals + 1, colon - equals - 1));
    const auto inlineArgument = arguments.find("inline");
    if (inlineArgument == arguments.end() || inlineArgument->second != "1") {
        if (tdel_ != nullptr) {
            tdel_->terminalExtendedCommand(*this, data);
        }
        return;
    }
    const std::optional<std::vector<uint8_t>> image = Base64::decode(data.subspan(colon + 1));
    if (!image || tdel_ == nullptr) {
        return;
    }
    const auto aspect = arguments.find("preserveAspectRatio");
    const bool preserveAspectRatio = aspect == arguments.end() || aspect->second == "1";
    tdel_->terminalInlineImage(*this, *image, parseImageSize(arguments, "width"),
                               parseImageSize(arguments, "height"), preserveAspectRatio);
}

Terminal::FileArguments Terminal::parseFileArguments(ByteSpan data)
{
    FileArguments arguments;
    std::string_view rest = osctext::asText(data);
    while (true) {
        const size_t end = rest.find(';');
        const std::string_view piece = rest.substr(0, end);
        const size_t equals = piece.find('=');
        if (equals == std::string_view::npos) {
            return arguments;
        }
        const std::string_view key = piece.substr(0, equals);
        const std::string_view value = piece.substr(equals + 1);
        if (!utf8::isValid(key) || !utf8::isValid(value)) {
            return arguments;
        }
        arguments.insert_or_assign(std::string(key), std::string(value));
        if (end == std::string_view::npos || end + 1 == rest.size()) {
            return arguments;
        }
        rest.remove_prefix(end + 1);
    }
}

ImageSizeRequest Terminal::parseImageSize(const FileArguments &arguments, std::string_view key)
{
    const auto found = arguments.find(std::string(key));
    if (found == arguments.end() || found->second == "auto") {
        return ImageSizeRequest::automatic();
    }
    const std::string_view value = found->second;
    for (const SizeUnit &unit : sizeUnits) {
        if (!value.ends_with(unit.suffix)) {
            continue;
        }
        const std::optional<int64_t> number =
            osctext::parseDecimal(value.substr(0, value.size() - unit.suffix.size()));
        if (!number || *number < 1 || *number > unit.maximum) {
            return ImageSizeRequest::automatic();
        }
        return ImageSizeRequest{unit.kind, *number};
    }
    return ImageSizeRequest::automatic();
}

} // namespace kestrix
