// Handlers whose behaviour is built by later work. Each does nothing yet; the work that builds one
// moves its definition into the file of its concern.

#include "Kestrix/core/Terminal.h"

namespace kestrix {

void Terminal::cmdInsertChars(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorUp(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorDown(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorForward(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorBackward(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorNextLine(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorPrecedingLine(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorCharAbsolute(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorPosition(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorForwardTab(ParameterSpan, ByteSpan) {}

void Terminal::cmdEraseInDisplay(ParameterSpan, ByteSpan) {}

void Terminal::cmdEraseInLine(ParameterSpan, ByteSpan) {}

void Terminal::cmdInsertLines(ParameterSpan, ByteSpan) {}

void Terminal::cmdDeleteLines(ParameterSpan, ByteSpan) {}

void Terminal::cmdDeleteChars(ParameterSpan, ByteSpan) {}

void Terminal::cmdScrollUp(ParameterSpan, ByteSpan) {}

void Terminal::cmdScrollDown(ParameterSpan, ByteSpan) {}

void Terminal::cmdEraseChars(ParameterSpan, ByteSpan) {}

void Terminal::cmdCursorBackwardTab(ParameterSpan, ByteSpan) {}

void Terminal::cmdCharPosAbsolute(ParameterSpan, ByteSpan) {}

void Terminal::cmdHPositionRelative(ParameterSpan, ByteSpan) {}

void Terminal::cmdRepeatPrecedingCharacter(ParameterSpan, ByteSpan) {}

void Terminal::cmdLinePosAbsolute(ParameterSpan, ByteSpan) {}

void Terminal::cmdVPositionRelative(ParameterSpan, ByteSpan) {}

void Terminal::cmdHVPosition(ParameterSpan, ByteSpan) {}

void Terminal::cmdTabClear(ParameterSpan, ByteSpan) {}

void Terminal::cmdDeviceAttributes(ParameterSpan, ByteSpan) {}

void Terminal::cmdSetMode(ParameterSpan, ByteSpan) {}

void Terminal::cmdResetMode(ParameterSpan, ByteSpan) {}

void Terminal::cmdSGR(ParameterSpan, ByteSpan) {}

void Terminal::cmdDeviceStatusReport(ParameterSpan, ByteSpan) {}

void Terminal::csip(ParameterSpan, ByteSpan) {}

void Terminal::cmdSelectCursorStyle(ParameterSpan, ByteSpan) {}

void Terminal::cmdSetTopBottomMargins(ParameterSpan, ByteSpan) {}

void Terminal::cmdSetLeftRightMargins(ParameterSpan, ByteSpan) {}

void Terminal::cmdSaveCursor(ParameterSpan, ByteSpan) {}

void Terminal::cmdRestoreCursor(ParameterSpan, ByteSpan) {}

void Terminal::cmdWindowManipulation(ParameterSpan, ByteSpan) {}

void Terminal::cmdCopyRectangle(ParameterSpan, ByteSpan) {}

void Terminal::cmdFillRectangle(ParameterSpan, ByteSpan) {}

void Terminal::cmdDECRQCRA(ParameterSpan, ByteSpan) {}

void Terminal::cmdEraseRectangleOrLocator(ParameterSpan, ByteSpan) {}

void Terminal::cmdSelectiveEraseRectangle(ParameterSpan, ByteSpan) {}

void Terminal::cmdInsertColumns(ParameterSpan, ByteSpan) {}

void Terminal::cmdDeleteColumns(ParameterSpan, ByteSpan) {}

bool Terminal::kittyKeyboardCsiU(ParameterSpan, ByteSpan)
{
    return false;
}

void Terminal::cmdScreenAlignmentTest() {}

void Terminal::setLineRenderMode(BufferLine::RenderLineMode) {}

void Terminal::moveCursorLeft(int64_t) {}

} // namespace kestrix
