#pragma once

#include <cstdint>
#include <memory>

namespace kestrix {

// What the print path needs to know of one scalar, packed in one byte. Looked up in a table built
// once for the planes where text and emoji live; scalars above them are asked of ICU directly.
class ScalarProperties {
public:
    static ScalarProperties of(uint32_t scalar)
    {
        return scalar < tableSize ? table()[scalar] : compute(scalar);
    }

    // UnicodeUtil::columnWidth.
    int width() const { return (bits_ & widthMask) - 1; }
    // A zero-width joiner, a combining mark, an emoji modifier or a variation selector: the scalar
    // is offered to the cell printed before it.
    bool joinsPrevious() const { return (bits_ & joinsPreviousBit) != 0; }
    // Grapheme break class Extend, ZWJ or SpacingMark: it never starts a cluster, so it joins the
    // cell before it whenever that does not end with a control.
    bool neverStartsCluster() const { return (bits_ & neverStartsClusterBit) != 0; }
    // Grapheme break class Control, CR or LF: nothing joins a cell ending with it.
    bool isControl() const { return (bits_ & controlBit) != 0; }
    // Grapheme break class Extend alone.
    bool isExtend() const { return (bits_ & extendBit) != 0; }
    // Extended_Pictographic: joins a pictograph and its extenders that end with a zero-width joiner.
    bool isPictographic() const { return (bits_ & pictographicBit) != 0; }
    // One or two columns, not joining the previous cell by itself and not a regional indicator: the
    // scalar takes a cell of its own unless that cell ends with a zero-width joiner.
    bool printsAlone() const { return (bits_ & printsAloneBit) != 0; }

    // The Basic Multilingual Plane and the plane of the emoji.
    static constexpr uint32_t tableSize = 0x20000;
    // The properties of the scalars below tableSize, for a loop that looks up many: `of` asks
    // whether the table is built yet on every call.
    static const ScalarProperties *table()
    {
        // Built on first use and never changed after.
        static const std::unique_ptr<ScalarProperties[]> properties = buildTable();
        return properties.get();
    }

private:
    static constexpr uint8_t widthMask = 3;
    static constexpr uint8_t joinsPreviousBit = 4;
    static constexpr uint8_t neverStartsClusterBit = 8;
    static constexpr uint8_t controlBit = 16;
    static constexpr uint8_t extendBit = 32;
    static constexpr uint8_t pictographicBit = 64;
    static constexpr uint8_t printsAloneBit = 128;

    static ScalarProperties compute(uint32_t scalar);
    static std::unique_ptr<ScalarProperties[]> buildTable();

    uint8_t bits_ = 0;
};

} // namespace kestrix
