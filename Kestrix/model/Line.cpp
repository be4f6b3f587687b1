#include "Kestrix/model/Line.h"

#include <utility>

namespace kestrix {

int64_t Line::append(LineFragment fragment)
{
    length_ += fragment.length;
    fragments_.push_back(std::move(fragment));
    return length_;
}

std::string Line::debugDescription() const
{
    if (fragments_.empty()) {
        return "[]";
    }
    std::string description = std::to_string(fragments_.size()) + "/" + std::to_string(length_) + ": ";
    for (const LineFragment &fragment : fragments_) {
        const std::string text = fragment.text.value_or("");
        description += "[" + (text == "\n" ? std::string("\\n") : text) + "]";
    }
    return description;
}

} // namespace kestrix
