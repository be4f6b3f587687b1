#pragma once

#include "Kestrix/core/SearchOptions.h"

#include <optional>
#include <string>

namespace kestrix {

// The term and options of the last find-next or find-previous: the same term again moves on from
// the last match, a changed one is first tried where the last match stands.
struct SearchState {
    std::optional<std::string> cachedSearchTerm;
    std::optional<SearchOptions> lastSearchOptions;
};

} // namespace kestrix
