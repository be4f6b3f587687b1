#pragma once

#include "Kestrix/model/Position.h"

namespace kestrix {

// The cells of the last match, where finding the next and the previous match continue from. `end` is
// exclusive and may lie on a later row.
struct SearchSelection {
    Position start;
    Position end;

    bool operator==(const SearchSelection &) const = default;
};

} // namespace kestrix
