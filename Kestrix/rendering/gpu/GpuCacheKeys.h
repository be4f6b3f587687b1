#pragma once

#include "Kestrix/graphics/KittyGraphicsImage.h"
#include "Kestrix/graphics/KittyGraphicsState.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// The values that key the GPU renderer's caches. Floating-point fields compare numerically (+0 equals
// -0, a NaN equals nothing) and hash so that +0 and -0 agree.

namespace kestrix {

// A glyph of one font at one size.
struct GlyphKey {
    QString fontName;
    // The font's size; for a device-scaled font, its point size times the scale.
    double size = 0;
    uint32_t glyph = 0;
    // How much wider and taller than the font the glyph is drawn: the device scale, doubled across
    // on double-width lines and both ways on double-height lines.
    double stretchX = 1;
    double stretchY = 1;

    friend bool operator==(const GlyphKey &, const GlyphKey &) = default;
};

// A procedural box-drawing or block-element glyph rasterized into the atlas.
struct CustomGlyphKey {
    uint32_t codePoint = 0;
    int64_t cellWidthPx = 0;
    int64_t cellHeightPx = 0;
    int64_t baseThicknessPx = 0;
    // The nearest whole scale, at least 1.
    int64_t scale = 1;
    bool antiAlias = true;
    // The cell's glyph drawn this many times wider and taller (double-width and double-height lines).
    int stretchX = 1;
    int stretchY = 1;

    friend bool operator==(const CustomGlyphKey &, const CustomGlyphKey &) = default;
};

// A curved or round-capped decoration stroke rasterized into the atlas: its points in device pixels
// from the bitmap's corner, and the pen and device scale it is stroked with.
struct DecorationStrokeKey {
    std::vector<double> devicePoints; // x, y, x, y, ...
    double width = 0;
    double dash = 0;
    double gap = 0;
    bool roundCap = false;
    double scaleX = 1;
    double scaleY = 1;

    friend bool operator==(const DecorationStrokeKey &, const DecorationStrokeKey &) = default;
};

// What a Kitty image's texture was made from. A texture is reused only while the image's signature
// is unchanged. `revision` changes with every transmission, so an image sent again under its id is
// always uploaded again, even when its size and the start of its data are the same.
struct KittyImageSignature {
    // 1 for an encoded payload, 2 for raw RGBA.
    uint8_t kind = 0;
    // For RGBA only; 0 for an encoded payload.
    int64_t width = 0;
    int64_t height = 0;
    int64_t byteCount = 0;
    uint32_t headHash = 0;
    uint64_t revision = 0;

    friend bool operator==(const KittyImageSignature &, const KittyImageSignature &) = default;
};

// A summary of the terminal's Kitty images and placements; any change of it redraws every row.
struct KittyCacheStamp {
    int64_t imagesCount = 0;
    int64_t placementsCount = 0;
    uint32_t nextImageId = 0;
    uint32_t nextPlacementId = 0;
    uint64_t transmissionRevision = 0;

    friend bool operator==(const KittyCacheStamp &, const KittyCacheStamp &) = default;
};

// Everything a cached row's drawing depends on beyond its own line.
struct CacheSignature {
    double scale = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    double viewWidth = 0;
    double viewHeight = 0;
    int64_t yDisp = 0;
    int64_t rows = 0;
    int64_t cols = 0;
    QString fontName;
    double fontSize = 0;
    bool isAltBuffer = false;
    KittyCacheStamp kittyStamp;
    // The view's drawing state beyond the lines: colours, selection, highlights.
    uint64_t appearance = 0;
    // A summary of the virtual Kitty placements, which placeholder cells show slices of: one placed
    // again under its own ids with another size or offset changes none of the Kitty stamp's counts.
    uint64_t virtualPlacements = 0;

    friend bool operator==(const CacheSignature &, const CacheSignature &) = default;
};

// The 32-bit FNV-1a hash of the first `limit` bytes (fewer when there are fewer); 0 for none.
uint32_t headHash(std::span<const uint8_t> bytes, size_t limit = 64);

KittyImageSignature kittyImageSignature(const KittyGraphicsImage &image);
KittyCacheStamp kittyCacheStamp(const KittyGraphicsState &state);

// Mixes one more value into a running hash, in declaration order of the fields.
size_t hashCombine(size_t seed, size_t value);
// A double's hash, with -0 hashing like +0.
size_t hashDouble(double value);

} // namespace kestrix

template <> struct std::hash<kestrix::GlyphKey> {
    size_t operator()(const kestrix::GlyphKey &key) const noexcept;
};

template <> struct std::hash<kestrix::CustomGlyphKey> {
    size_t operator()(const kestrix::CustomGlyphKey &key) const noexcept;
};

template <> struct std::hash<kestrix::DecorationStrokeKey> {
    size_t operator()(const kestrix::DecorationStrokeKey &key) const noexcept;
};
