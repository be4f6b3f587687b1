#pragma once

#include "Kestrix/core/SearchLineCache.h"
#include "Kestrix/core/SearchMatcher.h"
#include "Kestrix/core/SearchOptions.h"
#include "Kestrix/core/SearchResult.h"
#include "Kestrix/core/SearchSelection.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

class BufferLine;
class Terminal;

// Finds a term in the terminal's current buffer, scrollback included. A match never spans two
// logical lines but may span the rows of one (soft-wrapped) line; positions are cells in buffer
// coordinates, and a character index counts the cells that show a character.
class SearchEngine {
public:
    enum class Direction { forward, backward };

    // Characters that end a word for the whole-word test; letters, digits and "_" are word
    // characters.
    static constexpr std::array<char16_t, 32> nonWordCharacters = {
        u' ', u'~', u'!', u'@', u'#', u'$',  u'%', u'^', u'&', u'*',  u'(', u')', u'+', u'`', u'-', u'=',
        u'[', u']', u'{', u'}', u'|', u'\\', u';', u':', u'"', u'\'', u',', u'.', u'/', u'<', u'>', u'?'};
    // The most one search operation may take before it gives up.
    static constexpr std::chrono::milliseconds defaultWorkLimit{1000};

    SearchEngine(Terminal &terminal, SearchLineCache &lineCache);

    std::chrono::steady_clock::duration workLimit = defaultWorkLimit;

    // A term made ready for one operation; its deadline starts now.
    std::unique_ptr<SearchMatcher> prepare(std::string_view term, const SearchOptions &options) const;

    // The first match at or after `from`, without wrapping around.
    std::optional<SearchResult> findNext(std::string_view term, Position from, const SearchOptions &options);
    std::optional<SearchResult> findNext(SearchMatcher &matcher, Position from);
    // The next match after the last one, wrapping around from the bottom to the top. The same term
    // as before moves past the last match; a changed term is first tried where the last match starts.
    std::optional<SearchResult> nextMatch(std::string_view term, const SearchOptions &options,
                                          const std::optional<std::string> &previousTerm,
                                          const std::optional<SearchSelection> &lastSelection);
    // The match before the last one, wrapping around from the top to the bottom.
    std::optional<SearchResult> previousMatch(std::string_view term, const SearchOptions &options,
                                              const std::optional<std::string> &previousTerm,
                                              const std::optional<SearchSelection> &lastSelection);
    // One logical line from a cell on: the first match at or after it, or the last one before it.
    std::optional<SearchResult> search(SearchMatcher &matcher, Position start, Direction direction);
    // The characters on both sides of a match are line ends or non-word characters.
    bool isWholeWord(const SearchText &text, int64_t index, int64_t length) const;

private:
    // A place in the text of the logical line that begins on row `lineStart`.
    struct TextPosition {
        int64_t lineStart = 0;
        int64_t index = 0;
    };
    // A cell and which row of its logical line it is on.
    struct CellPosition {
        int64_t col = 0;
        int64_t segment = 0;
    };

    int64_t lineCount() const;
    int64_t columns() const;
    BufferLine *lineAt(int64_t row) const;
    int64_t logicalLineStart(int64_t row) const;
    // The row after the last row of the logical line that begins on `lineStart`.
    int64_t lineAfter(int64_t lineStart);
    // The character index of a cell; a column past its row continues on the rows wrapped from it.
    TextPosition textIndex(Position position);
    // The cell where the character at `index` of a logical line starts.
    CellPosition column(int64_t lineStart, const SearchLineCache::Entry &line, int64_t index) const;
    std::optional<SearchResult> searchLine(SearchMatcher &matcher, int64_t lineStart, int64_t index,
                                           Direction direction);
    // The first match in the whole logical lines that begin from `firstRow` up to before `endRow`;
    // stops when the search's time is up.
    std::optional<SearchResult> firstMatchInLines(SearchMatcher &matcher, int64_t firstRow, int64_t endRow);
    std::optional<SearchResult> walkForward(SearchMatcher &matcher, Position start);
    std::optional<SearchResult> walkBackward(SearchMatcher &matcher, Position start);

    Terminal &terminal_;
    SearchLineCache &lineCache_;
};

} // namespace kestrix
