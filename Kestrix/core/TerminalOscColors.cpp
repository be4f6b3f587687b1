// Colour commands: palette entries (OSC 4 and 104) and the dynamic foreground, background and
// cursor colours (OSC 10, 11 and 12).

#include "Kestrix/core/OscText.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <algorithm>
#include <optional>

namespace kestrix {

namespace {

constexpr int64_t paletteSize = 256;

// The palette entry that the text names: digits only, within the palette. Anything else names
// no entry (it is not read as entry 0 or as its leading digits).
std::optional<size_t> paletteIndex(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    int64_t index = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        // Saturates just past the palette.
        index = std::min<int64_t>(index * 10 + (c - '0'), paletteSize);
    }
    if (index >= paletteSize) {
        return std::nullopt;
    }
    return static_cast<size_t>(index);
}

enum class DynamicTarget { foreground, background, cursor };

} // namespace

void Terminal::oscChangeOrQueryColorIndex(ByteSpan data)
{
    std::string_view text = osctext::asText(data);
    // Pairs of index ";" colour, separated by ";".
    while (true) {
        const size_t indexEnd = text.find(';');
        if (indexEnd == std::string_view::npos) {
            return;
        }
        const std::optional<size_t> index = paletteIndex(text.substr(0, indexEnd));
        if (!index) {
            return;
        }
        const std::string_view rest = text.substr(indexEnd + 1);
        const size_t specEnd = rest.find(';');
        const std::string_view spec = rest.substr(0, specEnd);
        const size_t entry = *index;
        if (spec.starts_with('?')) {
            sendOscReply("4;" + std::to_string(entry) + ";" + ansiColors[entry].formatAsXtermRgb());
        } else if (const std::optional<Color> color = Color::parseColor(spec)) {
            ansiColors[entry] = *color;
            if (tdel_ != nullptr) {
                tdel_->terminalPaletteDidChange(*this, static_cast<int64_t>(entry));
            }
        }
        if (specEnd == std::string_view::npos) {
            return;
        }
        text = rest.substr(specEnd + 1);
    }
}

void Terminal::resetPaletteToDefaults()
{
    ansiColors = defaultAnsiColors;
    if (tdel_ != nullptr) {
        tdel_->terminalPaletteDidChange(*this, std::nullopt);
    }
}

void Terminal::oscResetColors(ByteSpan data)
{
    if (data.empty()) {
        resetPaletteToDefaults();
        return;
    }
    const std::string_view text = osctext::asText(data);
    if (!osctext::isAscii(text)) {
        return;
    }
    for (std::string_view piece : osctext::split(text, ';', false)) {
        // A piece that is no number names entry 0, as hosts that send "104;foo" expect.
        const int64_t index = osctext::parseDecimal(piece).value_or(0);
        if (index < 0 || index >= paletteSize) {
            continue;
        }
        const auto entry = static_cast<size_t>(index);
        ansiColors[entry] = defaultAnsiColors[entry];
        if (tdel_ != nullptr) {
            tdel_->terminalPaletteDidChange(*this, index);
        }
    }
}

void Terminal::oscDynamicColor(ByteSpan data, int64_t code)
{
    const std::vector<std::string_view> pieces = osctext::split(osctext::asText(data), ';', false);
    for (size_t k = 0; k < pieces.size(); ++k) {
        const int64_t target = code + static_cast<int64_t>(k);
        if (target < 0 || target > 2) {
            break;
        }
        const auto which = static_cast<DynamicTarget>(target);
        const std::string_view piece = pieces[k];
        if (piece.starts_with('?')) {
            const TerminalColors current = tdel_ != nullptr
                                               ? tdel_->terminalCurrentColors(*this)
                                               : TerminalColors{foregroundColor_, backgroundColor_};
            const Color &reported = which == DynamicTarget::foreground ? current.foreground
                                    : which == DynamicTarget::background
                                        ? current.background
                                        : cursorColor_.value_or(current.foreground);
            sendOscReply(std::to_string(10 + target) + ";" + reported.formatAsXtermRgb());
            continue;
        }
        const std::optional<Color> color = Color::parseColor(piece);
        if (!color) {
            continue;
        }
        // The properties tell the delegate themselves: one notice per change.
        switch (which) {
        case DynamicTarget::foreground:
            setForegroundColor(*color);
            break;
        case DynamicTarget::background:
            setBackgroundColor(*color);
            break;
        case DynamicTarget::cursor:
            setCursorColor(*color);
            break;
        }
    }
}

} // namespace kestrix
