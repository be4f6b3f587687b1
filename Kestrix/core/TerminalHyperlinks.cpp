// Explicit hyperlinks (OSC 8): a link opens at the cursor, and when it closes its payload atom goes
// on every cell printed while it was open.

#include "Kestrix/core/OscText.h"
#include "Kestrix/core/Terminal.h"

#include <algorithm>

namespace kestrix {

void Terminal::oscHyperlink(ByteSpan data)
{
    const std::string_view text = osctext::asText(data);
    if (text == ";") {
        if (hyperLinkTracking) {
            const auto [start, payload] = std::move(*hyperLinkTracking);
            hyperLinkTracking.reset();
            if (const std::optional<TinyAtom> atom = TinyAtom::create(payload)) {
                applyHyperlink(start, *atom);
            }
        }
        return;
    }
    // Opening drops a link that is still open, unapplied; an oversized one opens nothing.
    hyperLinkTracking.reset();
    if (text.size() > maximumHyperlinkPayloadLength) {
        return;
    }
    const int64_t row = buffer->yBase() + buffer->y();
    hyperLinkTracking.emplace(Position{buffer->x(), row},
                              osctext::isAscii(text) ? std::string(text) : std::string());
    hyperlinkBuffer_ = buffer;
    hyperlinkStartSerial_ = row < buffer->lines().count() ? buffer->lines()[row].serial() : 0;
}

// The logical row the open link started on now. Lines move while a link is open: up when a full
// ring scrolls (yBase then stays) or lines are deleted, down when lines are inserted above. The
// nearest row holding the start line wins; the search goes no further than a screen's height, so a
// host that keeps closing links whose start is gone cannot make each close scan the scrollback.
// Nothing when the line is not found, or when the link was opened on the other buffer.
std::optional<int64_t> Terminal::hyperlinkStartRow(int64_t recordedRow) const
{
    if (hyperlinkBuffer_ != buffer) {
        return std::nullopt;
    }
    CircularBufferLineList &lines = buffer->lines();
    const int64_t count = lines.count();
    const auto holdsStart = [&](int64_t row) {
        return row >= 0 && row < count && lines[row].serial() == hyperlinkStartSerial_;
    };
    for (int64_t distance = 0; distance <= rows && distance < count; ++distance) {
        if (holdsStart(recordedRow - distance)) {
            return recordedRow - distance;
        }
        if (distance > 0 && holdsStart(recordedRow + distance)) {
            return recordedRow + distance;
        }
    }
    return std::nullopt;
}

void Terminal::applyHyperlink(const Position &start, TinyAtom atom)
{
    const std::optional<int64_t> startRow = hyperlinkStartRow(start.row);
    const int64_t endRow = buffer->yBase() + buffer->y();
    if (!startRow || endRow < *startRow) {
        return;
    }
    // Continuation rows span what printing fills between the margins; the closing row ends at the
    // cell before the cursor, which the link never printed on.
    const int64_t leftEdge = marginMode ? buffer->marginLeft() : 0;
    const int64_t rightEdge = marginMode ? buffer->marginRight() : cols - 1;
    CircularBufferLineList &lines = buffer->lines();
    for (int64_t row = *startRow; row <= endRow && row < lines.count(); ++row) {
        const int64_t first = row == *startRow ? start.col : leftEdge;
        const int64_t last = row == endRow ? std::min(cols - 1, buffer->x() - 1) : rightEdge;
        BufferLine &line = lines[row];
        for (int64_t col = std::max<int64_t>(first, 0); col <= last && col < line.dataSize(); ++col) {
            CharData cell = line[col];
            cell.payload = atom;
            line.setCell(col, cell);
        }
    }
}

} // namespace kestrix
