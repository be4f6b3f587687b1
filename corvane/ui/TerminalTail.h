#pragma once

#include <QStringList>

namespace kestrix {
class Terminal;
}

namespace corvane {

// The last lines a terminal shows that are not blank, oldest first, at most `count` of them. A
// line the terminal wrapped over several rows is one line. Read from the screen in front (and
// its scrollback), so what a program wrote before its connection ended can be read once the
// terminal itself is out of sight.
QStringList lastNonEmptyLines(kestrix::Terminal &terminal, int count);

} // namespace corvane
