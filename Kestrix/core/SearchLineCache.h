#pragma once

#include "Kestrix/core/SearchText.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrix {

class Terminal;

// The texts of the logical lines a search has looked at, keyed by the row each line begins on. Texts
// are made on first use and kept until the cache has not been used for 15 seconds or the number of
// lines changes; the terminal view drops them itself when the content changes.
class SearchLineCache {
public:
    // Seconds on a clock that never goes back.
    using Clock = std::function<double()>;

    // One logical line: its text and, for each of its rows, the index of the row's first character.
    struct Entry {
        SearchText lineAsString;
        std::vector<int64_t> lineOffsets;
        // The case-folded text, made on the first search that ignores case.
        std::optional<SearchText> foldedText;

        int64_t rowCount() const { return std::max<int64_t>(static_cast<int64_t>(lineOffsets.size()), 1); }
        const SearchText &folded();
    };

    static constexpr double maximumIdleSeconds = 15;

    explicit SearchLineCache(Terminal &terminal, Clock clock = {});

    // Starts a search: empties the cache when it is stale, then notes the time.
    void refresh();
    // Drops every text.
    void clear();
    bool isEmpty() const { return !linesCache_.has_value(); }

    // The text of the logical line that begins on `row` (a row the caller knows begins one), made
    // and stored on first use.
    Entry &lineText(int64_t row);
    void store(int64_t row, Entry entry);

private:
    Entry makeEntry(int64_t row) const;
    int64_t lineCount() const;

    Terminal &terminal_;
    Clock clock_;
    std::optional<std::vector<std::unique_ptr<Entry>>> linesCache_;
    double lastAccessTimestamp_ = 0;
    // The entry handed out for a row the cache has no slot for (it changed size since the refresh).
    Entry unstored_;
};

} // namespace kestrix
