#include "Kestrix/core/Terminal.h"

#include "Kestrix/core/GraphemeBreaker.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/core/TerminalRegistry.h"

#include <algorithm>
#include <cstdio>

namespace kestrix {

Terminal::Terminal(TerminalDelegate *delegate, TerminalOptions options, TaskQueue *taskQueue)
    : options(std::move(options))
    , tdel_(delegate)
    , taskQueue_(taskQueue)
    , graphemeBreaker_(std::make_unique<GraphemeBreaker>())
    , foregroundColor_(Color::defaultForeground())
    , backgroundColor_(Color::defaultBackground())
{
    installedColors = Color::defaultInstalledColors();
    rebuildPalette(false);

    parser_ = std::make_unique<EscapeSequenceParser>(this);
    configureParser();

    const int64_t scrollback = std::max<int64_t>(this->options.scrollback, 0);
    // Both buffers read this terminal's writing modes.
    WritingModes &modes = *this;
    normalBuffer = std::make_unique<Buffer>(cols, rows, tabStopWidth, scrollback, modes);
    normalBuffer->fillViewportRows();
    altBuffer = std::make_unique<Buffer>(cols, rows, tabStopWidth, std::nullopt, modes);
    buffer = normalBuffer.get();
    cc.send8bit = false;
    installScrollCallback(*normalBuffer);
    installScrollCallback(*altBuffer);
    normalBuffer->setupTabStops(-1, tabStopWidth);
    altBuffer->setupTabStops(-1, tabStopWidth);

    resetState(false);
    TerminalRegistry::add(this);
}

Terminal::~Terminal()
{
    TerminalRegistry::remove(this);
    parser_->terminal = nullptr;
}

void Terminal::installScrollCallback(Buffer &target)
{
    // The buffers belong to this terminal and never outlive it.
    target.scroll = [this](bool wrapped) { scroll(wrapped); };
}

void Terminal::configureParser()
{
    EscapeSequenceParser &p = *parser_;
    // The messages are only built when they will be printed.
    p.csiHandlerFallback = [this](ParameterSpan pars, ByteSpan collect, uint8_t finalByte) {
        if (silentLog) {
            return;
        }
        std::string message = "Kestrix: Unknown CSI Code (collect=" + describeBytes(collect) + " code=";
        message += static_cast<char>(finalByte);
        message += " pars=" + describeParameters(pars) + ")";
        logInfo(message);
    };
    p.escHandlerFallback = [this](ByteSpan collect, uint8_t finalByte) {
        if (silentLog) {
            return;
        }
        std::string message = "Kestrix: Unknown ESC Code: ESC + ";
        message += static_cast<char>(finalByte);
        message += " txt=" + describeBytes(collect);
        logInfo(message);
    };
    p.oscHandlerFallback = [this](int64_t code, ByteSpan) {
        if (silentLog) {
            return;
        }
        logInfo("Kestrix: Unknown OSC code: " + std::to_string(code));
    };
    p.apcHandlerFallback = [this](uint8_t command, ByteSpan) {
        std::string message = "Kestrix: Unknown APC code: ";
        message += static_cast<char>(command);
        logInfo(message);
    };
    p.errorHandler = [this](ParsingState state) {
        // The description of the state object is its qualified type name.
        logInfo("Kestrix: Parsing error, state: kestrix::ParsingState");
        return state;
    };
}

// MARK: Reset and buffers

void Terminal::resetState(bool clearBuffers)
{
    cols = std::max(options.cols, MINIMUM_COLS);
    rows = std::max(options.rows, MINIMUM_ROWS);
    if (clearBuffers) {
        makeBuffers();
        activateNormalScreen(false);
    } else {
        resizeBuffers(cols, rows);
    }

    cursorHidden = false;
    applicationKeypad = false;
    applicationCursor = false;
    originMode = false;
    marginMode = false;
    insertMode = false;
    wraparound = true;
    bracketedPasteMode = false;
    saveCursorMode = false;
    keyboardModeNormal = {};
    keyboardModeAlt = {};

    gCharsets = {};
    charset = gCharsets[0];
    gcharset = 0;
    gLevel = 0;
    curAttr = Attribute();

    setMouseMode(MouseMode::off);
    mouseShiftCapture = false;

    buffer->setScrollTop(0);
    buffer->setScrollBottom(rows - 1);
    buffer->setMarginLeft(0);
    buffer->setMarginRight(cols - 1);

    cc.send8bit = false;
    conformance = TerminalConformance::vt500;
    allow80To132 = true;
    xtermTitleSetUtf = false;
    xtermTitleSetHex = false;
    xtermTitleQueryUtf = false;
    xtermTitleQueryHex = false;
    hyperLinkTracking.reset();
    cursorBlink = false;
    hostCurrentDirectory.reset();
    lineFeedMode = options.convertEol;
}

void Terminal::makeBuffers()
{
    const bool wasActive = buffer == normalBuffer.get();
    WritingModes &modes = *this;
    normalBuffer =
        std::make_unique<Buffer>(cols, rows, tabStopWidth, std::max<int64_t>(options.scrollback, 0), modes);
    installScrollCallback(*normalBuffer);
    normalBuffer->fillViewportRows();
    normalBuffer->setupTabStops(-1, tabStopWidth);
    if (wasActive) {
        buffer = normalBuffer.get();
    }
}

void Terminal::resizeBuffers(int64_t newCols, int64_t newRows)
{
    Buffer &normal = *normalBuffer;
    const int64_t savedDistance = normal.savedY - normal.y();
    normal.resize(newCols, newRows);
    normal.savedY = std::clamp<int64_t>(normal.y() + savedDistance, 0, newRows - 1);
    altBuffer->resize(newCols, newRows);
    // Reflow moves lines: the placement records follow their stripes.
    if (buffer == &normal && normal.hasLinesWithImages()) {
        syncKittyPlacementsAfterScroll();
    }
}

void Terminal::activateNormalScreen(bool clearAlternate)
{
    const bool switching = buffer != normalBuffer.get();
    if (switching) {
        normalBuffer->setX(altBuffer->x());
        normalBuffer->setY(altBuffer->y());
    }
    if (clearAlternate) {
        dropOrphanedKittyPlacements(*altBuffer);
        altBuffer->clear();
    }
    buffer = normalBuffer.get();
}

void Terminal::activateAlternateScreen(std::optional<Attribute> fillAttribute)
{
    if (buffer == altBuffer.get()) {
        return;
    }
    altBuffer->setX(normalBuffer->x());
    altBuffer->setY(normalBuffer->y());
    altBuffer->fillViewportRows(fillAttribute);
    buffer = altBuffer.get();
    dropOrphanedKittyPlacements(*altBuffer);
}

// MARK: Palette and colours

void Terminal::rebuildPalette(bool notify)
{
    const Ansi256PaletteStrategy strategy = options.ansi256PaletteStrategy;
    defaultAnsiColors = strategy == Ansi256PaletteStrategy::xterm
                            ? makeXtermPalette(installedColors)
                            : makeLabPalette(installedColors, backgroundColor_, foregroundColor_,
                                             strategy == Ansi256PaletteStrategy::base16LabHarmonious);
    ansiColors = defaultAnsiColors;
    if (notify && tdel_ != nullptr) {
        tdel_->terminalPaletteDidChange(*this, std::nullopt);
    }
}

void Terminal::setBasePalette(std::span<const Color> colors)
{
    if (colors.size() != 16) {
        return;
    }
    installedColors.assign(colors.begin(), colors.end());
    rebuildPalette(false);
}

void Terminal::setPaletteStrategy(Ansi256PaletteStrategy strategy)
{
    if (strategy == options.ansi256PaletteStrategy) {
        return;
    }
    options.ansi256PaletteStrategy = strategy;
    rebuildPalette(true);
}

namespace {

// Sets a re-entrancy guard for the length of a notice.
class GuardFlag {
public:
    explicit GuardFlag(bool &flag)
        : flag_(flag)
    {
        flag_ = true;
    }
    ~GuardFlag() { flag_ = false; }
    GuardFlag(const GuardFlag &) = delete;
    GuardFlag &operator=(const GuardFlag &) = delete;

private:
    bool &flag_;
};

} // namespace

void Terminal::setForegroundColor(Color color)
{
    foregroundColor_ = color;
    if (settingFgColor_) {
        return;
    }
    {
        GuardFlag guard(settingFgColor_);
        if (tdel_ != nullptr) {
            tdel_->terminalForegroundColorDidChange(*this, color);
        }
    }
    if (options.ansi256PaletteStrategy != Ansi256PaletteStrategy::xterm) {
        rebuildPalette(true);
    }
}

void Terminal::setBackgroundColor(Color color)
{
    backgroundColor_ = color;
    if (settingBgColor_) {
        return;
    }
    {
        GuardFlag guard(settingBgColor_);
        if (tdel_ != nullptr) {
            tdel_->terminalBackgroundColorDidChange(*this, color);
        }
    }
    if (options.ansi256PaletteStrategy != Ansi256PaletteStrategy::xterm) {
        rebuildPalette(true);
    }
}

void Terminal::setCursorColor(std::optional<Color> color)
{
    cursorColor_ = color;
    if (settingCursorColor_) {
        return;
    }
    GuardFlag guard(settingCursorColor_);
    if (tdel_ != nullptr) {
        tdel_->terminalCursorColorDidChange(*this, color);
    }
}

void Terminal::setMouseMode(MouseMode mode)
{
    mouseMode_ = mode;
    if (tdel_ != nullptr) {
        tdel_->terminalMouseModeDidChange(*this);
    }
}

void Terminal::setFocused(bool focused)
{
    reportedFocusState = focused;
    if (sendFocus) {
        sendFocusReport();
    }
}

void Terminal::sendFocusReport()
{
    if (tdel_ == nullptr) {
        return;
    }
    const uint8_t last = reportedFocusState ? 'I' : 'O';
    if (cc.send8bit) {
        const uint8_t report[] = {0x9B, last};
        tdel_->terminalSendToHost(*this, report);
    } else {
        const uint8_t report[] = {0x1B, '[', last};
        tdel_->terminalSendToHost(*this, report);
    }
}

// MARK: Reading

const BufferLine *Terminal::screenLine(int64_t row)
{
    if (row < 0 || row >= rows) {
        return nullptr;
    }
    const int64_t index = row + buffer->yDisp();
    if (index >= buffer->lines().count()) {
        return nullptr;
    }
    return &buffer->lines()[index];
}

const BufferLine *Terminal::scrollInvariantLine(int64_t row)
{
    if (row < 0 || row >= buffer->lines().count()) {
        return nullptr;
    }
    return &buffer->lines()[row];
}

std::optional<CharData> Terminal::cellAt(int64_t col, int64_t row)
{
    const BufferLine *line = screenLine(row);
    if (line == nullptr || col < 0 || col >= cols) {
        return std::nullopt;
    }
    return (*line)[col];
}

std::optional<std::string> Terminal::characterAt(int64_t col, int64_t row)
{
    const std::optional<CharData> cell = cellAt(col, row);
    if (!cell) {
        return std::nullopt;
    }
    return stringForCellCode(cell->code);
}

Attribute Terminal::blankAttribute() const
{
    Attribute attribute;
    attribute.fg = curAttr.fg;
    attribute.bg = curAttr.bg;
    return attribute;
}

CharData Terminal::eraseCell() const
{
    CharData cell;
    cell.attribute = eraseAttr();
    return cell;
}

// MARK: Diagnostics

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

} // namespace kestrix
