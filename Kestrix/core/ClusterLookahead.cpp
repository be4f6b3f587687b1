#include "Kestrix/core/ClusterLookahead.h"

#include "Kestrix/core/NamedScalars.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>

namespace kestrix {

bool isPlainMark(ScalarProperties properties, uint32_t scalar)
{
    return properties.neverStartsCluster() && properties.width() >= 0 && !properties.printsAlone() &&
           scalar != zeroWidthJoiner && !isPresentationSelector(scalar) && !isRegionalIndicator(scalar);
}

namespace {

// plainMarksEnd for any form of UTF-8.
[[gnu::noinline]] size_t generalMarksEnd(std::span<const uint8_t> bytes, size_t i, size_t limit)
{
    for (size_t count = 0; count < limit && i < bytes.size() && utf8::sequenceLengths[bytes[i]] > 1; ++count) {
        const utf8::Decoded decoded = utf8::decode(bytes.data() + i, bytes.size() - i);
        if (decoded.kind != utf8::Decoded::Kind::scalar ||
            !isPlainMark(ScalarProperties::of(decoded.scalar), decoded.scalar)) {
            break;
        }
        i += decoded.length;
    }
    return i;
}

// plainMarksEnd, inlined into the lookahead that runs it for every cluster. Marks of two bytes, as
// most are, take a tight loop over a bit for each scalar of that form.
[[gnu::always_inline]] inline size_t marksEnd(std::span<const uint8_t> bytes, size_t i, size_t limit,
                                              const TwoByteMarks &twoByteMarks)
{
    const uint8_t *const data = bytes.data();
    const size_t start = i;
    const size_t twoByteEnd = std::min(bytes.size(), i + 2 * limit);
    while (i + 1 < twoByteEnd) {
        const uint32_t lead = data[i];
        const uint32_t next = data[i + 1];
        if (lead - 0xC2 > 0xDF - 0xC2 || !utf8::isContinuation(static_cast<uint8_t>(next))) {
            break;
        }
        const uint32_t scalar = (lead & 0x1F) << 6 | (next & 0x3F);
        if (((twoByteMarks[scalar / 64] >> (scalar % 64)) & 1) == 0) {
            return i;
        }
        i += 2;
    }
    if (i < bytes.size() && data[i] >= 0xE0 && (i - start) / 2 < limit) {
        return generalMarksEnd(bytes, i, limit - (i - start) / 2);
    }
    return i;
}

} // namespace

const TwoByteMarks &twoByteMarks()
{
    // Built on first use and never changed after.
    static const TwoByteMarks marks = [] {
        TwoByteMarks bits{};
        for (uint32_t scalar = 0x80; scalar < 0x800; ++scalar) {
            if (isPlainMark(ScalarProperties::of(scalar), scalar)) {
                bits[scalar / 64] |= uint64_t{1} << (scalar % 64);
            }
        }
        return bits;
    }();
    return marks;
}

size_t plainMarksEnd(std::span<const uint8_t> bytes, size_t i, size_t limit)
{
    return marksEnd(bytes, i, limit, twoByteMarks());
}

// Reads the scalar at `start` and the plain marks after it into `entry`. Nothing when there is no
// scalar there; false when no mark follows it.
[[gnu::always_inline]] inline std::optional<bool> ClusterLookahead::scan(size_t start, Entry &entry) const
{
    const uint8_t lead = bytes_[start];
    size_t marksStart = start + 1;
    if (lead >= 0x80) {
        const utf8::Decoded decoded = utf8::decode(bytes_.data() + start, bytes_.size() - start);
        if (decoded.kind != utf8::Decoded::Kind::scalar) {
            return std::nullopt;
        }
        marksStart = start + decoded.length;
    } else if (!isPrintableAscii(lead)) {
        return std::nullopt;
    }
    entry.start = start;
    entry.end = marksEnd(bytes_, marksStart, maximumMarks_, twoByteMarks_);
    if (entry.end == marksStart) {
        return false;
    }
    entry.hash = ClusterTable::hashOf(
        std::string_view(reinterpret_cast<const char *>(bytes_.data()) + start, entry.end - start));
    return true;
}

// Looks ahead from where it got to, up to `limit`, keeping (and prefetching) the clusters that
// have marks. It stops at anything that is not a scalar: the print run does not join past it.
void ClusterLookahead::fill(size_t limit)
{
    limit = std::min(limit, bytes_.size());
    while (count_ < ringSize && !stopped_ && next_ < limit) {
        if (bytes_[next_] >= 0xE0) {
            // Wide characters, emoji and the like seldom carry marks: stepped over unread, their
            // clusters are read when joined.
            next_ += utf8::sequenceLengths[bytes_[next_]];
            continue;
        }
        Entry &entry = ring_[(head_ + count_) % ringSize];
        const std::optional<bool> marked = scan(next_, entry);
        if (!marked) {
            stopped_ = true;
            return;
        }
        next_ = entry.end;
        if (*marked) {
            table_.prefetch(entry.hash);
            ++count_;
        }
    }
}

ClusterLookahead::Cluster ClusterLookahead::clusterAt(size_t start)
{
    while (count_ > 0 && ring_[head_].start < start) {
        head_ = (head_ + 1) % ringSize;
        --count_;
    }
    if (count_ == 0 && next_ <= start) {
        // Looking ahead has not come this far: it goes on from here.
        next_ = start;
        stopped_ = false;
    }
    fill(start + distance);
    if (count_ > 0 && ring_[head_].start == start) {
        const Entry &entry = ring_[head_];
        head_ = (head_ + 1) % ringSize;
        --count_;
        return {entry.end, entry.hash};
    }
    // Looking ahead went past without a cluster here: there is none, or it went another way (a
    // scalar it took for the start of a cluster joined the one before). This one is read alone.
    Entry entry;
    if (scan(start, entry).value_or(false)) {
        return {entry.end, entry.hash};
    }
    return {start, 0};
}

} // namespace kestrix
