#pragma once

#include "Kestrix/core/SearchEngine.h"
#include "Kestrix/core/SearchLineCache.h"
#include "Kestrix/core/SearchOptions.h"
#include "Kestrix/core/SearchResult.h"
#include "Kestrix/core/SearchSelection.h"
#include "Kestrix/core/SearchState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

class Terminal;

// Find-in-terminal for one terminal: remembers the last match so that finding the next and the
// previous one continue from it and wrap around the buffer. The terminal view owns one per terminal,
// and drops the cached line texts whenever the content changes under it (`invalidate`).
class SearchService {
public:
    explicit SearchService(Terminal &terminal, SearchLineCache::Clock clock = {});
    SearchService(const SearchService &) = delete;
    SearchService &operator=(const SearchService &) = delete;

    std::optional<SearchResult> findNext(std::string_view term, const SearchOptions &options);
    std::optional<SearchResult> findPrevious(std::string_view term, const SearchOptions &options);
    // At most `limit` matches in buffer order, without wrapping.
    std::vector<SearchResult> findAll(std::string_view term, const SearchOptions &options, int64_t limit);
    // Forgets the line texts and the last match; the next find starts at the top with the same term.
    void invalidate();
    // Forgets everything, the term and options too.
    void reset();

    Terminal &terminal;
    SearchState state;
    SearchLineCache lineCache;
    SearchEngine engine;
    std::optional<SearchSelection> lastSelection;
    std::optional<SearchResult> lastResult;

private:
    using Walk = std::optional<SearchResult> (SearchEngine::*)(std::string_view, const SearchOptions &,
                                                               const std::optional<std::string> &,
                                                               const std::optional<SearchSelection> &);

    std::optional<SearchResult> find(std::string_view term, const SearchOptions &options, Walk walk);
    // The cell `cells` cells on from `start` in reading order, rows being the terminal's width.
    Position advanced(Position start, int64_t cells) const;
};

} // namespace kestrix
