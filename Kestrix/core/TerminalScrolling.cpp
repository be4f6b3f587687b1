#include "Kestrix/core/Terminal.h"

namespace kestrix {

void Terminal::cmdIndex() {}

void Terminal::reverseIndex() {}

void Terminal::cmdBackIndex() {}

void Terminal::cmdForwardIndex() {}

void Terminal::cmdFullReset()
{
    parser_->reset();
}

} // namespace kestrix
