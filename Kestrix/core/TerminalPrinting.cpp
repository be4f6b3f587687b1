#include "Kestrix/core/Terminal.h"

namespace kestrix {

void Terminal::handlePrint(ByteSpan) {}

void Terminal::printStateReset() {}

void Terminal::cmdBackspace() {}

void Terminal::cmdHorizontalTab() {}

void Terminal::cmdLineFeed() {}

void Terminal::cmdCarriageReturn() {}

void Terminal::cmdSetTabStop() {}

void Terminal::cmdNextLine() {}

} // namespace kestrix
