#pragma once

#include "Kestrix/model/CharData.h"
#include "Kestrix/model/TerminalImage.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

// One row of the screen or of the scrollback: a contiguous run of cells with a wrap flag, a
// double-size rendering mode, the images anchored on it and a change counter.
//
// `generation` changes on every change of the cells (and, through the buffer, of the images and the
// wrap flag), so a renderer that saw the same `serial` with the same `generation` may reuse its drawing
// of the row. Only inequality means something; the counter wraps around. `serial` is unique for the
// life of the process, so a cache can never mistake a new line for a freed one at the same address.
//
// Every column range is clamped to the line: reads outside it give the null cell (a read past the end
// gives the last cell), writes outside it change nothing.
//
// Clearing a line to the plain default leaves its cells as they are and only notes that they read as
// blank: text printed next overwrites them anyway, and the first other use of the line blanks those
// still left (`settle`).
class BufferLine {
public:
    enum class RenderLineMode : uint8_t { single, doubleWidth, doubledTop, doubledDown };
    using ImageList = std::vector<std::shared_ptr<TerminalImage>>;
    using CharacterProvider = std::function<std::string(const CharData &)>;

    // `cols` cells of `fillData` (the null cell when absent).
    explicit BufferLine(int64_t cols, std::optional<CharData> fillData = std::nullopt,
                        bool isWrapped = false);
    // A deep copy with its own cells and serial; `generation` starts again at 0.
    BufferLine(const BufferLine &copyFrom);
    BufferLine &operator=(const BufferLine &) = delete;

    bool isWrapped = false;
    RenderLineMode renderMode = RenderLineMode::single;

private:
    // Cells extent_..staleEnd_-1 read as the null cell but still hold what they held before a clear:
    // the first two words of each (the rest is the null cell's already), or, with `wholeCellsStale_`,
    // any of their bytes. Here, in the room the two fields above leave, so a line takes no more
    // memory for it; 32 bits hold any column of a line that fits in memory.
    mutable uint32_t staleEnd_ = 0;

public:
    // Absent when the line has no images; the buffer keeps count of the lines that have a list.
    std::optional<ImageList> images;
    uint64_t generation = 0;

    int64_t dataSize() const { return static_cast<int64_t>(data_.size()); }
    // Every cell from here on reads as the null cell; cells written in place count once noted.
    int64_t extent() const { return extent_; }
    const CharData &fillCharacter() const { return fillCharacter_; }
    uint64_t serial() const { return serial_; }
    // The `dataSize()` cells, contiguous.
    const CharData *cells() const
    {
        settle();
        return data_.data();
    }

    // Asks the processor to fetch the cells that clearing the line and printing on it next will
    // write, ahead of their use. A line that never held anything costs nothing.
    void prefetchCells() const;

    // The cell at `col`; past the end the last cell, on an empty line or left of it the null cell.
    const CharData &operator[](int64_t col) const
    {
        settle();
        if (data_.empty() || col < 0) {
            return CharData::nullCell;
        }
        return data_[static_cast<size_t>(std::min(col, dataSize() - 1))];
    }

    // One past the last non-empty cell, counting both columns of a wide character; 0 when every cell
    // has code 0.
    int64_t trimmedLength() const;
    // The cells of this line that belong to the text of its wrapped group at width `cols`: without
    // a `next` line the trimmed length; with one the whole width, less the last column when that
    // holds a plain null cell and `next` starts with a wide character (one that did not fit here).
    int64_t wrappedTrimmedLength(const BufferLine *next, int64_t cols) const;
    int8_t getWidth(int64_t index) const { return (*this)[index].width; }
    // A non-empty code or an attribute other than the plain default. Payload and width do not count.
    bool hasContent(int64_t index) const;
    bool hasAnyContent() const;
    std::vector<CharData> getData() const
    {
        settle();
        return data_;
    }

    // The text of columns startCol..endCol-1 (`endCol` -1 means the whole line).
    std::string translateToString(bool trimRight = false, int64_t startCol = 0, int64_t endCol = -1,
                                  bool skipNullCellsFollowingWide = false,
                                  const CharacterProvider &characterProvider = {}) const;
    std::string debugDescription() const;

    // Writes one cell. A column past the end prints a warning and writes the last cell instead.
    void setCell(int64_t col, const CharData &cell)
    {
        settle();
        if (col >= 0 && col < dataSize()) {
            ++generation;
            data_[static_cast<size_t>(col)] = cell;
            extent_ = std::max(extent_, col + 1);
            onlyHeadsDiffer_ = false;
            return;
        }
        setCellOutOfRange(col, cell);
    }
    // The cells for writing in place; noteCellsWritten must follow before the line is read or
    // changed otherwise.
    CharData *writableCells()
    {
        settle();
        return data_.data();
    }
    // The cells for writing whole cells in place from `col` on, with noteCellsWritten to follow as
    // for writableCells (the print path's CellWriter). Stale cells left of `col` are blanked, as
    // they come before the extent once text is in; those from it on stay as they are, so a line a
    // clear left stale is not blanked just to be overwritten. Until the note, the written cells
    // from the extent on count as stale: reading the line then blanks them, and only
    // `cellsAsHeld` reads it as it is.
    CharData *cellsToWriteFrom(int64_t col)
    {
        if (staleEnd_ != 0 && col > extent_) [[unlikely]] {
            blankStale(extent_, std::min<int64_t>(col, staleEnd_));
        }
        return data_.data();
    }
    // Cells before `end` may have changed in place, whole.
    void noteCellsWritten(int64_t end)
    {
        ++generation;
        extent_ = std::max(extent_, std::min(end, dataSize()));
        onlyHeadsDiffer_ = false;
        if (extent_ >= staleEnd_) {
            staleEnd_ = 0;
            wholeCellsStale_ = false;
        }
    }
    // The `dataSize()` cells as they are held, stale ones unblanked, for a reader to whom an old
    // cell past the extent does no harm.
    const CharData *cellsAsHeld() const { return data_.data(); }
    // Writes `count` bytes as single-width cells of `attribute` from `col` on (the print fast path).
    void writeAscii(int64_t col, const uint8_t *bytes, int64_t count, const Attribute &attribute);

    // Inserts `n` cells of `fillData` at `pos`, pushing cells up to `rightMargin` right; cells pushed
    // past the margin are lost and cells right of it never change.
    void insertCells(int64_t pos, int64_t n, int64_t rightMargin, const CharData &fillData);
    // Deletes `n` cells at `pos`, pulling cells up to `rightMargin` left and filling with `fillData`.
    void deleteCells(int64_t pos, int64_t n, int64_t rightMargin, const CharData &fillData);
    // Cells start..end-1 become `cell`.
    void replaceCells(int64_t start, int64_t end, const CharData &cell);
    void fill(const CharData &cell);
    void fill(const CharData &cell, int64_t at, int64_t count);
    // Copies `len` cells of `source` (which may be this line; overlapping ranges copy correctly).
    void copyFrom(const BufferLine &source, int64_t srcCol, int64_t dstCol, int64_t len);
    // Grows with `fillData` or cuts to `cols` cells; the same width changes nothing.
    void resize(int64_t cols, const CharData &fillData);
    // Every cell becomes an empty cell of `attribute`, and the images go; wrap flag and render mode stay.
    void clear(const Attribute &attribute);
    // Takes over the cells and the wrap flag of `line`; render mode, fill and images stay.
    void copyFrom(const BufferLine &line);
    // Becomes what the copy constructor makes of `line` (its own serial, `generation` 0), reusing
    // this line's cell storage when the widths match.
    void becomeCopyOf(const BufferLine &line);

private:
    // Blanks the cells a clear left as they were; every use of the cells but printing text past the
    // extent does it first.
    void settle() const
    {
        if (staleEnd_ != 0) [[unlikely]] {
            blankStaleCells();
        }
    }
    void blankStaleCells() const;
    // Text is about to overwrite cells col..end-1, at or past the extent: the stale cells left of it
    // come before the extent once the text is in and are blanked; those under it need nothing.
    void blankStaleGap(int64_t col, int64_t end)
    {
        if (staleEnd_ == 0) {
            return;
        }
        if (col > extent_) [[unlikely]] {
            blankStale(extent_, std::min<int64_t>(col, staleEnd_));
        }
        if (end >= staleEnd_) {
            staleEnd_ = 0;
            wholeCellsStale_ = false;
        }
    }
    // Blanks stale cells start..end-1.
    void blankStale(int64_t start, int64_t end) const;
    void noteFilled(int64_t start, int64_t end, const CharData &cell);
    void setCellOutOfRange(int64_t col, const CharData &cell);

    // Mutable for `settle`: the cells a clear left read as blank before and after it.
    mutable std::vector<CharData> data_;
    CharData fillCharacter_;
    // Every cell before `extent_` differs from the null cell in its first two words at most (plain
    // text printed on a blank line), so plain text printed over them after a clear writes only
    // those words of each cell.
    bool onlyHeadsDiffer_ = false;
    // The stale cells may differ from the null cell in any byte (the line held more than plain
    // text when cleared), so only writes of whole cells may overwrite them. Sits in padding.
    mutable bool wholeCellsStale_ = false;
    uint64_t serial_;
    // Every cell from here on is the null cell, so a clear leaves only the cells before it stale.
    int64_t extent_ = 0;
};

} // namespace kestrix
