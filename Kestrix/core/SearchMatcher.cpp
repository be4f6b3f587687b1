#include "Kestrix/core/SearchMatcher.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <limits>

namespace kestrix {
namespace {

// Checked between lines and every so many matches of one line; an expression's own steps check the
// deadline through the match callback.
constexpr int64_t matchesBetweenDeadlineChecks = 1024;

std::u16string utf16(std::string_view text)
{
    const icu::UnicodeString string =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    return std::u16string(string.getBuffer(), static_cast<size_t>(string.length()));
}

std::u16string folded(const std::u16string &text)
{
    icu::UnicodeString string(false, text.data(), static_cast<int32_t>(text.size()));
    string.foldCase(U_FOLD_CASE_DEFAULT);
    return std::u16string(string.getBuffer(), static_cast<size_t>(string.length()));
}

UBool U_CALLCONV withinDeadline(const void *context, int32_t)
{
    return !static_cast<const SearchMatcher *>(context)->expired();
}

} // namespace

SearchMatcher::SearchMatcher(std::string_view term, const SearchOptions &options,
                             std::chrono::steady_clock::duration workLimit)
    : term_(term)
    , options_(options)
    , needle_(utf16(term))
    , deadline_(std::chrono::steady_clock::now() + workLimit)
{
    if (!options_.regex) {
        if (!options_.caseSensitive) {
            needle_ = folded(needle_);
        }
        return;
    }
    if (needle_.empty()) {
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const uint32_t flags = options_.caseSensitive ? 0 : UREGEX_CASE_INSENSITIVE;
    const icu::UnicodeString pattern(false, needle_.data(), static_cast<int32_t>(needle_.size()));
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(pattern, flags, parseError, status));
    if (U_FAILURE(status) || !compiled) {
        return;
    }
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(status));
    if (U_FAILURE(status) || !matcher) {
        return;
    }
    matcher->setStackLimit(regexStackLimitBytes, status);
    matcher->setMatchCallback(withinDeadline, this, status);
    if (U_FAILURE(status)) {
        return;
    }
    pattern_ = std::move(compiled);
    matcher_ = std::move(matcher);
    input_ = std::make_unique<icu::UnicodeString>();
}

SearchMatcher::~SearchMatcher() = default;

bool SearchMatcher::canMatch() const
{
    return options_.regex ? matcher_ != nullptr : !needle_.empty();
}

bool SearchMatcher::expired() const
{
    return std::chrono::steady_clock::now() >= deadline_;
}

const SearchText &SearchMatcher::haystack(SearchLineCache::Entry &line) const
{
    return options_.caseSensitive ? line.lineAsString : line.folded();
}

// A plain occurrence counts only when it covers whole characters.
std::optional<SearchMatcher::Match> SearchMatcher::plainCandidate(const SearchText &hay, size_t found) const
{
    const int64_t start = hay.characterStartingAt(found);
    const int64_t end = hay.characterStartingAt(found + needle_.size());
    if (start < 0 || end < 0) {
        return std::nullopt;
    }
    return Match{start, end - start};
}

bool SearchMatcher::startRegex(const SearchText &text, size_t regionStart, size_t regionEnd)
{
    const std::u16string_view units = text.units();
    if (units.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    input_->setTo(false, units.data(), static_cast<int32_t>(units.size()));
    UErrorCode status = U_ZERO_ERROR;
    matcher_->reset(*input_);
    matcher_->region(static_cast<int64_t>(regionStart), static_cast<int64_t>(regionEnd), status);
    // The expression sees the whole line: "^" and "\b" keep their meaning at the search's start.
    matcher_->useTransparentBounds(true);
    matcher_->useAnchoringBounds(false);
    return U_SUCCESS(status);
}

// The next non-empty match of the running expression, widened to whole characters.
std::optional<SearchMatcher::Match> SearchMatcher::regexCandidate(const SearchText &text)
{
    UErrorCode status = U_ZERO_ERROR;
    while (matcher_->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher_->start(status);
        const int32_t end = matcher_->end(status);
        if (U_FAILURE(status)) {
            return std::nullopt;
        }
        if (end > start) {
            const int64_t first = text.characterContaining(static_cast<size_t>(start));
            return Match{first, text.characterEndingAtOrAfter(static_cast<size_t>(end)) - first};
        }
    }
    // A time-out, a stack overflow or the end of the line.
    return std::nullopt;
}

std::optional<SearchMatcher::Match> SearchMatcher::first(SearchLineCache::Entry &line, int64_t from,
                                                         const Acceptance &accept)
{
    if (!canMatch()) {
        return std::nullopt;
    }
    const SearchText &text = line.lineAsString;
    if (options_.regex) {
        if (!startRegex(text, text.unitOffset(from), text.units().size())) {
            return std::nullopt;
        }
        for (int64_t seen = 1; auto match = regexCandidate(text); ++seen) {
            if (accept(text, match->start, match->length)) {
                return match;
            }
            if (seen % matchesBetweenDeadlineChecks == 0 && expired()) {
                break;
            }
        }
        return std::nullopt;
    }
    const SearchText &hay = haystack(line);
    const std::u16string_view units = hay.units();
    for (size_t position = hay.unitOffset(from);;) {
        const size_t found = units.find(needle_, position);
        if (found == std::u16string_view::npos) {
            return std::nullopt;
        }
        if (const auto match = plainCandidate(hay, found);
            match && accept(text, match->start, match->length)) {
            return match;
        }
        position = found + 1;
    }
}

std::optional<SearchMatcher::Match> SearchMatcher::last(SearchLineCache::Entry &line, int64_t before,
                                                        const Acceptance &accept)
{
    if (!canMatch()) {
        return std::nullopt;
    }
    const SearchText &text = line.lineAsString;
    if (options_.regex) {
        if (!startRegex(text, 0, text.unitOffset(before))) {
            return std::nullopt;
        }
        std::optional<Match> lastAccepted;
        for (int64_t seen = 1; auto match = regexCandidate(text); ++seen) {
            if (accept(text, match->start, match->length)) {
                lastAccepted = match;
            }
            if (seen % matchesBetweenDeadlineChecks == 0 && expired()) {
                break;
            }
        }
        // A walk cut short by the deadline does not know the last match.
        return expired() ? std::nullopt : lastAccepted;
    }
    const SearchText &hay = haystack(line);
    const std::u16string_view units = hay.units();
    const size_t limit = hay.unitOffset(before);
    if (limit < needle_.size()) {
        return std::nullopt;
    }
    for (size_t position = limit - needle_.size();;) {
        const size_t found = units.rfind(needle_, position);
        if (found == std::u16string_view::npos) {
            return std::nullopt;
        }
        if (const auto match = plainCandidate(hay, found);
            match && accept(text, match->start, match->length)) {
            return match;
        }
        if (found == 0) {
            return std::nullopt;
        }
        position = found - 1;
    }
}

} // namespace kestrix
