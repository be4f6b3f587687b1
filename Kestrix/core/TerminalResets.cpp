// Feeding, resize, scrollback size, full resets, cursor visibility, synchronized output and the
// pruning of payload atoms.

#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/core/TerminalRegistry.h"
#include "Kestrix/model/AtomTable.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace kestrix {

void Terminal::feedBytes(ByteSpan bytes)
{
    parser_->parse(bytes);
}

void Terminal::feedString(std::string_view text)
{
    parser_->parse(ByteSpan(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

void Terminal::resizeScreen(int64_t newCols, int64_t newRows)
{
    newCols = std::max(newCols, MINIMUM_COLS);
    newRows = std::max(newRows, MINIMUM_ROWS);
    if (newCols == cols && newRows == rows) {
        return;
    }
    endSynchronizedOutput();
    const int64_t oldCols = cols;
    resizeBuffers(newCols, newRows);
    cols = newCols;
    rows = newRows;
    options.cols = newCols;
    options.rows = newRows;
    normalBuffer->setupTabStops(oldCols, tabStopWidth);
    altBuffer->setupTabStops(oldCols, tabStopWidth);
    markRowDirty(0);
    markRowDirty(rows - 1);
}

void Terminal::setScrollbackLines(std::optional<int64_t> lines)
{
    if (lines) {
        lines = std::max<int64_t>(*lines, 0);
    }
    normalBuffer->changeScrollback(lines);
    options.scrollback = lines.value_or(0);
    markRowDirty(0);
    markRowDirty(rows - 1);
}

void Terminal::hardReset()
{
    resetKeepingSize();
}

void Terminal::cmdFullReset()
{
    parser_->reset();
    resetKeepingSize();
}

void Terminal::resetKeepingSize()
{
    endSynchronizedOutput();
    options.rows = rows;
    options.cols = cols;
    const bool wasHidden = cursorHidden;
    resetState(true);
    clearKittyGraphics();
    cursorHidden = wasHidden;
    // A fresh screen starts at the home position.
    buffer->setX(0);
    buffer->setY(0);
    markRowDirty(0);
    markRowDirty(rows - 1);
}

void Terminal::makeCursorVisible()
{
    if (!cursorHidden) {
        return;
    }
    cursorHidden = false;
    if (tdel_ != nullptr) {
        tdel_->terminalRevealedCursor(*this);
    }
}

void Terminal::makeCursorHidden()
{
    if (cursorHidden) {
        return;
    }
    cursorHidden = true;
    if (tdel_ != nullptr) {
        tdel_->terminalConcealedCursor(*this);
    }
}

// MARK: Synchronized output

void Terminal::beginSynchronizedOutput()
{
    const uint64_t generation = ++synchronizedOutputGeneration_;
    if (taskQueue_ == nullptr) {
        return;
    }
    const auto timeout =
        std::chrono::milliseconds(static_cast<int64_t>(synchronizedOutputTimeoutSeconds * 1000));
    taskQueue_->asyncAfter(timeout, [this, alive = std::weak_ptr<bool>(lifetime_), generation] {
        if (!alive.expired()) {
            endSynchronizedOutputFromTimeout(generation);
        }
    });
}

void Terminal::endSynchronizedOutputFromTimeout(uint64_t generation)
{
    // A later set re-armed the time-out; this one was cancelled.
    if (generation == synchronizedOutputGeneration_ && synchronizedOutputActive) {
        endSynchronizedOutput();
    }
}

void Terminal::endSynchronizedOutput()
{
    if (!synchronizedOutputActive) {
        return;
    }
    synchronizedOutputActive = false;
    ++synchronizedOutputGeneration_;
    markRowDirty(0);
    markRowDirty(rows - 1);
    if (tdel_ != nullptr) {
        tdel_->terminalSynchronizedOutput(*this, false);
    }
}

// MARK: Payload atoms

void Terminal::pruneUnusedAtoms()
{
    AtomTable &table = AtomTable::shared();
    if (!table.hasUnprunedCodes()) {
        return;
    }
    // Atoms are shared by every terminal of the process: a code is in use when any cell of any
    // live terminal refers to it.
    std::vector<bool> inUse(0x10000, false);
    TerminalRegistry::forEach([&inUse](Terminal &terminal) {
        for (Buffer *each : {terminal.normalBuffer.get(), terminal.altBuffer.get()}) {
            CircularBufferLineList &lines = each->lines();
            for (int64_t row = 0; row < lines.count(); ++row) {
                const BufferLine &line = lines[row];
                const CharData *cells = line.cells();
                for (int64_t col = 0; col < line.dataSize(); ++col) {
                    inUse[cells[col].payload.code] = true;
                }
            }
        }
    });
    inUse[0] = false;
    table.pruneUnused([&inUse](uint16_t code) { return static_cast<bool>(inUse[code]); });
}

} // namespace kestrix
