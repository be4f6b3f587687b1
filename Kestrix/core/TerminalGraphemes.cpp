// Cell codes: Unicode scalars up to 0x400000, interned grapheme clusters above.

#include "Kestrix/core/GraphemeBreaker.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/Utf8.h"

namespace kestrix {

int32_t Terminal::cellCode(std::string_view cluster)
{
    if (cluster == "\r\n") {
        return '\n';
    }
    if (cluster.empty()) {
        return 0;
    }
    size_t index = 0;
    const uint32_t first = utf8::next(cluster, index);
    // A single scalar that fits one UTF-16 unit is stored as itself; astral scalars are interned.
    if (index == cluster.size() && first < 0x10000) {
        return static_cast<int32_t>(first);
    }
    if (const auto known = charToIndexMap_.find(cluster); known != charToIndexMap_.end()) {
        return known->second;
    }
    if (indexToCharMap_.size() >= maximumClusterCount) {
        return static_cast<int32_t>(first);
    }
    return internCluster(std::string(cluster));
}

int32_t Terminal::internCluster(const std::string &cluster)
{
    const int32_t code = lastCharIndex_++;
    charToIndexMap_.emplace(cluster, code);
    indexToCharMap_.push_back(cluster);
    return code;
}

std::string Terminal::stringForCellCode(int32_t code) const
{
    if (code >= 0 && code < firstClusterCode) {
        return isUnicodeScalar(code) ? CharData::stringFromScalar(code) : std::string(" ");
    }
    const auto index = static_cast<size_t>(static_cast<int64_t>(code) - firstClusterCode);
    if (code >= firstClusterCode && index < indexToCharMap_.size()) {
        return indexToCharMap_[index];
    }
    return " ";
}

std::string_view Terminal::clusterText(int32_t code) const
{
    const auto index = static_cast<size_t>(static_cast<int64_t>(code) - firstClusterCode);
    if (code >= firstClusterCode && index < indexToCharMap_.size()) {
        return indexToCharMap_[index];
    }
    return " ";
}

void Terminal::appendCellText(std::string &text, int32_t code) const
{
    if (code >= firstClusterCode) {
        text += clusterText(code);
    } else if (isUnicodeScalar(code)) {
        utf8::append(text, static_cast<uint32_t>(code));
    } else {
        text += ' ';
    }
}

bool Terminal::isSingleCluster(std::string_view text)
{
    return graphemeBreaker_->isSingleCluster(text);
}

} // namespace kestrix
