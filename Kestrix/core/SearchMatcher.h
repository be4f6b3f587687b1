#pragma once

#include "Kestrix/core/SearchLineCache.h"
#include "Kestrix/core/SearchOptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexMatcher;
class RegexPattern;
class UnicodeString;
U_NAMESPACE_END

namespace kestrix {

// A search term made ready once for one search operation: the term in UTF-16 (case folded when case
// does not count) or the compiled regular expression, and the time the whole operation may take.
//
// Both the lines and the pattern may be hostile (a host writes the lines; a pasted pattern may
// backtrack without end), so the operation carries a deadline: an expression is stopped when it
// passes it, and the walks over the buffer stop at the next line. An expression also gets a bounded
// backtracking stack.
class SearchMatcher {
public:
    // Characters of the logical line's text.
    struct Match {
        int64_t start = 0;
        int64_t length = 0;
    };
    // Whether a candidate counts (the whole-word test); it sees the line's own text.
    using Acceptance = std::function<bool(const SearchText &text, int64_t start, int64_t length)>;

    static constexpr int32_t regexStackLimitBytes = 4 * 1024 * 1024;

    SearchMatcher(std::string_view term, const SearchOptions &options,
                  std::chrono::steady_clock::duration workLimit);
    ~SearchMatcher();
    SearchMatcher(const SearchMatcher &) = delete;
    SearchMatcher &operator=(const SearchMatcher &) = delete;

    const std::string &term() const { return term_; }
    const SearchOptions &options() const { return options_; }
    // False for an empty term and for an expression that does not compile: nothing ever matches.
    bool canMatch() const;
    // The operation has used up its time.
    bool expired() const;

    // The first match that starts at or after character `from` and that `accept` takes.
    std::optional<Match> first(SearchLineCache::Entry &line, int64_t from, const Acceptance &accept);
    // The last match that lies wholly before character `before` and that `accept` takes.
    std::optional<Match> last(SearchLineCache::Entry &line, int64_t before, const Acceptance &accept);

private:
    const SearchText &haystack(SearchLineCache::Entry &line) const;
    std::optional<Match> plainCandidate(const SearchText &hay, size_t found) const;
    std::optional<Match> regexCandidate(const SearchText &text);
    bool startRegex(const SearchText &text, size_t regionStart, size_t regionEnd);

    std::string term_;
    SearchOptions options_;
    std::u16string needle_;
    std::chrono::steady_clock::time_point deadline_;
    std::unique_ptr<icu::RegexPattern> pattern_;
    std::unique_ptr<icu::RegexMatcher> matcher_;
    // The matcher reads the line through this alias.
    std::unique_ptr<icu::UnicodeString> input_;
};

} // namespace kestrix
