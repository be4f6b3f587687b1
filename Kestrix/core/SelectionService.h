#pragma once

#include "Kestrix/model/Position.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace kestrix {

class Terminal;

// The text selection of one terminal: two cell positions in buffer coordinates (scrollback
// included), in the order the user made them, and the way it was made (by character, word or row).
// It turns gestures (press, drag, shift-click, double- and triple-click, select-all) into those two
// ends and reads the text between them. Every change that shows asks the terminal's delegate for a
// full redraw.
class SelectionService {
public:
    enum class SelectionMode { character, word, row };

    // The word, run or bracketed expression the last double-click chose.
    struct WordAnchor {
        Position start;
        Position end;

        bool operator==(const WordAnchor &) const = default;
    };

    // The text of an empty cell.
    static constexpr char32_t nullChar = U'\0';

    // The terminal must outlive the service.
    explicit SelectionService(Terminal &terminal);

    Terminal &terminal() const { return *terminal_; }
    bool active() const { return active_; }
    // Notifies only when the flag changes; false always clears the pivot.
    void setActive(bool active);
    bool hasSelectionRange() const { return hasSelectionRange_; }
    // The anchor; it may lie after `end`.
    const Position &start() const { return start_; }
    // The moving end; the later of the two ends is exclusive in the text.
    const Position &end() const { return end_; }
    const std::optional<Position> &pivot() const { return pivot_; }
    void setPivot(std::optional<Position> pivot) { pivot_ = pivot; }
    const std::optional<WordAnchor> &wordSelectionAnchor() const { return wordSelectionAnchor_; }
    void setWordSelectionAnchor(std::optional<WordAnchor> anchor) { wordSelectionAnchor_ = anchor; }
    bool selectingRows() const { return selectingRows_; }
    SelectionMode selectionMode() const { return selectionMode_; }
    void setSelectionMode(SelectionMode mode) { selectionMode_ = mode; }

    // Both ends, the rows limited to the last line and the columns to the last column.
    void setSelection(Position start, Position end);
    // Collapses to the start: character mode, no anchor, active without a range.
    void startSelection();
    void startSelection(Position at);
    // Shift-click: the end moves to the cell; a click beyond the anchor swaps the ends first.
    void shiftExtend(int64_t col, int64_t row);
    // Moves the end while dragging, by word around the anchor in word mode.
    void dragExtend(int64_t col, int64_t row);
    // From the first cell to the last column of the ring's last possible line.
    void selectAll();
    void selectRow(int64_t row);
    // Double-click: the run of empty cells, blanks or a word at the cell, or a bracketed expression.
    void selectWordOrExpression(int64_t col, int64_t row);
    void selectToClosingBracket(int64_t col, int64_t row);
    void selectToOpeningBracket(int64_t col, int64_t row);
    // Inactive, both ends at the origin and no pivot.
    void clear();

    // The text between the two ends in buffer order; empty when they are equal.
    std::string selectedText() const;
    std::string debugDescription() const;

private:
    enum class CharacterClass { null, space, word, other };
    enum class Direction { backward, forward };

    // The text of a cell of the current buffer; outside the lines an empty cell, and the right half
    // of a wide character reads as the character itself.
    int32_t codeAt(int64_t col, int64_t row) const;
    CharacterClass classAt(int64_t col, int64_t row) const;
    // The edge of the run of cells of the target's class (no snapping for class other).
    int64_t snapColumn(int64_t col, int64_t row, Direction direction) const;
    Position snapped(Position target, Direction direction) const;
    std::pair<int64_t, int64_t> runAround(int64_t col, int64_t row, CharacterClass runClass) const;
    int64_t cols() const;
    int64_t lineCount() const;
    void collapseTo(Position at);
    void notify();

    Terminal *terminal_;
    bool active_ = false;
    bool hasSelectionRange_ = false;
    Position start_;
    std::optional<Position> pivot_ = Position{};
    std::optional<WordAnchor> wordSelectionAnchor_;
    Position end_;
    bool selectingRows_ = false;
    SelectionMode selectionMode_ = SelectionMode::character;
};

} // namespace kestrix
