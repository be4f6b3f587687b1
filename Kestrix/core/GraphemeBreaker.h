#pragma once

#include <memory>
#include <string_view>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class BreakIterator;
U_NAMESPACE_END

namespace kestrix {

// Decides grapheme cluster boundaries with ICU's character break rules. One per terminal: the
// iterator is made once and reused for every question.
class GraphemeBreaker {
public:
    GraphemeBreaker();
    ~GraphemeBreaker();
    GraphemeBreaker(const GraphemeBreaker &) = delete;
    GraphemeBreaker &operator=(const GraphemeBreaker &) = delete;

    // True when the UTF-8 text is exactly one grapheme cluster.
    bool isSingleCluster(std::string_view utf8);

private:
    std::unique_ptr<icu::BreakIterator> iterator_;
};

} // namespace kestrix
