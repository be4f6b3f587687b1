// Reflow on resize: the text of each wrapped group of lines is laid out again for a new width.
//
// A group is a line and the wrapped lines after it. Wider, its cells move up and the lines it no
// longer needs leave the ring; narrower, its cells move down into new wrapped lines added below it.
// Cells move whole (codes, clusters, widths, payloads and attributes); images stay on their lines.
// The screen then moves so that the cursor stays on its own line and no line that holds text is lost
// (only the capacity of a full ring drops the oldest lines, as every scroll does).

#include "Kestrix/model/Buffer.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace kestrix {

namespace {

using LinePtr = CircularBufferLineList::LinePtr;

// Lines first..first+size-1 of the ring.
struct Group {
    int64_t first = 0;
    int64_t size = 0;

    int64_t end() const { return first + size; }
    bool contains(int64_t row) const { return row >= first && row < end(); }
};

Group groupStartingAt(CircularBufferLineList &lines, int64_t first)
{
    int64_t end = first + 1;
    while (end < lines.count() && lines[end].isWrapped) {
        ++end;
    }
    return {first, end - first};
}

Group groupEndingAt(CircularBufferLineList &lines, int64_t end)
{
    int64_t first = end - 1;
    while (first > 0 && lines[first].isWrapped) {
        --first;
    }
    return {first, end - first};
}

std::vector<BufferLine *> linesOf(CircularBufferLineList &lines, Group group)
{
    std::vector<BufferLine *> result;
    result.reserve(static_cast<size_t>(group.size));
    for (int64_t row = group.first; row < group.end(); ++row) {
        result.push_back(&lines[row]);
    }
    return result;
}

// How many cells of each group line belong to the text at width `cols`.
std::vector<int64_t> textLengths(std::span<BufferLine *const> group, int64_t cols)
{
    std::vector<int64_t> lengths(group.size());
    for (size_t i = 0; i < group.size(); ++i) {
        const BufferLine *next = i + 1 < group.size() ? group[i + 1] : nullptr;
        lengths[i] = group[i]->wrappedTrimmedLength(next, cols);
    }
    return lengths;
}

// Calls `emit(length)` for every line the group's text needs at `newCols`, top to bottom.
template <class Emit>
void forEachNewLineLength(std::span<BufferLine *const> group, std::span<const int64_t> textLength,
                          int64_t newCols, Emit &&emit)
{
    const int64_t cellsNeeded = std::accumulate(textLength.begin(), textLength.end(), int64_t{0});
    const auto size = static_cast<int64_t>(group.size());
    int64_t srcLine = 0;
    int64_t srcCol = 0;
    int64_t available = 0;
    while (available < cellsNeeded) {
        if (cellsNeeded - available < newCols) {
            emit(cellsNeeded - available);
            return;
        }
        // (srcLine, srcCol) is where the next line would end in the old layout.
        srcCol += newCols;
        while (srcLine < size && srcCol > textLength[static_cast<size_t>(srcLine)]) {
            srcCol -= textLength[static_cast<size_t>(srcLine)];
            ++srcLine;
        }
        int64_t length = newCols;
        // A wide character never straddles the edge: it starts the next line. At one column it
        // cannot fit anywhere, and the line takes it anyway so that every line takes a cell.
        if (newCols > 1 && srcLine < size && group[static_cast<size_t>(srcLine)]->getWidth(srcCol - 1) == 2) {
            --srcCol;
            length = newCols - 1;
        }
        emit(length);
        available += length;
    }
}

int64_t newLineCount(std::span<BufferLine *const> group, std::span<const int64_t> textLength, int64_t newCols)
{
    int64_t count = 0;
    forEachNewLineLength(group, textLength, newCols, [&](int64_t) { ++count; });
    return count;
}

// The lengths of the last `keep` lines of the new layout, whose lines number `total`.
std::vector<int64_t> lastNewLineLengths(std::span<BufferLine *const> group,
                                        std::span<const int64_t> textLength, int64_t newCols, int64_t total,
                                        int64_t keep)
{
    std::vector<int64_t> lengths;
    lengths.reserve(static_cast<size_t>(std::min(total, keep)));
    int64_t index = 0;
    forEachNewLineLength(group, textLength, newCols, [&](int64_t length) {
        if (index++ >= total - keep) {
            lengths.push_back(length);
        }
    });
    return lengths;
}

// Wider: moves the group's text up to fill lines of `newCols`; returns the last line holding text.
// Every cell moves to a place at or before its own, so copying in text order reads each cell before
// anything overwrites it.
int64_t moveCellsWider(std::span<BufferLine *const> group, int64_t oldCols, int64_t newCols,
                       const CharData &fill)
{
    const std::vector<int64_t> textLength = textLengths(group, oldCols);
    const auto size = static_cast<int64_t>(group.size());
    int64_t destLine = 0;
    int64_t destCol = textLength[0];
    int64_t srcLine = 1;
    int64_t srcCol = 0;
    while (srcLine < size && destLine < size) {
        const int64_t srcLen = textLength[static_cast<size_t>(srcLine)];
        const int64_t n = std::min(srcLen - srcCol, newCols - destCol);
        group[static_cast<size_t>(destLine)]->copyFrom(*group[static_cast<size_t>(srcLine)], srcCol, destCol,
                                                       n);
        destCol += n;
        if (destCol >= newCols) {
            ++destLine;
            destCol = 0;
        }
        srcCol += n;
        if (srcCol >= srcLen) {
            ++srcLine;
            srcCol = 0;
        }
        if (destCol == 0 && destLine > 0 && destLine < size) {
            // The first half of a wide character at the edge moves down to join its second half.
            BufferLine &previous = *group[static_cast<size_t>(destLine - 1)];
            if (previous.getWidth(newCols - 1) == 2) {
                group[static_cast<size_t>(destLine)]->copyFrom(previous, newCols - 1, 0, 1);
                destCol = 1;
                previous.setCell(newCols - 1, fill);
            }
        }
    }
    destLine = std::min(destLine, size - 1);
    group[static_cast<size_t>(destLine)]->replaceCells(destCol, newCols, fill);
    return destLine;
}

// Narrower: lays the group's text out over `dest` with `lengths`, from the end backwards. `dest`
// starts with the group's own lines, or is the tail of the new layout when its top falls off the
// ring. Every cell moves to a place at or after its own, so copying from the end reads each cell
// before anything overwrites it.
void moveCellsNarrower(std::span<BufferLine *const> source, std::span<const int64_t> textLength,
                       std::span<BufferLine *const> dest, std::span<const int64_t> lengths, int64_t newCols)
{
    auto srcLine = static_cast<int64_t>(source.size()) - 1;
    auto destLine = static_cast<int64_t>(dest.size()) - 1;
    int64_t srcCol = textLength[static_cast<size_t>(srcLine)];
    int64_t destCol = lengths[static_cast<size_t>(destLine)];
    while (srcLine >= 0 && destLine >= 0) {
        if (srcCol == 0) {
            if (--srcLine >= 0) {
                srcCol = textLength[static_cast<size_t>(srcLine)];
            }
            continue;
        }
        if (destCol == 0) {
            if (--destLine >= 0) {
                destCol = lengths[static_cast<size_t>(destLine)];
            }
            continue;
        }
        const int64_t n = std::min(srcCol, destCol);
        dest[static_cast<size_t>(destLine)]->copyFrom(*source[static_cast<size_t>(srcLine)], srcCol - n,
                                                      destCol - n, n);
        srcCol -= n;
        destCol -= n;
    }
    // What lies past a line's new length is not text: the place a wide character left, or cells the
    // text moved away from.
    for (size_t i = 0; i < dest.size(); ++i) {
        dest[i]->replaceCells(lengths[i], newCols, CharData::nullCell);
    }
}

} // namespace

int64_t Buffer::wrappedLineTrimmedLength(int64_t row, int64_t cols)
{
    BufferLine &line = lines_[row];
    const BufferLine *next =
        row + 1 < lines_.count() && lines_[row + 1].isWrapped ? &lines_[row + 1] : nullptr;
    return line.wrappedTrimmedLength(next, cols);
}

std::vector<int64_t> Buffer::reflowNewLineLengths(std::span<BufferLine *const> group, int64_t oldCols,
                                                  int64_t newCols)
{
    std::vector<int64_t> lengths;
    if (group.empty() || newCols < 1) {
        return lengths;
    }
    const std::vector<int64_t> textLength = textLengths(group, oldCols);
    forEachNewLineLength(group, textLength, newCols, [&](int64_t length) { lengths.push_back(length); });
    return lengths;
}

void Buffer::reflow(int64_t oldCols, int64_t newCols, int64_t newRows)
{
    // At one column a wide character fits nowhere: such a buffer is only cut.
    if (oldCols < 2 || newCols < 2 || lines_.count() == 0) {
        return;
    }
    if (newCols > oldCols) {
        reflowWider(oldCols, newCols, newRows);
    } else {
        reflowNarrower(oldCols, newCols, newRows);
    }
    yDisp_ = std::clamp<int64_t>(yDisp_, 0, yBase_);
}

// MARK: Wider

std::vector<Buffer::LineRun> Buffer::reflowLinesToRemove(int64_t oldCols, int64_t newCols, int64_t cursorRow,
                                                         const CharData &fill)
{
    std::vector<LineRun> runs;
    auto remove = [&runs](int64_t row) {
        if (!runs.empty() && runs.back().start + runs.back().count == row) {
            ++runs.back().count;
        } else {
            runs.push_back({row, 1});
        }
    };
    for (int64_t row = 0; row < lines_.count();) {
        const Group group = groupStartingAt(lines_, row);
        row = group.end();
        if (group.size < 2 || group.contains(cursorRow)) {
            continue;
        }
        const std::vector<BufferLine *> lines = linesOf(lines_, group);
        const int64_t destLine = moveCellsWider(lines, oldCols, newCols, fill);
        // The emptied lines at the group's end: those past its text, and empty ones just above them.
        int64_t firstEmpty = group.size;
        while (firstEmpty > 1 && (firstEmpty - 1 > destLine ||
                                  lines[static_cast<size_t>(firstEmpty - 1)]->trimmedLength() == 0)) {
            --firstEmpty;
        }
        for (int64_t i = firstEmpty; i < group.size; ++i) {
            BufferLine &line = *lines[static_cast<size_t>(i)];
            if (!line.images) {
                remove(group.first + i);
                continue;
            }
            // An image stays on its row: the line stays, emptied, as a line of its own.
            line.replaceCells(0, line.dataSize(), fill);
            line.isWrapped = false;
            ++line.generation;
        }
    }
    return runs;
}

void Buffer::reflowWider(int64_t oldCols, int64_t newCols, int64_t newRows)
{
    const int64_t cursorRow = yBase_ + y_;
    const std::vector<LineRun> runs = reflowLinesToRemove(oldCols, newCols, cursorRow, CharData::nullCell);
    if (runs.empty()) {
        return;
    }
    std::vector<LinePtr> lines = lines_.takeLines();
    std::vector<LinePtr> kept;
    kept.reserve(lines.size());
    int64_t removedAbove = 0;
    int64_t removedBelow = 0;
    auto run = runs.begin();
    for (int64_t row = 0; row < static_cast<int64_t>(lines.size()); ++row) {
        if (run != runs.end() && row >= run->start + run->count) {
            ++run;
        }
        if (run != runs.end() && row >= run->start) {
            ++(row < cursorRow ? removedAbove : removedBelow);
            continue;
        }
        kept.push_back(std::move(lines[static_cast<size_t>(row)]));
    }
    lines_.putLines(std::move(kept));

    auto pushBlankLine = [&] { lines_.push(std::make_unique<BufferLine>(newCols, CharData::nullCell)); };
    // Lines that left below the cursor: the screen stays and blank lines fill its bottom.
    for (int64_t i = 0; i < removedBelow && lines_.count() < yBase_ + newRows; ++i) {
        pushBlankLine();
    }
    // Lines that left above it: scrollback comes down into view, or else the cursor moves up.
    for (int64_t i = 0; i < removedAbove; ++i) {
        if (yBase_ == 0) {
            y_ = std::max<int64_t>(y_ - 1, 0);
            if (lines_.count() < newRows) {
                pushBlankLine();
            }
        } else {
            if (yDisp_ == yBase_) {
                --yDisp_;
            }
            --yBase_;
        }
    }
    savedY = std::clamp<int64_t>(savedY - removedAbove - removedBelow, 0, newRows - 1);
}

// MARK: Narrower

int64_t Buffer::trailingBlankLines(int64_t cursorRow)
{
    int64_t count = 0;
    for (int64_t row = lines_.count() - 1; row > cursorRow; --row) {
        const BufferLine &line = lines_[row];
        if (line.isWrapped || line.images || line.trimmedLength() != 0) {
            break;
        }
        ++count;
    }
    return count;
}

std::vector<int64_t> Buffer::groupsBelowCursorThatFit(int64_t cursorRow, int64_t room, int64_t oldCols,
                                                      int64_t newCols)
{
    std::vector<int64_t> fitting;
    if (cursorRow >= lines_.count()) {
        return fitting;
    }
    int64_t added = 0;
    for (int64_t row = groupStartingAt(lines_, cursorRow).end(); row < lines_.count();) {
        const Group group = groupStartingAt(lines_, row);
        row = group.end();
        const std::vector<BufferLine *> lines = linesOf(lines_, group);
        const std::vector<int64_t> textLength = textLengths(lines, oldCols);
        const int64_t growth = newLineCount(lines, textLength, newCols) - group.size;
        if (growth >= 0 && added + growth <= room) {
            added += growth;
            fitting.push_back(group.first);
        }
    }
    return fitting;
}

int64_t Buffer::reflowInsertLines(std::vector<InsertionSet> sets, int64_t count)
{
    sets.erase(std::find_if(sets.begin(), sets.end(), [](const InsertionSet &set) { return set.isNull; }),
               sets.end());
    std::vector<LinePtr> old = lines_.takeLines();
    std::vector<LinePtr> merged;
    merged.reserve(old.size() + static_cast<size_t>(std::max<int64_t>(count, 0)));
    // The sets were recorded from the bottom up.
    auto set = sets.rbegin();
    for (int64_t row = 0; row <= static_cast<int64_t>(old.size()); ++row) {
        for (; set != sets.rend() && set->start <= row; ++set) {
            std::move(set->lines.begin(), set->lines.end(), std::back_inserter(merged));
        }
        if (row < static_cast<int64_t>(old.size())) {
            merged.push_back(std::move(old[static_cast<size_t>(row)]));
        }
    }
    return lines_.putLines(std::move(merged));
}

void Buffer::reflowNarrower(int64_t oldCols, int64_t newCols, int64_t newRows)
{
    const int64_t cursorRow = yBase_ + y_;
    const int64_t trailing = trailingBlankLines(cursorRow);
    // Text below the cursor may grow into the blank lines at the bottom and, by moving the screen
    // down, into the rows above the cursor; never further, so the cursor keeps its line.
    const std::vector<int64_t> fittingBelow =
        groupsBelowCursorThatFit(cursorRow, y_ + trailing, oldCols, newCols);
    // The ring keeps at most `maxLength` lines; counting from the bottom, whatever lies above that
    // falls off, so none of it is laid out.
    int64_t room = lines_.maxLength() + trailing;

    std::vector<InsertionSet> sets;
    int64_t addedAbove = 0;
    int64_t addedBelow = 0;
    for (int64_t end = lines_.count(); end > 0 && room > 0;) {
        const Group group = groupEndingAt(lines_, end);
        end = group.first;
        const bool below = group.first > cursorRow;
        const bool needsLayout = group.size > 1 || lines_[group.first].trimmedLength() > newCols;
        if (group.contains(cursorRow) || !needsLayout ||
            (below && !std::binary_search(fittingBelow.begin(), fittingBelow.end(), group.first))) {
            room -= group.size;
            continue;
        }
        const std::vector<BufferLine *> lines = linesOf(lines_, group);
        const std::vector<int64_t> textLength = textLengths(lines, oldCols);
        const int64_t total = newLineCount(lines, textLength, newCols);
        const int64_t linesToAdd = total - group.size;
        if (linesToAdd < 0) {
            room -= group.size;
            continue;
        }
        InsertionSet set;
        set.start = group.end();
        // Only the part of the new layout that stays in the ring is made.
        const int64_t made = std::min(linesToAdd, room);
        for (int64_t i = 0; i < made; ++i) {
            set.lines.push_back(std::make_unique<BufferLine>(newCols, CharData::nullCell, true));
        }
        std::vector<BufferLine *> dest;
        if (made == linesToAdd) {
            dest = lines;
        }
        for (const LinePtr &line : set.lines) {
            dest.push_back(line.get());
        }
        const std::vector<int64_t> lengths =
            lastNewLineLengths(lines, textLength, newCols, total, static_cast<int64_t>(dest.size()));
        moveCellsNarrower(lines, textLength, dest, lengths, newCols);
        (below ? addedBelow : addedAbove) += made;
        room -= total;
        if (made > 0) {
            sets.push_back(std::move(set));
        }
    }
    const int64_t added = addedAbove + addedBelow;
    if (added == 0) {
        return;
    }

    // Below the cursor the text takes blank lines first, then the screen moves down over it.
    const int64_t blanksBelow = std::min(addedBelow, trailing);
    const int64_t screenDown = addedBelow - blanksBelow;
    int64_t newYBase = yBase_ + screenDown;
    int64_t newY = y_ - screenDown;
    // Above it, on a screen without scrollback, the cursor moves down over blank lines; otherwise
    // the screen moves down with the cursor's line.
    const int64_t blanksAbove =
        newYBase == 0
            ? std::clamp<int64_t>(std::min(addedAbove, trailing - blanksBelow), 0, newRows - 1 - newY)
            : 0;
    newY += blanksAbove;
    newYBase += addedAbove - blanksAbove;

    for (int64_t i = 0; i < blanksBelow + blanksAbove; ++i) {
        lines_.set(lines_.count() - 1, nullptr);
        lines_.setCount(lines_.count() - 1);
    }
    const int64_t dropped = reflowInsertLines(std::move(sets), added);

    const bool following = yDisp_ == yBase_;
    yBase_ = std::max<int64_t>(newYBase - dropped, 0);
    y_ = newY;
    yDisp_ = following ? yBase_ : std::max<int64_t>(yDisp_ - dropped, 0);
    savedY = std::clamp<int64_t>(savedY + added, 0, newRows - 1);
}

} // namespace kestrix
