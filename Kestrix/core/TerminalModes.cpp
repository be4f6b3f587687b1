// Modes: SM/RM, DECSET/DECRST with the screen and column switches, DECRQM, the soft reset, the
// conformance level and the cursor style.

#include "Kestrix/core/Intermediates.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

// DECRQM state values.
constexpr int notRecognized = 0;
constexpr int modeSet = 1;
constexpr int modeReset = 2;
constexpr int permanentlyReset = 4;

constexpr int stateOf(bool on)
{
    return on ? modeSet : modeReset;
}

// What DECSET 5 makes curAttr: the default colours swapped, nothing else.
Attribute reverseVideoAttribute()
{
    Attribute attribute;
    attribute.fg = Attribute::Color::defaultInvertedColor();
    attribute.bg = Attribute::Color::defaultInvertedColor();
    return attribute;
}

// The DEC private modes DECRQM knows, with how each reads its state.
struct PrivateModeQuery {
    int64_t mode;
    int (*state)(const Terminal &);
};

const std::array privateModeQueries = std::to_array<PrivateModeQuery>({
    {1, [](const Terminal &t) { return stateOf(t.applicationCursor); }},
    {2, [](const Terminal &) { return modeSet; }},
    {3, [](const Terminal &t) { return stateOf(t.buffer->cols() == 132); }},
    {4, [](const Terminal &t) { return stateOf(t.smoothScroll); }},
    {5, [](const Terminal &t) { return stateOf(t.curAttr == reverseVideoAttribute()); }},
    {6, [](const Terminal &t) { return stateOf(t.originMode); }},
    {7, [](const Terminal &t) { return stateOf(t.wraparound); }},
    {8, [](const Terminal &) { return modeSet; }},
    {9, [](const Terminal &t) { return stateOf(t.mouseMode() == Terminal::MouseMode::x10); }},
    {10, [](const Terminal &) { return permanentlyReset; }},
    {12, [](const Terminal &t) { return stateOf(t.cursorBlink); }},
    {13, [](const Terminal &) { return modeReset; }},
    {14, [](const Terminal &) { return modeReset; }},
    {18, [](const Terminal &) { return modeSet; }},
    {19, [](const Terminal &) { return modeSet; }},
    {25, [](const Terminal &t) { return stateOf(!t.cursorHidden); }},
    {30, [](const Terminal &) { return modeReset; }},
    {40, [](const Terminal &t) { return stateOf(t.allow80To132); }},
    {41, [](const Terminal &) { return modeReset; }},
    {42, [](const Terminal &) { return permanentlyReset; }},
    {44, [](const Terminal &) { return permanentlyReset; }},
    {45, [](const Terminal &t) { return stateOf(t.reverseWraparound); }},
    {46, [](const Terminal &) { return permanentlyReset; }},
    {47, [](const Terminal &t) { return stateOf(t.isAlternateBufferActive()); }},
    {66, [](const Terminal &t) { return stateOf(t.applicationKeypad); }},
    {67, [](const Terminal &) { return permanentlyReset; }},
    {69, [](const Terminal &t) { return stateOf(t.marginMode); }},
    {80, [](const Terminal &) { return permanentlyReset; }},
    {95, [](const Terminal &) { return modeSet; }},
    {1000, [](const Terminal &t) { return stateOf(t.mouseMode() == Terminal::MouseMode::vt200); }},
    {1001, [](const Terminal &) { return modeReset; }},
    {1002,
     [](const Terminal &t) { return stateOf(t.mouseMode() == Terminal::MouseMode::buttonEventTracking); }},
    {1003, [](const Terminal &t) { return stateOf(t.mouseMode() == Terminal::MouseMode::anyEvent); }},
    {1004, [](const Terminal &t) { return stateOf(t.sendFocus); }},
    {1005,
     [](const Terminal &t) { return stateOf(t.mouseProtocol == Terminal::MouseProtocolEncoding::utf8); }},
    {1006,
     [](const Terminal &t) { return stateOf(t.mouseProtocol == Terminal::MouseProtocolEncoding::sgr); }},
    {1015,
     [](const Terminal &t) { return stateOf(t.mouseProtocol == Terminal::MouseProtocolEncoding::urxvt); }},
    {1016,
     [](const Terminal &t) { return stateOf(t.mouseProtocol == Terminal::MouseProtocolEncoding::sgrPixel); }},
    {1034, [](const Terminal &) { return permanentlyReset; }},
    {1047, [](const Terminal &t) { return stateOf(t.isAlternateBufferActive()); }},
    {1048, [](const Terminal &t) { return stateOf(t.saveCursorMode); }},
    {1049, [](const Terminal &t) { return stateOf(t.isAlternateBufferActive()); }},
    {2004, [](const Terminal &t) { return stateOf(t.bracketedPasteMode); }},
    {2026, [](const Terminal &t) { return stateOf(t.synchronizedOutputActive); }},
});

} // namespace

// MARK: SM, RM, DECSET, DECRST

void Terminal::cmdSetMode(ParameterSpan pars, ByteSpan collect)
{
    for (int64_t mode : pars) {
        setModes(mode, collect);
    }
}

void Terminal::cmdResetMode(ParameterSpan pars, ByteSpan collect)
{
    for (int64_t mode : pars) {
        resetModes(mode, collect);
    }
}

void Terminal::setModes(int64_t mode, ByteSpan collect)
{
    if (intermediatesAre(collect, "?")) {
        setDecPrivateMode(mode, true);
        return;
    }
    if (!collect.empty()) {
        logInfo("Unhandled setMode (SM) with " + std::to_string(mode) + " and " + describeBytes(collect));
        return;
    }
    switch (mode) {
    case 2: // keyboard action: not supported
        break;
    case 4:
        insertMode = true;
        break;
    case 20:
        lineFeedMode = true;
        break;
    default:
        logInfo("Unhandled verbatim setMode with " + std::to_string(mode) + " and " + describeBytes(collect));
        break;
    }
}

void Terminal::resetModes(int64_t mode, ByteSpan collect)
{
    if (intermediatesAre(collect, "?")) {
        setDecPrivateMode(mode, false);
        return;
    }
    if (!collect.empty()) {
        return;
    }
    switch (mode) {
    case 4:
        insertMode = false;
        break;
    case 20:
        lineFeedMode = false;
        break;
    default:
        break;
    }
}

void Terminal::setDecPrivateMode(int64_t mode, bool on)
{
    const auto unhandled = [this, mode, on] {
        logInfo((on ? "Unhandled DEC Private Mode Set (DECSET) with "
                    : "Unhandled DEC Private Mode Reset (DECRST) with ") +
                std::to_string(mode));
    };
    switch (mode) {
    case 1:
        applicationCursor = on;
        break;
    case 2:
        if (!on) {
            unhandled();
            break;
        }
        for (uint8_t slot = 0; slot < gCharsets.size(); ++slot) {
            designateCharset(slot, std::nullopt);
        }
        break;
    case 3:
        if (allow80To132) {
            switchColumns(on ? 132 : 80);
        }
        break;
    case 4:
        smoothScroll = on;
        break;
    case 5:
        curAttr = on ? reverseVideoAttribute() : Attribute();
        break;
    case 6:
        originMode = on;
        break;
    case 7:
        wraparound = on;
        break;
    case 9:
        setMouseMode(on ? MouseMode::x10 : MouseMode::off);
        break;
    case 12:
        cursorBlink = on;
        break;
    case 25:
        if (on) {
            makeCursorVisible();
        } else {
            makeCursorHidden();
        }
        break;
    case 40:
        allow80To132 = on;
        break;
    case 41:
        if (on) {
            unhandled();
        }
        break;
    case 45:
        reverseWraparound = on && wraparound;
        break;
    case 47:
    case 1047:
    case 1049:
        switchScreen(mode, on);
        break;
    case 63:
        if (!on) {
            unhandled();
        }
        break;
    case 66:
        applicationKeypad = on;
        break;
    case 69:
        marginMode = on;
        break;
    case 95:
    case 1034:
        break;
    case 1000:
        setMouseMode(on ? MouseMode::vt200 : MouseMode::off);
        break;
    case 1002:
        setMouseMode(on ? MouseMode::buttonEventTracking : MouseMode::off);
        break;
    case 1003:
        setMouseMode(on ? MouseMode::anyEvent : MouseMode::off);
        break;
    case 1004:
        sendFocus = on;
        if (on) {
            sendFocusReport();
        }
        break;
    case 1005:
        mouseProtocol = on ? MouseProtocolEncoding::utf8 : MouseProtocolEncoding::x10;
        break;
    case 1006:
        mouseProtocol = on ? MouseProtocolEncoding::sgr : MouseProtocolEncoding::x10;
        break;
    case 1015:
        mouseProtocol = on ? MouseProtocolEncoding::urxvt : MouseProtocolEncoding::x10;
        break;
    case 1016:
        mouseProtocol = on ? MouseProtocolEncoding::sgrPixel : MouseProtocolEncoding::x10;
        break;
    case 1048:
        saveCursorMode = on;
        if (on) {
            cmdSaveCursor({}, {});
        } else {
            cmdRestoreCursor({}, {});
        }
        break;
    case 2004:
        bracketedPasteMode = on;
        break;
    case 2026:
        if (on) {
            beginSynchronizedOutputMode();
        } else {
            endSynchronizedOutput();
        }
        break;
    default:
        unhandled();
        break;
    }
}

// Modes 47, 1047 and 1049. 1049 saves the cursor of the normal screen on the way out and restores it
// on the way back; only 47 keeps the alternate screen's contents for the next visit.
void Terminal::switchScreen(int64_t mode, bool alternate)
{
    if (alternate) {
        if (mode == 1049) {
            cmdSaveCursor({}, {});
        }
        activateAlternateScreen(std::nullopt);
    } else {
        activateNormalScreen(mode != 47);
        if (mode == 1049) {
            cmdRestoreCursor({}, {});
        }
    }
    markRowsDirty(0, rows - 1);
    makeCursorVisible();
    if (tdel_ != nullptr) {
        tdel_->terminalDidSwitchBuffer(*this);
    }
}

// DECCOLM: a new width, and the screen starts afresh as after a full reset.
void Terminal::switchColumns(int64_t newCols)
{
    resizeScreen(newCols, rows);
    resetKeepingSize();
    markAllRowsDirty();
    if (tdel_ != nullptr) {
        tdel_->terminalDidResize(*this);
    }
}

// Every set re-arms the time-out; the delegate hears only of the start.
void Terminal::beginSynchronizedOutputMode()
{
    const bool wasActive = synchronizedOutputActive;
    synchronizedOutputActive = true;
    beginSynchronizedOutput();
    if (!wasActive && tdel_ != nullptr) {
        tdel_->terminalSynchronizedOutput(*this, true);
    }
}

// MARK: CSI p: DECSTR, DECSCL, DECRQM

void Terminal::csip(ParameterSpan pars, ByteSpan collect)
{
    if (intermediatesAre(collect, "!")) {
        cmdSoftReset();
    } else if (intermediatesAre(collect, "\"")) {
        cmdSetConformanceLevel(pars, collect);
    } else if (intermediatesAre(collect, "?$")) {
        replyModeState(pars, true);
    } else if (intermediatesAre(collect, "$")) {
        replyModeState(pars, false);
    } else if (!silentLog) {
        std::string message = "Unhandled CSI ";
        for (uint8_t byte : collect) {
            message += std::to_string(byte);
        }
        logInfo(message + " with pars=" + describeParameters(pars));
    }
}

void Terminal::replyModeState(ParameterSpan pars, bool decPrivate)
{
    const int64_t mode = pars.empty() ? 0 : pars[0];
    const int state = decPrivate ? decPrivateModeState(mode) : ansiModeState(mode);
    sendReply({csi(), decPrivate ? "?" : "", std::to_string(mode), ";", std::to_string(state), "$y"});
}

int Terminal::decPrivateModeState(int64_t mode) const
{
    const auto found = std::find_if(privateModeQueries.begin(), privateModeQueries.end(),
                                    [mode](const PrivateModeQuery &query) { return query.mode == mode; });
    return found == privateModeQueries.end() ? notRecognized : found->state(*this);
}

int Terminal::ansiModeState(int64_t mode) const
{
    switch (mode) {
    case 2:
    case 3:
        return modeReset;
    case 4:
        return stateOf(insertMode);
    case 6:
    case 8:
    case 9:
        return notRecognized;
    case 12:
        return modeSet;
    case 20:
        return stateOf(lineFeedMode);
    default:
        return mode >= 1 && mode <= 19 ? permanentlyReset : notRecognized;
    }
}

void Terminal::cmdSoftReset()
{
    cursorHidden = false;
    originMode = false;
    saveCursorMode = false;
    insertMode = false;
    wraparound = true;
    reverseWraparound = false;
    applicationKeypad = false;
    applicationCursor = false;

    buffer->setScrollTop(0);
    buffer->setScrollBottom(rows - 1);
    buffer->softReset();

    curAttr = Attribute();
    charset.reset();
    setGLevel(0);

    conformance = TerminalConformance::vt500;
    hyperLinkTracking.reset();
    lineFeedMode = options.convertEol;
    resetPaletteToDefaults();
    if (tdel_ != nullptr) {
        tdel_->terminalRevealedCursor(*this);
    }
}

void Terminal::cmdSetConformanceLevel(ParameterSpan pars, ByteSpan)
{
    if (pars.empty()) {
        return;
    }
    switch (pars[0]) {
    case 61:
        conformance = TerminalConformance::vt100;
        cc.send8bit = false;
        return;
    case 62:
        conformance = TerminalConformance::vt200;
        break;
    case 63:
        conformance = TerminalConformance::vt300;
        break;
    case 64:
        conformance = TerminalConformance::vt400;
        break;
    default:
        conformance = TerminalConformance::vt500;
        break;
    }
    if (pars.size() > 1) {
        cc.send8bit = pars[1] == 0 || pars[1] == 2;
    }
}

// MARK: DECSCUSR

void Terminal::cmdSelectCursorStyle(ParameterSpan pars, ByteSpan collect)
{
    if (!intermediatesAre(collect, " ")) {
        return;
    }
    static constexpr std::array styles = {
        CursorStyle::blinkBlock,     CursorStyle::blinkBlock,      CursorStyle::steadyBlock,
        CursorStyle::blinkUnderline, CursorStyle::steadyUnderline, CursorStyle::blinkBar,
        CursorStyle::steadyBar,
    };
    const int64_t p0 = pars.empty() ? 0 : std::max<int64_t>(pars[0], 0);
    if (p0 < static_cast<int64_t>(styles.size())) {
        applyCursorStyle(styles[static_cast<size_t>(p0)]);
    }
}

void Terminal::applyCursorStyle(CursorStyle style)
{
    if (style != options.cursorStyle && tdel_ != nullptr) {
        tdel_->terminalCursorStyleDidChange(*this, style);
    }
    options.cursorStyle = style;
}

} // namespace kestrix
