// The parser's dispatchers: which terminal operation each complete control function reaches.

#include "Kestrix/core/EscapeSequenceParser.h"
#include "Kestrix/core/Intermediates.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/model/CharSets.h"
#include "Kestrix/model/Utf8.h"

#include <array>
#include <string>

namespace kestrix {

namespace {

using CsiRoute = void (*)(Terminal &, ParameterSpan, ByteSpan);
using EscRoute = void (*)(Terminal &);

// CSI > Ps T and CSI > Ps t switch the title modes 0 to 3 off and on.
void setTitleModes(Terminal &t, ParameterSpan pars, bool on)
{
    for (int64_t mode : pars) {
        switch (mode) {
        case 0:
            t.xtermTitleSetHex = on;
            break;
        case 1:
            t.xtermTitleQueryHex = on;
            break;
        case 2:
            t.xtermTitleSetUtf = on;
            break;
        case 3:
            t.xtermTitleQueryUtf = on;
            break;
        default:
            break;
        }
    }
}

void csiScrollDownOrTitleModes(Terminal &t, ParameterSpan pars, ByteSpan collect)
{
    if (collect.empty()) {
        t.cmdScrollDown(pars, collect);
    } else if (intermediatesAre(collect, ">")) {
        setTitleModes(t, pars, false);
    }
}

void csiMarginsSaveOrShiftCapture(Terminal &t, ParameterSpan pars, ByteSpan collect)
{
    if (intermediatesAre(collect, ">")) {
        const int64_t p0 = pars.empty() ? 0 : pars[0];
        if (p0 == 1) {
            t.mouseShiftCapture = true;
        } else if (p0 == 0) {
            t.mouseShiftCapture = false;
        }
    } else if (collect.empty()) {
        if (t.marginMode) {
            t.cmdSetLeftRightMargins(pars, collect);
        } else {
            t.cmdSaveCursor(pars, collect);
        }
    }
}

void csiWindowOrTitleModes(Terminal &t, ParameterSpan pars, ByteSpan collect)
{
    if (collect.empty()) {
        t.cmdWindowManipulation(pars, collect);
    } else if (intermediatesAre(collect, ">")) {
        setTitleModes(t, pars, true);
    } else {
        t.logInfo("Unhandled csiT " + Terminal::describeBytes(collect));
    }
}

void csiKeyboardOrRestoreCursor(Terminal &t, ParameterSpan pars, ByteSpan collect)
{
    if (!t.kittyKeyboardCsiU(pars, collect) && collect.empty()) {
        t.cmdRestoreCursor(pars, collect);
    }
}

// CSI final byte -> handler. Finals without an entry go to the CSI fallback.
constexpr std::array<CsiRoute, 128> csiRoutes = [] {
    std::array<CsiRoute, 128> r{};
    r['@'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdInsertChars(p, c); };
    r['A'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorUp(p, c); };
    r['B'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorDown(p, c); };
    r['C'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorForward(p, c); };
    r['D'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorBackward(p, c); };
    r['E'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorNextLine(p, c); };
    r['F'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorPrecedingLine(p, c); };
    r['G'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorCharAbsolute(p, c); };
    r['H'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorPosition(p, c); };
    r['I'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorForwardTab(p, c); };
    r['J'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdEraseInDisplay(p, c); };
    r['K'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdEraseInLine(p, c); };
    r['L'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdInsertLines(p, c); };
    r['M'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdDeleteLines(p, c); };
    r['P'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdDeleteChars(p, c); };
    r['S'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdScrollUp(p, c); };
    r['T'] = csiScrollDownOrTitleModes;
    r['X'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdEraseChars(p, c); };
    r['Z'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCursorBackwardTab(p, c); };
    r['`'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCharPosAbsolute(p, c); };
    r['a'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdHPositionRelative(p, c); };
    r['b'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdRepeatPrecedingCharacter(p, c); };
    r['c'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdDeviceAttributes(p, c); };
    r['d'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdLinePosAbsolute(p, c); };
    r['e'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdVPositionRelative(p, c); };
    r['f'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdHVPosition(p, c); };
    r['g'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdTabClear(p, c); };
    r['h'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdSetMode(p, c); };
    r['l'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdResetMode(p, c); };
    r['m'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdSGR(p, c); };
    r['n'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdDeviceStatusReport(p, c); };
    r['p'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.csip(p, c); };
    r['q'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdSelectCursorStyle(p, c); };
    r['r'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdSetTopBottomMargins(p, c); };
    r['s'] = csiMarginsSaveOrShiftCapture;
    r['t'] = csiWindowOrTitleModes;
    r['u'] = csiKeyboardOrRestoreCursor;
    r['v'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdCopyRectangle(p, c); };
    r['x'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdFillRectangle(p, c); };
    r['y'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdDECRQCRA(p, c); };
    r['z'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdEraseRectangleOrLocator(p, c); };
    r['{'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdSelectiveEraseRectangle(p, c); };
    r['}'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdInsertColumns(p, c); };
    r['~'] = [](Terminal &t, ParameterSpan p, ByteSpan c) { t.cmdDeleteColumns(p, c); };
    return r;
}();

// ESC final byte (no intermediates) -> handler. Finals without an entry go to the ESC fallback.
constexpr std::array<EscRoute, 128> escRoutes = [] {
    std::array<EscRoute, 128> r{};
    r['6'] = [](Terminal &t) { t.cmdBackIndex(); };
    r['7'] = [](Terminal &t) { t.cmdSaveCursor({}, {}); };
    r['8'] = [](Terminal &t) { t.cmdRestoreCursor({}, {}); };
    r['9'] = [](Terminal &t) { t.cmdForwardIndex(); };
    r['='] = [](Terminal &t) { t.applicationKeypad = true; };
    r['>'] = [](Terminal &t) { t.applicationKeypad = false; };
    r['D'] = [](Terminal &t) { t.cmdIndex(); };
    r['E'] = [](Terminal &t) { t.cmdNextLine(); };
    r['H'] = [](Terminal &t) { t.cmdSetTabStop(); };
    r['M'] = [](Terminal &t) { t.reverseIndex(); };
    r['\\'] = [](Terminal &) {};
    r['c'] = [](Terminal &t) { t.cmdFullReset(); };
    r['n'] = [](Terminal &t) { t.setGLevel(2); };
    r['}'] = [](Terminal &t) { t.setGLevel(2); };
    r['o'] = [](Terminal &t) { t.setGLevel(3); };
    r['|'] = [](Terminal &t) { t.setGLevel(3); };
    r['~'] = [](Terminal &t) { t.setGLevel(1); };
    return r;
}();

bool isCharsetSlot(uint8_t intermediate)
{
    switch (intermediate) {
    case '(':
    case ')':
    case '*':
    case '+':
    case '-':
    case '.':
    case '/':
        return true;
    default:
        return false;
    }
}

// ESC with one intermediate byte; false when the pair means nothing here.
bool dispatchEscWithIntermediate(Terminal &t, uint8_t intermediate, uint8_t finalByte)
{
    switch (intermediate) {
    case ' ':
        if (finalByte == 'F' || finalByte == 'G') {
            t.cc.send8bit = finalByte == 'G';
            return true;
        }
        return false;
    case '#':
        switch (finalByte) {
        case '3':
            t.setLineRenderMode(BufferLine::RenderLineMode::doubledTop);
            return true;
        case '4':
            t.setLineRenderMode(BufferLine::RenderLineMode::doubledDown);
            return true;
        case '5':
            t.setLineRenderMode(BufferLine::RenderLineMode::single);
            return true;
        case '6':
            t.setLineRenderMode(BufferLine::RenderLineMode::doubleWidth);
            return true;
        case '8':
            t.cmdScreenAlignmentTest();
            return true;
        default:
            return false;
        }
    case '%':
        if (finalByte == 'G' || finalByte == '@') {
            t.setGLevel(0);
            t.designateCharset(0, std::nullopt);
            return true;
        }
        return false;
    default:
        if (isCharsetSlot(intermediate) && CharSets::mapLookup(finalByte) != nullptr) {
            t.selectCharset(intermediate, finalByte);
            return true;
        }
        return false;
    }
}

// Bytes of a title as text: empty when they are not valid UTF-8. Only what the title limit can keep
// is copied (one byte more, so the cut still finds its character boundary): a string of many
// megabytes is checked in place.
std::string titleText(ByteSpan data)
{
    const std::string_view text(reinterpret_cast<const char *>(data.data()), data.size());
    if (!utf8::isValid(text)) {
        return {};
    }
    return std::string(text.substr(0, Terminal::maximumTitleLength + 1));
}

// The executed C1 controls. Kept apart from the C0 ones, so line feeds, returns and tabs are
// reached through one dense jump table.
void dispatchC1Execute(Terminal &t, uint8_t code)
{
    switch (code) {
    case 0x84:
        t.forgetLastPrintedCell();
        t.cmdIndex();
        break;
    case 0x85:
        t.forgetLastPrintedCell();
        t.cmdNextLine();
        break;
    case 0x88:
        t.cmdSetTabStop();
        break;
    default:
        break;
    }
}

} // namespace

void EscapeSequenceParser::dispatchExecute(uint8_t code)
{
    if (terminal == nullptr) {
        return;
    }
    Terminal &t = *terminal;
    if (code >= 0x80) {
        dispatchC1Execute(t, code);
        return;
    }
    switch (code) {
    case 0x07:
        t.bell();
        break;
    case 0x08:
        t.forgetLastPrintedCell();
        t.cmdBackspace();
        break;
    case 0x09:
        t.forgetLastPrintedCell();
        t.cmdHorizontalTab();
        break;
    case 0x0A:
    case 0x0B:
    case 0x0C:
        t.forgetLastPrintedCell();
        t.cmdLineFeed();
        break;
    case 0x0D:
        t.forgetLastPrintedCell();
        t.cmdCarriageReturn();
        break;
    case 0x0E:
        t.setGLevel(1);
        break;
    case 0x0F:
        t.setGLevel(0);
        break;
    default:
        break;
    }
}

void EscapeSequenceParser::dispatchReturnAndLineFeed()
{
    if (terminal == nullptr) {
        return;
    }
    terminal->forgetLastPrintedCell();
    terminal->cmdCarriageReturn();
    terminal->cmdLineFeed();
}

void EscapeSequenceParser::dispatchCsi(uint8_t finalByte)
{
    const CsiRoute route = finalByte < csiRoutes.size() ? csiRoutes[finalByte] : nullptr;
    if (terminal == nullptr || route == nullptr) {
        if (csiHandlerFallback) {
            csiHandlerFallback(parameters(), collect_, finalByte);
        }
        return;
    }
    // SGR changes only what is printed next; every other function may move the cursor or change
    // the screen.
    if (finalByte != 'm') {
        terminal->forgetLastPrintedCell();
    }
    route(*terminal, parameters(), collect_);
}

void EscapeSequenceParser::dispatchEsc(uint8_t finalByte)
{
    bool handled = false;
    if (terminal != nullptr) {
        if (collect_.empty()) {
            const EscRoute route = finalByte < escRoutes.size() ? escRoutes[finalByte] : nullptr;
            if (route != nullptr) {
                // ESC \ only ends a string.
                if (finalByte != '\\') {
                    terminal->forgetLastPrintedCell();
                }
                route(*terminal);
                handled = true;
            }
        } else if (collect_.size() == 1) {
            terminal->forgetLastPrintedCell();
            handled = dispatchEscWithIntermediate(*terminal, collect_[0], finalByte);
        }
    }
    if (!handled && escHandlerFallback) {
        escHandlerFallback(collect_, finalByte);
    }
}

void EscapeSequenceParser::dispatchOsc(int64_t code, ByteSpan data)
{
    if (const auto registered = oscHandlers.find(code); registered != oscHandlers.end()) {
        if (registered->second) {
            registered->second(data);
        }
        return;
    }
    if (terminal == nullptr) {
        if (oscHandlerFallback) {
            oscHandlerFallback(code, data);
        }
        return;
    }
    Terminal &t = *terminal;
    switch (code) {
    case 0:
    case 2:
        t.updateTitle(titleText(data));
        break;
    case 1:
        t.updateIconTitle(titleText(data));
        break;
    case 4:
        t.oscChangeOrQueryColorIndex(data);
        break;
    case 6:
        t.oscCurrentDocument(data);
        break;
    case 7:
        t.oscCurrentDirectory(data);
        break;
    case 8:
        t.oscHyperlink(data);
        break;
    case 9:
        if (const std::optional<ProgressReport> report = Terminal::parseProgressReport(data)) {
            if (TerminalDelegate *delegate = t.delegate()) {
                delegate->terminalProgressDidChange(t, *report);
            }
        } else if (oscHandlerFallback) {
            oscHandlerFallback(code, data);
        }
        break;
    case 10:
    case 11:
    case 12:
        t.oscDynamicColor(data, code - 10);
        break;
    case 52:
        t.oscClipboard(data);
        break;
    case 104:
        t.oscResetColors(data);
        break;
    case 112:
        // Through the property, so the reset is stored and the host hears of it once.
        t.setCursorColor(std::nullopt);
        break;
    case 777:
        t.oscDesktopNotification(data);
        break;
    case 1337:
        // An inline image moves the cursor past itself.
        t.forgetLastPrintedCell();
        t.oscExtendedCommand(data);
        break;
    default:
        if (oscHandlerFallback) {
            oscHandlerFallback(code, data);
        }
        break;
    }
}

} // namespace kestrix
