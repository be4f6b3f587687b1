#include "Kestrix/core/LinkPattern.h"

#include <memory>
#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace kestrix {

// Called by the matcher every `stepsPerTick` steps; a false answer stops the run.
struct LinkPatternAccess {
    static UBool U_CALLCONV onTick(const void *context, int32_t)
    {
        auto *pattern = const_cast<LinkPattern *>(static_cast<const LinkPattern *>(context));
        if (pattern->ticksLeft_ <= 0) {
            pattern->exhausted_ = true;
            return false;
        }
        --pattern->ticksLeft_;
        return true;
    }
};

namespace {

// URLs of fourteen schemes (a bracketed IPv6 host and one trailing bracketed group allowed, never
// ending in a comma or a full stop), paths with an explicit start, and relative paths with a dot.
constexpr char16_t patternText[] =
    uR"re((?:https?://|mailto:|ftp://|file:|ssh:|git://|ssh://|tel:|magnet:|ipfs://|ipns://|gemini://|gopher://|news:)(?:(?:\[[:0-9a-fA-F]+(?:[:0-9a-fA-F]*)+\](?::[0-9]+)?)|[\w\-.~:/?#@!$&*+,;=%]+(?:[\(\[]\w*[\)\]])?)+(?<![,.])|(?:\.\.\/|\.\/|(?<!\w)~\/|(?:[\w][\w\-.]*\/)*(?<!\w)\$[A-Za-z_]\w*\/|\.[\w][\w\-.]*\/|(?<![\w~\/])\/(?!\/))(?:(?=[\w\-.~:\/?#@!$&*+;=%]*\.)[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]*[\/.])*(?<!:)(?: +(?= *$))?|(?![\w\-.~:\/?#@!$&*+;=%]*\.)[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]+)*(?<!:)(?: +(?= *$))?)|(?=[\w\-.~:\/?#@!$&*+;=%]*\.)(?<!\w)[\w][\w\-.]*\/[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]*[\/.])*(?<!:)(?: +(?= *$))?)re";

// Compiled once for the process; a compiled pattern is shared safely by matchers on any thread.
const icu::RegexPattern *compiledPattern()
{
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        const icu::UnicodeString source(patternText);
        std::unique_ptr<icu::RegexPattern> compiled(
            icu::RegexPattern::compile(source, 0, parseError, status));
        return U_SUCCESS(status) ? std::move(compiled) : nullptr;
    }();
    return pattern.get();
}

} // namespace

LinkPattern::LinkPattern(int32_t tickBudget)
    : ticksLeft_(tickBudget)
{
}

bool LinkPattern::isAvailable()
{
    return compiledPattern() != nullptr;
}

std::optional<std::vector<LinkPattern::Match>> LinkPattern::matches(const std::u16string &text)
{
    const icu::RegexPattern *pattern = compiledPattern();
    if (!pattern || exhausted_) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(status));
    if (U_FAILURE(status) || !matcher) {
        return std::nullopt;
    }
    matcher->setStackLimit(stackLimitBytes, status);
    matcher->setMatchCallback(LinkPatternAccess::onTick, this, status);
    const icu::UnicodeString input(false, text.data(), static_cast<int32_t>(text.size()));
    matcher->reset(input);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    std::vector<Match> found;
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        if (U_FAILURE(status)) {
            break;
        }
        if (end > start) {
            found.push_back({start, end});
        }
    }
    if (U_FAILURE(status)) {
        // A time-out, a stack overflow or any other failure: this run tells nothing.
        exhausted_ = true;
        return std::nullopt;
    }
    return found;
}

} // namespace kestrix
