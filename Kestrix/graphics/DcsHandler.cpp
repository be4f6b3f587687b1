#include "Kestrix/graphics/DcsHandler.h"

#include <algorithm>

namespace kestrix {

void DcsHandler::hook(std::span<const uint8_t>, std::span<const int64_t>, uint8_t)
{
    data_.clear();
    dataWasTruncated_ = false;
}

void DcsHandler::put(std::span<const uint8_t> bytes)
{
    const size_t room = maximumDataSize - data_.size();
    if (bytes.size() > room) {
        dataWasTruncated_ = true;
        bytes = bytes.first(room);
    }
    data_.insert(data_.end(), bytes.begin(), bytes.end());
}

} // namespace kestrix
