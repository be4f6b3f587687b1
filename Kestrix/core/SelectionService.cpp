#include "Kestrix/core/SelectionService.h"

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>
#include <array>
#include <unicode/uchar.h>
#include <vector>

namespace kestrix {
namespace {

bool isBefore(const Position &a, const Position &b)
{
    return Position::compare(a, b) == Position::compareResult::before;
}

bool isAfter(const Position &a, const Position &b)
{
    return Position::compare(a, b) == Position::compareResult::after;
}

bool isLetterOrNumber(UChar32 scalar)
{
    return u_isalpha(scalar) || u_getIntPropertyValue(scalar, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isWordPunctuation(int32_t code)
{
    return code == '.' || code == '_' || code == '-';
}

// Opening and closing characters of the bracketed expressions a double-click selects.
struct BracketPair {
    int32_t open;
    int32_t close;
};

constexpr std::array<BracketPair, 3> bracketPairs{{{'(', ')'}, {'[', ']'}, {'{', '}'}}};

std::optional<int32_t> closingBracketFor(int32_t code)
{
    for (const BracketPair &pair : bracketPairs) {
        if (pair.open == code) {
            return pair.close;
        }
    }
    return std::nullopt;
}

std::optional<int32_t> openingBracketFor(int32_t code)
{
    for (const BracketPair &pair : bracketPairs) {
        if (pair.close == code) {
            return pair.open;
        }
    }
    return std::nullopt;
}

// Walks a stack of expected characters: an opener pushes its partner, the expected character pops.
// True once the stack empties again.
bool closesExpression(std::vector<int32_t> &expected, int32_t code,
                      std::optional<int32_t> (*partnerOf)(int32_t))
{
    if (const std::optional<int32_t> partner = partnerOf(code)) {
        expected.push_back(*partner);
        return false;
    }
    if (!expected.empty() && expected.back() == code) {
        expected.pop_back();
        return expected.empty();
    }
    return false;
}

} // namespace

SelectionService::SelectionService(Terminal &terminal)
    : terminal_(&terminal)
{
}

int64_t SelectionService::cols() const
{
    return terminal_->buffer->cols();
}

int64_t SelectionService::lineCount() const
{
    return terminal_->buffer->lines().count();
}

void SelectionService::notify()
{
    if (TerminalDelegate *delegate = terminal_->delegate()) {
        delegate->terminalNeedsFullRedraw(*terminal_);
    }
}

void SelectionService::setActive(bool active)
{
    if (active_ != active) {
        active_ = active;
        notify();
    }
    if (!active) {
        pivot_.reset();
    }
}

void SelectionService::clear()
{
    setActive(false);
    start_ = {};
    end_ = {};
    hasSelectionRange_ = false;
}

void SelectionService::setSelection(Position start, Position end)
{
    const int64_t lastRow = std::max<int64_t>(lineCount() - 1, 0);
    const int64_t lastCol = cols() - 1;
    start = {std::min(start.col, lastCol), std::min(start.row, lastRow)};
    end = {std::min(end.col, lastCol), std::min(end.row, lastRow)};
    start_ = start;
    end_ = end;
    hasSelectionRange_ = start != end;
    active_ = true;
    notify();
}

void SelectionService::startSelection()
{
    end_ = start_;
    selectingRows_ = false;
    selectionMode_ = SelectionMode::character;
    wordSelectionAnchor_.reset();
    active_ = true;
    hasSelectionRange_ = false;
    notify();
}

void SelectionService::startSelection(Position at)
{
    start_ = at;
    end_ = at;
    active_ = true;
    hasSelectionRange_ = false;
    notify();
}

void SelectionService::shiftExtend(int64_t col, int64_t row)
{
    Position target{col, row};
    if (selectionMode_ == SelectionMode::word) {
        target = snapped(target, isBefore(target, start_) ? Direction::backward : Direction::forward);
    }
    const bool runsForward = !isAfter(start_, end_);
    // Extending past the anchor keeps the far end where it was.
    if ((runsForward && isBefore(target, start_)) || (!runsForward && isAfter(target, start_))) {
        start_ = end_;
    }
    end_ = target;
    hasSelectionRange_ = target != start_;
    active_ = true;
    notify();
}

void SelectionService::dragExtend(int64_t col, int64_t row)
{
    const Position target{col, row};
    if (selectionMode_ != SelectionMode::word) {
        end_ = target;
    } else if (wordSelectionAnchor_) {
        const auto [anchorStart, anchorEnd] = *wordSelectionAnchor_;
        if (isBefore(target, anchorStart)) {
            start_ = snapped(target, Direction::backward);
            end_ = anchorEnd;
        } else if (isAfter(target, anchorEnd)) {
            start_ = anchorStart;
            end_ = snapped(target, Direction::forward);
        } else {
            start_ = anchorStart;
            end_ = anchorEnd;
        }
    } else {
        end_ = snapped(target, isBefore(target, start_) ? Direction::backward : Direction::forward);
    }
    hasSelectionRange_ = start_ != end_;
    active_ = true;
    notify();
}

void SelectionService::selectAll()
{
    // The ring's capacity, not its count: copying stops at the last line that exists.
    const int64_t maxLength = terminal_->buffer->lines().maxLength();
    start_ = {0, 0};
    end_ = {cols() - 1, maxLength - 1};
    hasSelectionRange_ = !(cols() == 1 && maxLength == 1);
    active_ = true;
    notify();
}

void SelectionService::selectRow(int64_t row)
{
    start_ = {0, row};
    end_ = {cols() - 1, row};
    hasSelectionRange_ = cols() != 1;
    selectingRows_ = true;
    selectionMode_ = SelectionMode::row;
    wordSelectionAnchor_.reset();
    active_ = true;
    notify();
}

void SelectionService::selectWordOrExpression(int64_t col, int64_t row)
{
    col = std::clamp<int64_t>(col, 0, cols());
    row = std::max<int64_t>(row, 0);
    const int32_t code = codeAt(col, row);
    const CharacterClass characterClass = classAt(col, row);
    // A lone ".", "_" or "-" joins a word but does not start one.
    const bool startsRun = characterClass == CharacterClass::null ||
                           characterClass == CharacterClass::space ||
                           (characterClass == CharacterClass::word && !isWordPunctuation(code));
    if (startsRun) {
        const auto [first, afterLast] = runAround(col, row, characterClass);
        start_ = {first, row};
        end_ = {afterLast, row};
        hasSelectionRange_ = start_ != end_;
    } else if (closingBracketFor(code)) {
        selectToClosingBracket(col, row);
    } else if (openingBracketFor(code)) {
        selectToOpeningBracket(col, row);
    } else {
        collapseTo({col, row});
    }
    selectionMode_ = SelectionMode::word;
    wordSelectionAnchor_ = WordAnchor{start_, end_};
    active_ = true;
    notify();
}

void SelectionService::selectToClosingBracket(int64_t col, int64_t row)
{
    start_ = {col, row};
    const Buffer &buffer = *terminal_->buffer;
    // The expression must close within the viewport.
    const int64_t lastRow = buffer.yDisp() + buffer.rows() - 1;
    std::vector<int32_t> expected;
    for (int64_t r = row, c = col; r == row || r <= lastRow; ++r, c = 0) {
        for (; c < cols(); ++c) {
            if (closesExpression(expected, codeAt(c, r), closingBracketFor)) {
                end_ = {c + 1, r};
                hasSelectionRange_ = start_ != end_;
                return;
            }
        }
    }
    collapseTo({col, row});
}

void SelectionService::selectToOpeningBracket(int64_t col, int64_t row)
{
    end_ = {col, row};
    std::vector<int32_t> expected;
    // The opening character may lie anywhere above, scrollback included.
    for (int64_t r = row, c = col; r >= 0; --r, c = cols() - 1) {
        for (; c >= 0; --c) {
            if (closesExpression(expected, codeAt(c, r), openingBracketFor)) {
                end_ = {col + 1, row};
                start_ = {c, r};
                hasSelectionRange_ = start_ != end_;
                return;
            }
        }
    }
    collapseTo({col, row});
}

void SelectionService::collapseTo(Position at)
{
    start_ = at;
    end_ = at;
    hasSelectionRange_ = false;
}

std::string SelectionService::selectedText() const
{
    Position first = start_;
    Position second = end_;
    if (isAfter(first, second)) {
        std::swap(first, second);
    }
    const int64_t count = lineCount();
    if (first == second || first.row < 0 || first.row >= count) {
        return {};
    }
    second.row = std::min(second.row, count - 1);
    // An end on the last column takes that column, as it is drawn: a whole row copies whole.
    if (second.col == cols() - 1) {
        second.col = cols();
    }
    std::string text;
    for (const Line &line : terminal_->getSelectedLines(first, second, *terminal_->buffer)) {
        for (const LineFragment &fragment : line.fragments()) {
            text += fragment.text.value_or("");
        }
    }
    return text;
}

std::string SelectionService::debugDescription() const
{
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    return "[Selection (active=" + std::string(flag(active_)) + ", start=" + start_.debugDescription() +
           " end=" + end_.debugDescription() + " hasSR=" + flag(hasSelectionRange_) +
           " pivot=" + (pivot_ ? pivot_->debugDescription() : std::string("nil")) + "]";
}

int32_t SelectionService::codeAt(int64_t col, int64_t row) const
{
    if (row < 0 || row >= lineCount() || col < 0 || col >= cols()) {
        return 0;
    }
    const BufferLine &line = terminal_->buffer->lines()[row];
    if (col >= line.dataSize()) {
        return 0;
    }
    const int32_t code = line[col].code;
    // Both halves of a wide character are that character, so a run of them is one word.
    if (code == 0 && col > 0 && line[col - 1].width == 2) {
        return line[col - 1].code;
    }
    return code;
}

SelectionService::CharacterClass SelectionService::classAt(int64_t col, int64_t row) const
{
    const int32_t code = codeAt(col, row);
    if (code == static_cast<int32_t>(nullChar)) {
        return CharacterClass::null;
    }
    if (code == ' ') {
        return CharacterClass::space;
    }
    if (isWordPunctuation(code)) {
        return CharacterClass::word;
    }
    // A cluster is a letter or number by its first scalar.
    uint32_t scalar = static_cast<uint32_t>(code);
    if (!isUnicodeScalar(code)) {
        const std::string text = terminal_->stringForCellCode(code);
        size_t index = 0;
        scalar = utf8::next(text, index);
    }
    return isLetterOrNumber(static_cast<UChar32>(scalar)) ? CharacterClass::word : CharacterClass::other;
}

int64_t SelectionService::snapColumn(int64_t col, int64_t row, Direction direction) const
{
    const CharacterClass runClass = classAt(col, row);
    if (runClass == CharacterClass::other) {
        return col;
    }
    const auto [first, afterLast] = runAround(col, row, runClass);
    return direction == Direction::backward ? first : afterLast;
}

Position SelectionService::snapped(Position target, Direction direction) const
{
    return {snapColumn(target.col, target.row, direction), target.row};
}

std::pair<int64_t, int64_t> SelectionService::runAround(int64_t col, int64_t row,
                                                        CharacterClass runClass) const
{
    int64_t first = std::min(col, cols());
    while (first > 0 && classAt(first - 1, row) == runClass) {
        --first;
    }
    int64_t afterLast = std::max<int64_t>(col, 0);
    while (afterLast < cols() && classAt(afterLast, row) == runClass) {
        ++afterLast;
    }
    return {first, afterLast};
}

} // namespace kestrix
