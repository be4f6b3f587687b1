#include "Kestrix/core/ClusterLookahead.h"

#include "Kestrix/core/NamedScalars.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <bit>
#include <cstring>

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

// 1 when the two bytes at `at` are a plain mark of two bytes, else 0.
[[gnu::always_inline]] inline uint32_t isTwoByteMark(const uint8_t *at, const TwoByteMarks &twoByteMarks)
{
    const uint32_t pair = at[0] | uint32_t{at[1]} << 8;
    return static_cast<uint32_t>(twoByteMarks[pair / 64] >> (pair % 64)) & 1;
}

// plainMarksEnd, inlined into the lookahead that runs it for every scalar. How many marks a letter
// carries follows no pattern a processor could learn, so up to three marks of two bytes, as most
// are, are counted without a branch; more go through a loop.
[[gnu::always_inline]] inline size_t marksEnd(std::span<const uint8_t> bytes, size_t i, size_t limit,
                                              const TwoByteMarks &twoByteMarks)
{
    const uint8_t *const data = bytes.data();
    const size_t size = bytes.size();
    const size_t start = i;
    if (i + 6 <= size && limit >= 3) {
        const uint32_t first = isTwoByteMark(data + i, twoByteMarks);
        const uint32_t second = first & isTwoByteMark(data + i + 2, twoByteMarks);
        const uint32_t third = second & isTwoByteMark(data + i + 4, twoByteMarks);
        i += 2 * (first + second + third);
        if (third == 0) {
            return i < size && data[i] >= 0xE0 ? generalMarksEnd(bytes, i, limit - (i - start) / 2) : i;
        }
    }
    const size_t twoByteEnd = std::min(size, start + 2 * limit);
    while (i + 1 < twoByteEnd && isTwoByteMark(data + i, twoByteMarks) != 0) {
        i += 2;
    }
    if (i < size && data[i] >= 0xE0 && (i - start) / 2 < limit) {
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
                const uint32_t pair = (0xC0 | scalar >> 6) | (0x80 | (scalar & 0x3F)) << 8;
                bits[pair / 64] |= uint64_t{1} << (pair % 64);
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

namespace {

// The key of the cluster from `start` to `end` in `bytes`.
[[gnu::always_inline]] inline ClusterTable::Key keyOf(std::span<const uint8_t> bytes, size_t start, size_t end)
{
    const char *const text = reinterpret_cast<const char *>(bytes.data()) + start;
    if (end - start <= sizeof(uint64_t) && start + sizeof(uint64_t) <= bytes.size()) {
        return ClusterTable::keyOfReadable(text, end - start);
    }
    return ClusterTable::keyOf(std::string_view(text, end - start));
}

// Where the cluster of a printable byte of ASCII at `start` and the plain marks after it ends;
// `start` when there is no such cluster there.
[[gnu::always_inline]] inline size_t markedLetterEnd(std::span<const uint8_t> bytes, size_t start, size_t limit,
                                                     const TwoByteMarks &twoByteMarks)
{
    if (!isPrintableAscii(bytes[start])) {
        return start;
    }
    const size_t end = marksEnd(bytes, start + 1, limit, twoByteMarks);
    return end == start + 1 ? start : end;
}

} // namespace

// Reads the scalar at `start` and the plain marks after it into `entry`. Nothing when there is no
// scalar there; false when no mark follows it.
std::optional<bool> ClusterLookahead::scan(size_t start, Entry &entry) const
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
    entry.key = keyOf(bytes_, start, entry.end);
    return true;
}

namespace {

#if defined(__SSE2__)
constexpr size_t lookStep = 16;

// A bit for each of the bytes at `at` that is a byte of ASCII followed by the lead of a sequence of
// two bytes (110xxxxx): where a letter with marks of two bytes after it may start. One byte more
// than the step is read.
[[gnu::always_inline]] inline uint64_t likelyClusterStarts(const uint8_t *at)
{
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1));
    const __m128i twoByteLeads = _mm_cmpeq_epi8(_mm_and_si128(after, _mm_set1_epi8(static_cast<char>(0xE0))),
                                                _mm_set1_epi8(static_cast<char>(0xC0)));
    const auto ascii = static_cast<uint32_t>(~_mm_movemask_epi8(here));
    return ascii & static_cast<uint32_t>(_mm_movemask_epi8(twoByteLeads));
}
#else
constexpr size_t lookStep = 8;

[[gnu::always_inline]] inline uint64_t likelyClusterStarts(const uint8_t *at)
{
    uint64_t here = 0;
    uint64_t after = 0;
    std::memcpy(&here, at, sizeof here);
    std::memcpy(&after, at + 1, sizeof after);
    if constexpr (std::endian::native == std::endian::big) {
        here = __builtin_bswap64(here);
        after = __builtin_bswap64(after);
    }
    // The high bit of each byte that qualifies, gathered into the low eight bits.
    const uint64_t high = ~here & after & (after << 1) & ~(after << 2) & 0x8080808080808080;
    return ((high >> 7) * 0x0102040810204080) >> 56;
}
#endif

// likelyClusterStarts for the `left` bytes at `at` alone: read in place when `readablePast` bytes
// after them are at hand as well, the starts past them masked off; else from a copy padded with
// zeros, which start no cluster.
[[gnu::always_inline]] inline uint64_t likelyClusterStartsWithin(const uint8_t *at, size_t left, size_t readablePast)
{
    if (left + readablePast > lookStep) {
        return likelyClusterStarts(at) & ((uint64_t{1} << std::min(left, lookStep)) - 1);
    }
    std::array<uint8_t, 2 * lookStep> padded{};
    std::copy(at, at + left, padded.begin());
    return likelyClusterStarts(padded.data());
}

} // namespace

// Looks ahead from where it got to, up to `limit`, for the clusters most text joins: a letter of
// ASCII and marks of two bytes after it. Each one is read and hashed once, and its slot in the
// table fetched early. Many bytes are looked at a time, so text without such clusters (ideographs,
// emoji) costs a few instructions a step. Any other cluster is read when it is asked for.
[[gnu::noinline]] void ClusterLookahead::fill(size_t limit)
{
    const uint8_t *const data = bytes_.data();
    const size_t size = bytes_.size();
    limit = std::min(limit, size);
    const ClusterTable::Prefetcher prefetch(table_);
    // Keeps the clusters that start at the bits of `starts`, counted from `next`. Returns where
    // looking goes on: past the word, or past the last cluster kept when the ring filled up.
    auto keepClusters = [&](uint64_t starts, size_t next) __attribute__((always_inline)) {
        for (; starts != 0; starts &= starts - 1) {
            const size_t start = next + static_cast<size_t>(std::countr_zero(starts));
            const size_t end = markedLetterEnd(bytes_, start, maximumMarks_, twoByteMarks_);
            if (end == start) {
                continue;
            }
            const ClusterTable::Key key = keyOf(bytes_, start, end);
            prefetch(key.hash);
            ring_[(head_ + count_) % ringSize] = {start, end, key};
            if (++count_ == ringSize) {
                return end;
            }
        }
        return next + lookStep;
    };
    size_t next = next_;
    const size_t stepsEnd = std::min(limit, size > lookStep ? size - lookStep : 0);
    while (next < stepsEnd && count_ < ringSize) {
        const uint64_t starts = likelyClusterStarts(data + next);
        next = starts == 0 ? next + lookStep : keepClusters(starts, next);
    }
    if (next < limit && count_ < ringSize) {
        // The last bytes, fewer than a step.
        const uint64_t starts = likelyClusterStartsWithin(data + next, size - next, readablePast_);
        next = std::min(keepClusters(starts, next), size);
    }
    next_ = next;
    if (next == size && !following_.empty()) {
        prefetchFirstClusterFollowing();
    }
}

// The next run's first cluster, most often a line on, would get no time for its slot to arrive:
// it is looked for in a few of the bytes after this run, and its slot fetched now.
void ClusterLookahead::prefetchFirstClusterFollowing()
{
    constexpr size_t reach = 4 * lookStep;
    const std::span<const uint8_t> bytes = following_;
    following_ = {};
    const size_t length = std::min(bytes.size(), reach);
    for (size_t at = 0; at < length; at += lookStep) {
        const uint64_t starts = likelyClusterStartsWithin(bytes.data() + at, bytes.size() - at, 0);
        if (starts == 0) {
            continue;
        }
        const size_t start = at + static_cast<size_t>(std::countr_zero(starts));
        const size_t end = markedLetterEnd(bytes, start, maximumMarks_, twoByteMarks_);
        if (end > start) {
            const ClusterTable::Prefetcher prefetch(table_);
            prefetch(keyOf(bytes, start, end).hash);
        }
        return;
    }
}

// clusterAt when the first cluster kept is not this one: looking ahead has not come this far, or
// kept clusters that other paths took.
[[gnu::noinline]] ClusterLookahead::Cluster ClusterLookahead::clusterNotFirst(size_t start)
{
    while (count_ > 0 && ring_[head_].start < start) {
        head_ = (head_ + 1) % ringSize;
        --count_;
    }
    if (count_ == 0 && next_ <= start) {
        // Looking ahead goes on from here.
        next_ = start;
    }
    if (count_ < ringSize / 2) {
        fill(start + distance);
    }
    if (count_ > 0 && ring_[head_].start == start) {
        return takeFirst(start);
    }
    // Looking ahead went past without a cluster here: there is none, or it went another way (a
    // scalar it took for the start of a cluster joined the one before). This one is read alone.
    Entry entry{};
    if (scan(start, entry).value_or(false)) {
        return {entry.end, entry.key};
    }
    return {start, {}};
}

} // namespace kestrix
