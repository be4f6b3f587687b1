#include "Kestrix/core/Terminal.h"

#include "Kestrix/core/TerminalDelegate.h"

#include <cstdio>

namespace kestrix {

Terminal::Terminal(TerminalDelegate *delegate, TerminalOptions options)
    : options(std::move(options))
    , tdel_(delegate)
    , parser_(std::make_unique<EscapeSequenceParser>(this))
{
    configureParser();
}

Terminal::~Terminal()
{
    parser_->terminal = nullptr;
}

void Terminal::configureParser()
{
    EscapeSequenceParser &p = *parser_;
    p.csiHandlerFallback = [this](ParameterSpan pars, ByteSpan collect, uint8_t finalByte) {
        std::string message = "Kestrix: Unknown CSI Code (collect=" + describeBytes(collect) + " code=";
        message += static_cast<char>(finalByte);
        message += " pars=" + describeParameters(pars) + ")";
        logInfo(message);
    };
    p.escHandlerFallback = [this](ByteSpan collect, uint8_t finalByte) {
        std::string message = "Kestrix: Unknown ESC Code: ESC + ";
        message += static_cast<char>(finalByte);
        message += " txt=" + describeBytes(collect);
        logInfo(message);
    };
    p.oscHandlerFallback = [this](int64_t code, ByteSpan) {
        logInfo("Kestrix: Unknown OSC code: " + std::to_string(code));
    };
    p.apcHandlerFallback = [this](uint8_t command, ByteSpan) {
        std::string message = "Kestrix: Unknown APC code: ";
        message += static_cast<char>(command);
        logInfo(message);
    };
    p.printHandler = [this](ByteSpan bytes) { handlePrint(bytes); };
    p.printStateReset = [this] { printStateReset(); };
    p.errorHandler = [this](ParsingState state) {
        // The description of the state object is its qualified type name.
        logInfo("Kestrix: Parsing error, state: kestrix::ParsingState");
        return state;
    };
}

void Terminal::logInfo(std::string_view message) const
{
    if (silentLog) {
        return;
    }
    std::printf("Info: %.*s\n", static_cast<int>(message.size()), message.data());
}

std::string Terminal::describeBytes(ByteSpan bytes)
{
    std::string text = "[";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(bytes[i]);
    }
    return text + "]";
}

std::string Terminal::describeParameters(ParameterSpan pars)
{
    std::string text = "[";
    for (size_t i = 0; i < pars.size(); ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(pars[i]);
    }
    return text + "]";
}

bool Terminal::isValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        int length = 0;
        uint32_t scalar = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            scalar = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            scalar = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            scalar = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < static_cast<size_t>(length)) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            scalar = scalar << 6 | (next & 0x3F);
        }
        const bool overlong = (length == 3 && scalar < 0x800) || (length == 4 && scalar < 0x10000);
        if (overlong || scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
            return false;
        }
        i += static_cast<size_t>(length);
    }
    return true;
}

void Terminal::feedBytes(ByteSpan bytes)
{
    parser_->parse(bytes);
}

void Terminal::feedString(std::string_view text)
{
    parser_->parse(ByteSpan(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

void Terminal::setGLevel(uint8_t level)
{
    gLevel = level;
    charset = level < gCharsets.size() ? gCharsets[level] : std::nullopt;
}

void Terminal::designateCharset(uint8_t slot, std::optional<CharSetMap> map)
{
    if (slot >= gCharsets.size()) {
        return;
    }
    gCharsets[slot] = map;
    if (slot == gLevel) {
        charset = std::move(map);
    }
}

void Terminal::selectCharset(uint8_t intermediate, uint8_t designator)
{
    const CharSetMap *map = CharSets::mapLookup(designator);
    if (map == nullptr) {
        return;
    }
    uint8_t slot = 0;
    switch (intermediate) {
    case ')':
    case '-':
        slot = 1;
        break;
    case '*':
    case '.':
        slot = 2;
        break;
    case '+':
    case '/':
        slot = 3;
        break;
    default:
        break;
    }
    designateCharset(slot, *map);
}

namespace {

// Titles are host-controlled: keep at most this many bytes, cut at a character boundary.
constexpr size_t maximumTitleLength = 4096;

std::string boundedTitle(std::string title)
{
    if (title.size() <= maximumTitleLength) {
        return title;
    }
    size_t end = maximumTitleLength;
    while (end > 0 && (static_cast<uint8_t>(title[end]) & 0xC0) == 0x80) {
        --end;
    }
    title.resize(end);
    return title;
}

} // namespace

void Terminal::updateTitle(std::string title)
{
    terminalTitle = boundedTitle(std::move(title));
    if (tdel_ != nullptr) {
        tdel_->terminalTitleDidChange(*this, terminalTitle);
    }
}

void Terminal::updateIconTitle(std::string title)
{
    iconTitle = boundedTitle(std::move(title));
    if (tdel_ != nullptr) {
        tdel_->terminalIconTitleDidChange(*this, iconTitle);
    }
}

void Terminal::bell()
{
    if (tdel_ != nullptr) {
        tdel_->terminalBell(*this);
    }
}

} // namespace kestrix
