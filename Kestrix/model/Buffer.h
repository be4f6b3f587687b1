#pragma once

#include "Kestrix/model/BufferLine.h"
#include "Kestrix/model/CharSets.h"
#include "Kestrix/model/CircularBufferLineList.h"
#include "Kestrix/model/WritingModes.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kestrix {

// One screen buffer of a terminal, normal (with scrollback) or alternate (without): the lines in a
// scrollback ring, the cursor, viewport, scroll region, margins, tab stops, the attribute of new text
// and the saved cursor state.
//
// Coordinates: logical line 0 is the oldest line kept in the ring; screen row y is logical line
// yBase + y; the viewport starts at logical line yDisp.
class Buffer {
public:
    // Where printing last wrote: logical row, column, and the buffer size at that moment.
    struct LastBufferStorage {
        int64_t y = 0;
        int64_t x = 0;
        int64_t cols = 0;
        int64_t rows = 0;
    };
    // Scrolls the region up one line; the argument says whether the new bottom line continues the
    // line above it. Installed by the terminal right after construction.
    using ScrollHandler = std::function<void(bool wrapped)>;

    // The largest ring capacity: rows plus scrollback saturate here.
    static constexpr int64_t maximumCapacity = 2147483647;
    static int64_t ringCapacity(int64_t rows, std::optional<int64_t> scrollback);

    // An empty ring (the terminal then calls `fillViewportRows`), tab stops every `tabStopWidth`
    // columns. An absent `scrollback` means no scrollback at all. The buffer follows `modes`, which
    // must outlive it; without them it keeps modes of its own.
    Buffer(int64_t cols, int64_t rows, int64_t tabStopWidth, std::optional<int64_t> scrollback,
           WritingModes &modes);
    Buffer(int64_t cols, int64_t rows, int64_t tabStopWidth, std::optional<int64_t> scrollback);
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;

    // The ring lives as long as the buffer; `clear` empties it in place.
    CircularBufferLineList &lines() { return lines_; }

    // Cursor and viewport. The guarded setters ignore negative values.
    int64_t x() const { return x_; }
    void setX(int64_t x)
    {
        if (x >= 0) {
            x_ = x;
        }
    }
    int64_t y() const { return y_; }
    void setY(int64_t y)
    {
        if (y >= 0) {
            y_ = y;
        }
    }
    int64_t yBase() const { return yBase_; }
    void setYBase(int64_t yBase) { yBase_ = yBase; }
    int64_t yDisp() const { return yDisp_; }
    void setYDisp(int64_t yDisp)
    {
        if (yDisp >= 0) {
            yDisp_ = yDisp;
        }
    }
    int64_t xBase = 0;
    // Lines that left the top of the ring since the last clear; the terminal's scroll counts them.
    int64_t linesTop = 0;

    // Scroll region (inclusive rows) and left/right margins (inclusive columns).
    int64_t scrollTop() const { return scrollTop_; }
    void setScrollTop(int64_t row);
    int64_t scrollBottom() const { return scrollBottom_; }
    void setScrollBottom(int64_t row);
    int64_t marginLeft() const { return marginLeft_; }
    void setMarginLeft(int64_t column) { marginLeft_ = column; }
    int64_t marginRight() const { return marginRight_; }
    void setMarginRight(int64_t column) { marginRight_ = column; }

    int64_t cols() const { return cols_; }
    int64_t rows() const { return rows_; }
    bool hasScrollback() const { return hasScrollback_; }
    std::optional<int64_t> scrollback() const { return scrollback_; }

    // One byte per column, 1 at a tab stop: the search for the next stop reads bytes, not bits.
    std::vector<uint8_t> tabStops;

    // State of the save-cursor command.
    int64_t savedX = 0;
    int64_t savedY = 0;
    bool savedOriginMode = false;
    bool savedMarginMode = false;
    bool savedWraparound = false;
    bool savedReverseWraparound = false;
    Attribute savedAttr;
    std::optional<CharSetMap> savedCharset;

    // Insert, wraparound and margin modes: those the buffer was made with.
    const WritingModes &modes() const { return *modes_; }
    WritingModes &modes() { return *modes_; }

    ScrollHandler scroll;
    LastBufferStorage lastBufferStorage;

    // Lines and cells.
    // The line the ring makes for a slot read while empty: `cols` null cells.
    std::unique_ptr<BufferLine> makeEmptyLine() const;
    // On an empty ring: `rows` blank lines of `attribute` (the plain default when absent).
    void fillViewportRows(std::optional<Attribute> attribute = std::nullopt);
    std::unique_ptr<BufferLine> getBlankLine(const Attribute &attribute, bool isWrapped = false) const;
    // Back to an empty ring at the top, with the region and margins spanning the screen. Tab stops,
    // attributes, saved state and modes stay.
    void clear();
    // Saved cursor state back to its initial values and margins across the screen.
    void softReset();
    // The cell of logical line `row`; the null cell outside the buffer.
    const CharData &charAt(int64_t col, int64_t row);
    // The same for a row of the viewport.
    const CharData &getCharAtBufferRelative(int64_t col, int64_t row) { return charAt(col, row + yDisp_); }

    // Tab stops.
    // Index -1: stops every `tabWidth` columns from 0. Otherwise the list is fitted to `cols` and the
    // stops continue from the stop at or before `index` (used after a resize with the old width).
    void setupTabStops(int64_t index, int64_t tabWidth);
    void setTabStop(int64_t at);
    void clearTabStop(int64_t at);
    // The first stop after `from` (-1: the cursor column), or the limit: `marginRight` when
    // `withinMargins`, else the last column.
    int64_t nextTabStop(int64_t from, bool withinMargins) const;
    int64_t nextTabStop(int64_t from = -1) const { return nextTabStop(from, modes_->marginMode); }
    // The last stop before `from` (-1: the cursor column), 0 when there is none.
    int64_t previousTabStop(int64_t from = -1) const;

    // Inline images.
    int64_t linesWithImagesCount() const { return linesWithImagesCount_; }
    bool hasLinesWithImages() const { return linesWithImagesCount_ > 0; }
    // Drops the image list of logical line `row`, if it has one.
    void clearLineImages(int64_t row);
    // Anchors an image on logical line `row`.
    void appendLineImage(std::shared_ptr<TerminalImage> image, int64_t row);
    void recountLinesWithImages();

    // Printing.
    // Writes one cell at the cursor with the wrap, insert and wide-character rules.
    void putCharacter(const CharData &cell);
    // Writes bytes from `start` on as single-width cells of `attribute`; returns how many it took. It
    // takes nothing in insert mode and stops at the right edge without wraparound.
    // Inline: the print path calls it for every run of text.
    int64_t putAsciiRun(std::span<const uint8_t> bytes, int64_t start, const Attribute &attribute)
    {
        int64_t size = static_cast<int64_t>(bytes.size());
        if (modes_->insertMode || start < 0 || start >= size) {
            return 0;
        }
        int64_t right = rightEdge();
        int64_t position = start;
        while (position < size) {
            if (x_ > right) {
                if (!modes_->wraparound) {
                    break;
                }
                wrapCursor();
            }
            int64_t n = std::min(size - position, right - x_ + 1);
            if (n <= 0) {
                // Margins that leave no room after a wrap.
                break;
            }
            lines_[yBase_ + y_].writeAscii(x_, bytes.data() + position, n, attribute);
            x_ += n;
            position += n;
        }
        int64_t consumed = position - start;
        if (consumed > 0) {
            lastBufferStorage = {yBase_ + y_, x_ - 1, cols_, rows_};
        }
        return consumed;
    }

    // Writes all of `bytes` as single-width cells of `attribute` when they fit the cursor's line
    // without a wrap and insert mode is off: the common run, with none of putAsciiRun's wrap loop.
    // Returns false, writing nothing, otherwise.
    bool putAsciiWithinLine(std::span<const uint8_t> bytes, const Attribute &attribute)
    {
        const auto size = static_cast<int64_t>(bytes.size());
        if (modes_->insertMode || x_ + size > rightEdge() + 1) {
            return false;
        }
        // The cursor moves before the cells are written: nothing is read again after the call.
        const int64_t col = x_;
        x_ += size;
        lastBufferStorage = {yBase_ + y_, x_ - 1, cols_, rows_};
        lines_[yBase_ + y_].writeAscii(col, bytes.data(), size, attribute);
        return true;
    }

    // Size.
    // Reflows wrapped lines to a new width when the buffer has scrollback (and both widths are at
    // least 2 columns); the group of lines holding the cursor is only cut.
    void resize(int64_t newCols, int64_t newRows);
    // An absent count means no scrollback at all. Dropped lines leave the top; the screen stays.
    void changeScrollback(std::optional<int64_t> lines);

    // Reflow.
    // Lines a narrower reflow adds below one wrapped group.
    struct InsertionSet {
        std::vector<std::unique_ptr<BufferLine>> lines;
        // The logical line, counted before the reflow, that the lines go in front of.
        int64_t start = 0;
        // Ends a list of sets: the sets after it are not inserted.
        bool isNull = false;
    };
    // Logical lines start..start+count-1.
    struct LineRun {
        int64_t start = 0;
        int64_t count = 0;
    };
    // The cells of logical line `row` that belong to its group's text at width `cols`; the line
    // after it counts as its next line when it continues the group.
    int64_t wrappedLineTrimmedLength(int64_t row, int64_t cols);
    // The lengths of the lines that the wrapped `group` needs at `newCols`, top to bottom. A wide
    // character that would straddle the new edge starts the next line; every length is at least 1.
    static std::vector<int64_t> reflowNewLineLengths(std::span<BufferLine *const> group, int64_t oldCols,
                                                     int64_t newCols);

private:
    void installLineCallbacks();
    void wrapCursor();
    int64_t rightEdge() const { return modes_->marginMode ? marginRight_ : cols_ - 1; }
    // Drops the oldest lines beyond `capacity` and shrinks the ring to it.
    void shrinkRing(int64_t capacity);
    void growRows(int64_t newCols, int64_t newRows, int64_t &addToY);
    void shrinkRows(int64_t newRows);
    // Re-wraps soft-wrapped lines for a new width; the buffer then cuts lines that got narrower.
    void reflow(int64_t oldCols, int64_t newCols, int64_t newRows);
    void reflowWider(int64_t oldCols, int64_t newCols, int64_t newRows);
    void reflowNarrower(int64_t oldCols, int64_t newCols, int64_t newRows);
    // Moves the cells of every wrapped group but the cursor's into the wider layout and returns the
    // runs of lines that it emptied, in order.
    std::vector<LineRun> reflowLinesToRemove(int64_t oldCols, int64_t newCols, int64_t cursorRow,
                                             const CharData &fill);
    // Puts the lines of `sets` (recorded bottom group first, `count` lines in all) into the ring in
    // one pass; returns how many of the oldest lines fell off the top.
    int64_t reflowInsertLines(std::vector<InsertionSet> sets, int64_t count);
    // The empty, unwrapped lines at the end of the ring below `cursorRow`, which text may take over.
    int64_t trailingBlankLines(int64_t cursorRow);
    // The groups below the cursor that may grow by lines while the screen keeps the cursor's line:
    // their first lines, in order.
    std::vector<int64_t> groupsBelowCursorThatFit(int64_t cursorRow, int64_t room, int64_t oldCols,
                                                  int64_t newCols);

    CircularBufferLineList lines_;
    int64_t yDisp_ = 0;
    int64_t x_ = 0;
    int64_t y_ = 0;
    int64_t yBase_ = 0;
    int64_t linesWithImagesCount_ = 0;
    int64_t scrollBottom_ = 0;
    int64_t scrollTop_ = 0;
    int64_t marginLeft_ = 0;
    int64_t marginRight_ = 0;
    bool hasScrollback_ = false;
    int64_t cols_ = 0;
    int64_t rows_ = 0;
    std::optional<int64_t> scrollback_;
    // Used only by a buffer made without the terminal's modes.
    WritingModes ownModes_;
    WritingModes *modes_;
};

} // namespace kestrix
