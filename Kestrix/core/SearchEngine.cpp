#include "Kestrix/core/SearchEngine.h"

#include "Kestrix/core/Terminal.h"

#include <algorithm>
#include <limits>

namespace kestrix {
namespace {

constexpr int64_t endOfLine = std::numeric_limits<int64_t>::max();

// Only the second column of a wide character shows no character of its own.
int64_t charactersBefore(const BufferLine &line, int64_t col)
{
    const int64_t end = std::clamp<int64_t>(col, 0, line.dataSize());
    const CharData *cells = line.cells();
    return std::count_if(cells, cells + end, [](const CharData &cell) { return cell.width != 0; });
}

// The column of the character `index` characters into the row; past the row's characters, the
// column after them.
int64_t columnOfCharacter(const BufferLine *line, int64_t index)
{
    if (line == nullptr) {
        return index;
    }
    for (int64_t col = 0; col < line->dataSize(); ++col) {
        if ((*line)[col].width == 0) {
            continue;
        }
        if (index == 0) {
            return col;
        }
        --index;
    }
    return line->dataSize();
}

bool isNonWordCharacter(std::u16string_view character)
{
    return character.size() == 1 && std::ranges::find(SearchEngine::nonWordCharacters, character.front()) !=
                                        SearchEngine::nonWordCharacters.end();
}

} // namespace

SearchEngine::SearchEngine(Terminal &terminal, SearchLineCache &lineCache)
    : terminal_(terminal)
    , lineCache_(lineCache)
{
}

std::unique_ptr<SearchMatcher> SearchEngine::prepare(std::string_view term,
                                                     const SearchOptions &options) const
{
    return std::make_unique<SearchMatcher>(term, options, workLimit);
}

int64_t SearchEngine::lineCount() const
{
    return terminal_.buffer->lines().count();
}

int64_t SearchEngine::columns() const
{
    return std::max<int64_t>(terminal_.cols, 1);
}

BufferLine *SearchEngine::lineAt(int64_t row) const
{
    return row >= 0 && row < lineCount() ? &terminal_.buffer->lines()[row] : nullptr;
}

int64_t SearchEngine::logicalLineStart(int64_t row) const
{
    for (; row > 0; --row) {
        const BufferLine *line = lineAt(row);
        if (line == nullptr || !line->isWrapped) {
            break;
        }
    }
    return row;
}

int64_t SearchEngine::lineAfter(int64_t lineStart)
{
    return lineStart + lineCache_.lineText(lineStart).rowCount();
}

bool SearchEngine::isWholeWord(const SearchText &text, int64_t index, int64_t length) const
{
    const bool startsWord = index == 0 || isNonWordCharacter(text.character(index - 1));
    const bool endsWord =
        index + length >= text.characterCount() || isNonWordCharacter(text.character(index + length));
    return startsWord && endsWord;
}

SearchEngine::TextPosition SearchEngine::textIndex(Position position)
{
    const int64_t lineStart = logicalLineStart(position.row);
    const SearchLineCache::Entry &line = lineCache_.lineText(lineStart);
    const auto &offsets = line.lineOffsets;
    if (offsets.empty()) {
        return {lineStart, 0};
    }
    auto segment = static_cast<size_t>(
        std::clamp<int64_t>(position.row - lineStart, 0, static_cast<int64_t>(offsets.size()) - 1));
    int64_t col = std::max<int64_t>(position.col, 0);
    while (col >= columns() && segment + 1 < offsets.size()) {
        col -= columns();
        ++segment;
    }
    const int64_t segmentEnd =
        segment + 1 < offsets.size() ? offsets[segment + 1] : line.lineAsString.characterCount();
    const BufferLine *row = lineAt(lineStart + static_cast<int64_t>(segment));
    const int64_t within = row == nullptr ? 0 : charactersBefore(*row, col);
    return {lineStart, std::min(offsets[segment] + within, segmentEnd)};
}

SearchEngine::CellPosition SearchEngine::column(int64_t lineStart, const SearchLineCache::Entry &line,
                                                int64_t index) const
{
    const auto &offsets = line.lineOffsets;
    if (offsets.empty()) {
        return {index, 0};
    }
    const auto after = std::upper_bound(offsets.begin(), offsets.end(), index);
    const auto segment = std::max<int64_t>(after - offsets.begin() - 1, 0);
    const int64_t within = index - offsets[static_cast<size_t>(segment)];
    return {columnOfCharacter(lineAt(lineStart + segment), within), segment};
}

std::optional<SearchResult> SearchEngine::searchLine(SearchMatcher &matcher, int64_t lineStart, int64_t index,
                                                     Direction direction)
{
    SearchLineCache::Entry &line = lineCache_.lineText(lineStart);
    const SearchMatcher::Acceptance accept = [this, wholeWord = matcher.options().wholeWord](
                                                 const SearchText &text, int64_t start, int64_t length) {
        return !wholeWord || isWholeWord(text, start, length);
    };
    const auto match = direction == Direction::forward ? matcher.first(line, index, accept)
                                                       : matcher.last(line, index, accept);
    if (!match) {
        return std::nullopt;
    }
    const CellPosition first = column(lineStart, line, match->start);
    const CellPosition end = column(lineStart, line, match->start + match->length);
    SearchResult result;
    result.term = matcher.options().regex ? line.lineAsString.utf8(match->start, match->start + match->length)
                                          : matcher.term();
    result.col = first.col;
    result.row = lineStart + first.segment;
    result.size = end.col - first.col + columns() * (end.segment - first.segment);
    return result;
}

std::optional<SearchResult> SearchEngine::search(SearchMatcher &matcher, Position start, Direction direction)
{
    if (start.row < 0 || start.row >= lineCount()) {
        return std::nullopt;
    }
    const TextPosition position = textIndex(start);
    return searchLine(matcher, position.lineStart, position.index, direction);
}

std::optional<SearchResult> SearchEngine::findNext(std::string_view term, Position from,
                                                   const SearchOptions &options)
{
    if (term.empty()) {
        return std::nullopt;
    }
    const auto matcher = prepare(term, options);
    return findNext(*matcher, from);
}

std::optional<SearchResult> SearchEngine::findNext(SearchMatcher &matcher, Position from)
{
    if (!matcher.canMatch() || from.col > terminal_.cols) {
        return std::nullopt;
    }
    lineCache_.refresh();
    const int64_t count = lineCount();
    if (from.row < 0) {
        from = {0, 0};
    }
    if (from.row >= count) {
        return std::nullopt;
    }
    const TextPosition position = textIndex(from);
    if (auto result = searchLine(matcher, position.lineStart, position.index, Direction::forward)) {
        return result;
    }
    // Each logical line once: its later rows were searched with its first.
    return firstMatchInLines(matcher, lineAfter(position.lineStart), count);
}

std::optional<SearchResult> SearchEngine::firstMatchInLines(SearchMatcher &matcher, int64_t firstRow,
                                                            int64_t endRow)
{
    for (int64_t row = firstRow; row < endRow && !matcher.expired(); row = lineAfter(row)) {
        if (auto result = searchLine(matcher, row, 0, Direction::forward)) {
            return result;
        }
    }
    return std::nullopt;
}

std::optional<SearchResult> SearchEngine::nextMatch(std::string_view term, const SearchOptions &options,
                                                    const std::optional<std::string> &previousTerm,
                                                    const std::optional<SearchSelection> &lastSelection)
{
    if (term.empty()) {
        return std::nullopt;
    }
    lineCache_.refresh();
    const auto matcher = prepare(term, options);
    Position start;
    if (lastSelection) {
        start = previousTerm == term ? lastSelection->end : lastSelection->start;
    }
    return walkForward(*matcher, start);
}

std::optional<SearchResult> SearchEngine::walkForward(SearchMatcher &matcher, Position start)
{
    const int64_t count = lineCount();
    if (count == 0) {
        return std::nullopt;
    }
    if (start.row < 0) {
        start = {0, 0};
    }
    // A start past the last line wraps to the top at once.
    int64_t startLine = count;
    if (start.row < count) {
        const TextPosition position = textIndex(start);
        startLine = position.lineStart;
        if (auto result = searchLine(matcher, startLine, position.index, Direction::forward)) {
            return result;
        }
        if (auto result = firstMatchInLines(matcher, lineAfter(startLine), count)) {
            return result;
        }
    }
    // Around from the top, the start's own line last and whole: its only match may be the last one.
    return firstMatchInLines(matcher, 0, std::min(startLine + 1, count));
}

std::optional<SearchResult> SearchEngine::previousMatch(std::string_view term, const SearchOptions &options,
                                                        const std::optional<std::string> &previousTerm,
                                                        const std::optional<SearchSelection> &lastSelection)
{
    if (term.empty()) {
        return std::nullopt;
    }
    lineCache_.refresh();
    const auto matcher = prepare(term, options);
    const int64_t count = lineCount();
    if (count == 0) {
        return std::nullopt;
    }
    Position start{columns(), count - 1};
    if (lastSelection) {
        start = lastSelection->start;
        if (previousTerm != term) {
            // A changed term stays where the last match was when it matches there.
            if (auto result = search(*matcher, start, Direction::forward)) {
                return result;
            }
            start = lastSelection->end;
        }
    }
    return walkBackward(*matcher, start);
}

std::optional<SearchResult> SearchEngine::walkBackward(SearchMatcher &matcher, Position start)
{
    const int64_t count = lineCount();
    TextPosition position{0, 0};
    if (start.row >= count) {
        position = {logicalLineStart(count - 1), endOfLine};
    } else if (start.row >= 0) {
        position = textIndex(start);
    }
    if (auto result = searchLine(matcher, position.lineStart, position.index, Direction::backward)) {
        return result;
    }
    for (int64_t row = position.lineStart; row > 0;) {
        if (matcher.expired()) {
            return std::nullopt;
        }
        row = logicalLineStart(row - 1);
        if (auto result = searchLine(matcher, row, endOfLine, Direction::backward)) {
            return result;
        }
    }
    // Around from the bottom, the start's own line last and whole.
    for (int64_t row = logicalLineStart(count - 1); row >= position.lineStart;
         row = row > 0 ? logicalLineStart(row - 1) : -1) {
        if (matcher.expired()) {
            return std::nullopt;
        }
        if (auto result = searchLine(matcher, row, endOfLine, Direction::backward)) {
            return result;
        }
    }
    return std::nullopt;
}

} // namespace kestrix
