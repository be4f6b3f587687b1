#include "corvane/ui/TerminalTail.h"

#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/BufferLine.h"

namespace corvane {

QStringList lastNonEmptyLines(kestrix::Terminal &terminal, int count)
{
    QStringList lines;
    // Rows are walked upwards; a row that continues the one above is joined to it.
    int64_t row = terminal.buffer->yBase() + terminal.rows - 1;
    while (row >= 0 && lines.size() < count) {
        std::string text;
        bool trimRight = true;
        for (; row >= 0; --row) {
            const kestrix::BufferLine *line = terminal.scrollInvariantLine(row);
            if (line == nullptr) {
                continue;
            }
            text.insert(0, line->translateToString(trimRight));
            trimRight = false; // blanks before a wrap are part of the line
            if (!line->isWrapped) {
                --row;
                break;
            }
        }
        const QString logical = QString::fromStdString(text);
        if (!logical.trimmed().isEmpty()) {
            lines.prepend(logical);
        }
    }
    return lines;
}

} // namespace corvane
