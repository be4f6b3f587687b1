#pragma once

#include "Kestrix/core/CC.h"
#include "Kestrix/core/DcsHandler.h"
#include "Kestrix/core/EscapeSequenceParser.h"
#include "Kestrix/core/ProgressReport.h"
#include "Kestrix/core/TerminalOptions.h"
#include "Kestrix/model/BufferLine.h"
#include "Kestrix/model/CharSets.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

class TerminalDelegate;

// The terminal emulator without a view: screen buffers, modes, character sets, colours, titles and
// the parser. It reports to its host through a TerminalDelegate that it does not own.
//
// The class is implemented across several files by concern: Terminal.cpp (state and lifecycle),
// TerminalPrinting.cpp (print path and C0 controls), TerminalScrolling.cpp (feeding, dirty rows,
// scrolling, resets), and one file per further group of handlers. The control-function handlers
// are virtual so a host or a test can observe or replace them.
class Terminal {
public:
    Terminal(TerminalDelegate *delegate, TerminalOptions options);
    virtual ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // --- Host and diagnostics --------------------------------------------------------------------

    TerminalDelegate *delegate() const { return tdel_; }
    // The owner clears it before the delegate goes away.
    void setDelegate(TerminalDelegate *delegate) { tdel_ = delegate; }
    EscapeSequenceParser &parser() { return *parser_; }

    // Writes "Info: " and the message to standard output unless silentLog is on.
    void logInfo(std::string_view message) const;
    // A byte list as decimals in brackets: [27, 91].
    static std::string describeBytes(ByteSpan bytes);
    static std::string describeParameters(ParameterSpan pars);
    static bool isValidUtf8(std::string_view text);

    // --- Feeding ---------------------------------------------------------------------------------

    void feedBytes(ByteSpan bytes);
    void feedString(std::string_view text);

    // --- Printing and C0 controls (TerminalPrinting.cpp) -----------------------------------------

    void handlePrint(ByteSpan bytes);
    void printStateReset();
    virtual void bell();
    virtual void cmdBackspace();
    virtual void cmdHorizontalTab();
    virtual void cmdLineFeed();
    virtual void cmdCarriageReturn();
    // HTS and ESC H: a tab stop at the cursor column.
    virtual void cmdSetTabStop();
    // NEL and ESC E: to the left edge, then index.
    virtual void cmdNextLine();

    // --- Scrolling and resets (TerminalScrolling.cpp) --------------------------------------------

    virtual void cmdIndex();
    virtual void reverseIndex();
    virtual void cmdBackIndex();
    virtual void cmdForwardIndex();
    virtual void cmdFullReset();

    // --- Character sets and titles ----------------------------------------------------------------

    virtual void setGLevel(uint8_t level);
    virtual void designateCharset(uint8_t slot, std::optional<CharSetMap> map);
    virtual void selectCharset(uint8_t intermediate, uint8_t designator);
    virtual void updateTitle(std::string title);
    virtual void updateIconTitle(std::string title);

    // --- Handlers of the control functions built elsewhere ----------------------------------------
    // Each takes the parameters and the intermediate bytes of its sequence.

    virtual void cmdInsertChars(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorUp(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorDown(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorForward(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorBackward(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorNextLine(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorPrecedingLine(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorCharAbsolute(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorPosition(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorForwardTab(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseInDisplay(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseInLine(ParameterSpan pars, ByteSpan collect);
    virtual void cmdInsertLines(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeleteLines(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeleteChars(ParameterSpan pars, ByteSpan collect);
    virtual void cmdScrollUp(ParameterSpan pars, ByteSpan collect);
    virtual void cmdScrollDown(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseChars(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorBackwardTab(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCharPosAbsolute(ParameterSpan pars, ByteSpan collect);
    virtual void cmdHPositionRelative(ParameterSpan pars, ByteSpan collect);
    virtual void cmdRepeatPrecedingCharacter(ParameterSpan pars, ByteSpan collect);
    virtual void cmdLinePosAbsolute(ParameterSpan pars, ByteSpan collect);
    virtual void cmdVPositionRelative(ParameterSpan pars, ByteSpan collect);
    virtual void cmdHVPosition(ParameterSpan pars, ByteSpan collect);
    virtual void cmdTabClear(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeviceAttributes(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSetMode(ParameterSpan pars, ByteSpan collect);
    virtual void cmdResetMode(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSGR(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeviceStatusReport(ParameterSpan pars, ByteSpan collect);
    virtual void csip(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSelectCursorStyle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSetTopBottomMargins(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSetLeftRightMargins(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSaveCursor(ParameterSpan pars, ByteSpan collect);
    virtual void cmdRestoreCursor(ParameterSpan pars, ByteSpan collect);
    virtual void cmdWindowManipulation(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCopyRectangle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdFillRectangle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDECRQCRA(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseRectangleOrLocator(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSelectiveEraseRectangle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdInsertColumns(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeleteColumns(ParameterSpan pars, ByteSpan collect);
    // CSI u of the keyboard protocol; false when the sequence is not one of its requests.
    virtual bool kittyKeyboardCsiU(ParameterSpan pars, ByteSpan collect);

    virtual void cmdScreenAlignmentTest();
    virtual void setLineRenderMode(BufferLine::RenderLineMode mode);

    virtual void oscChangeOrQueryColorIndex(ByteSpan data);
    virtual void oscCurrentDocument(ByteSpan data);
    virtual void oscCurrentDirectory(ByteSpan data);
    virtual void oscHyperlink(ByteSpan data);
    // code: 0 foreground (OSC 10), 1 background (OSC 11), 2 cursor (OSC 12).
    virtual void oscDynamicColor(ByteSpan data, int64_t code);
    virtual void oscClipboard(ByteSpan data);
    virtual void oscResetColors(ByteSpan data);
    virtual void oscDesktopNotification(ByteSpan data);
    virtual void oscExtendedCommand(ByteSpan data);
    // OSC 9 data as a progress report, or nothing when it is not one.
    static std::optional<ProgressReport> parseProgressReport(ByteSpan data);

    // The DCS strings the terminal interprets; nothing means the string is swallowed.
    virtual std::unique_ptr<DcsHandler> makeSixelDcsHandler();
    virtual std::unique_ptr<DcsHandler> makeDecrqssHandler();
    // One graphics command: the bytes of an APC string after its leading "G".
    virtual void handleKittyGraphicsCommand(ByteSpan data);

    // --- State -----------------------------------------------------------------------------------

    static constexpr int64_t MINIMUM_COLS = 2;
    static constexpr int64_t MINIMUM_ROWS = 1;

    TerminalOptions options;
    bool applicationKeypad = false;
    bool marginMode = false;
    std::optional<CharSetMap> charset;
    std::array<std::optional<CharSetMap>, 4> gCharsets;
    uint8_t gLevel = 0;
    CC cc;
    bool mouseShiftCapture = false;
    bool xtermTitleSetUtf = false;
    bool xtermTitleSetHex = false;
    bool xtermTitleQueryUtf = false;
    bool xtermTitleQueryHex = false;
    bool silentLog = true;
    std::string terminalTitle;
    std::string iconTitle;

private:
    void configureParser();

    TerminalDelegate *tdel_ = nullptr;
    std::unique_ptr<EscapeSequenceParser> parser_;
};

} // namespace kestrix
