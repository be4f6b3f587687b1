#include "Kestrix/core/SearchService.h"

#include "Kestrix/core/Terminal.h"

#include <algorithm>

namespace kestrix {

SearchService::SearchService(Terminal &terminal, SearchLineCache::Clock clock)
    : terminal(terminal)
    , lineCache(terminal, std::move(clock))
    , engine(terminal, lineCache)
{
}

std::optional<SearchResult> SearchService::findNext(std::string_view term, const SearchOptions &options)
{
    return find(term, options, &SearchEngine::nextMatch);
}

std::optional<SearchResult> SearchService::findPrevious(std::string_view term, const SearchOptions &options)
{
    return find(term, options, &SearchEngine::previousMatch);
}

std::optional<SearchResult> SearchService::find(std::string_view term, const SearchOptions &options,
                                                Walk walk)
{
    if (term.empty()) {
        lastResult.reset();
        lastSelection.reset();
        state.cachedSearchTerm.reset();
        state.lastSearchOptions.reset();
        return std::nullopt;
    }
    state.lastSearchOptions = options;
    const std::optional<SearchResult> result =
        (engine.*walk)(term, options, state.cachedSearchTerm, lastSelection);
    state.cachedSearchTerm = std::string(term);
    lastResult = result;
    if (!result) {
        lastSelection.reset();
    } else {
        const Position start{result->col, result->row};
        lastSelection = SearchSelection{start, result->size < 1 ? start : advanced(start, result->size)};
    }
    return result;
}

Position SearchService::advanced(Position start, int64_t cells) const
{
    const int64_t width = std::max<int64_t>(terminal.cols, 1);
    const int64_t position = start.row * width + start.col + cells;
    return {position % width, position / width};
}

std::vector<SearchResult> SearchService::findAll(std::string_view term, const SearchOptions &options,
                                                 int64_t limit)
{
    std::vector<SearchResult> results;
    if (term.empty() || limit <= 0) {
        return results;
    }
    lineCache.refresh();
    // One deadline for the whole list.
    const auto matcher = engine.prepare(term, options);
    std::optional<SearchResult> match = engine.findNext(*matcher, {0, 0});
    while (match && static_cast<int64_t>(results.size()) < limit && !matcher->expired()) {
        results.push_back(*match);
        std::optional<SearchResult> next =
            engine.findNext(*matcher, advanced({match->col, match->row}, std::max<int64_t>(match->size, 1)));
        if (next == match) {
            break;
        }
        match = std::move(next);
    }
    return results;
}

void SearchService::invalidate()
{
    lineCache.clear();
    lastResult.reset();
    lastSelection.reset();
}

void SearchService::reset()
{
    invalidate();
    state = {};
}

} // namespace kestrix
