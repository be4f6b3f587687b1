#pragma once

namespace kestrix {

// How a search term is matched. All false: plain text, case folded, anywhere in a word.
struct SearchOptions {
    bool caseSensitive = false;
    bool regex = false;
    bool wholeWord = false;

    bool operator==(const SearchOptions &) const = default;
};

} // namespace kestrix
