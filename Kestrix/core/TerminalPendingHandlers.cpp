// Handlers whose behaviour is built by later work. Each does nothing yet; the work that builds one
// moves its definition into the file of its concern.

#include "Kestrix/core/Terminal.h"

namespace kestrix {

void Terminal::cmdDeviceAttributes(ParameterSpan, ByteSpan) {}

void Terminal::cmdSetMode(ParameterSpan, ByteSpan) {}

void Terminal::cmdResetMode(ParameterSpan, ByteSpan) {}

void Terminal::cmdDeviceStatusReport(ParameterSpan, ByteSpan) {}

void Terminal::csip(ParameterSpan, ByteSpan) {}

void Terminal::cmdSelectCursorStyle(ParameterSpan, ByteSpan) {}

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

} // namespace kestrix
