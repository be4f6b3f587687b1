#pragma once

#include <QPointF>
#include <QRawFont>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kestrix {

// Text in one font, the key of a shaping result.
struct ShaperKey {
    QString fontName;
    double fontSize = 0;
    QString text;

    friend bool operator==(const ShaperKey &, const ShaperKey &) = default;
};

} // namespace kestrix

template <> struct std::hash<kestrix::ShaperKey> {
    size_t operator()(const kestrix::ShaperKey &key) const noexcept;
};

namespace kestrix {

// The glyphs of one font in shaped text; a fallback font gets a run of its own.
struct ShaperGlyphRun {
    QRawFont font;
    std::vector<quint32> glyphs;
    // One per glyph, from the line's origin on the baseline, y up.
    std::vector<QPointF> positions;
};

struct ShaperRun {
    std::vector<ShaperGlyphRun> glyphRuns;
    // Every run's positions, in run order.
    std::vector<QPointF> positions;
    int64_t glyphCount = 0;
};

// A bounded cache of shaped text. Eviction is by age of first insertion: a lookup does not refresh a
// key, and replacing a key's value keeps its place.
class ShaperCache {
public:
    static constexpr size_t defaultMaxEntries = 2048;

    explicit ShaperCache(size_t maxEntries = defaultMaxEntries) : maxEntries_(maxEntries) {}

    std::shared_ptr<const ShaperRun> lookup(const ShaperKey &key) const;
    void insert(std::shared_ptr<const ShaperRun> run, const ShaperKey &key);

    size_t size() const { return cache_.size(); }
    size_t maxEntries() const { return maxEntries_; }
    const std::deque<ShaperKey> &order() const { return order_; }

private:
    size_t maxEntries_;
    std::unordered_map<ShaperKey, std::shared_ptr<const ShaperRun>> cache_;
    std::deque<ShaperKey> order_;
};

} // namespace kestrix
