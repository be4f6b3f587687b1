#pragma once

#include "Kestrix/model/LineFragment.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

// One logical line of extracted text, kept as its fragments so callers can both join the text and
// map characters back to cells.
class Line {
public:
    // Returns the line's length after the fragment is added.
    int64_t append(LineFragment fragment);

    const std::vector<LineFragment> &fragments() const { return fragments_; }
    int64_t length() const { return length_; }

    // "2/3: [ab][\n]": fragment count, length, then each fragment's text with a line break written
    // as backslash-n.
    std::string debugDescription() const;

private:
    std::vector<LineFragment> fragments_;
    int64_t length_ = 0;
};

} // namespace kestrix
