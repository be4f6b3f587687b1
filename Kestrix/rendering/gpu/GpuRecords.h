#pragma once

#include <cstddef>

// The records the GPU renderer's shaders read, packed as they lie in a buffer. Positions are drawable
// pixels with the origin at the lower-left corner and y growing upwards; colours are straight (not
// premultiplied) floats in 0...1. Every colour starts on a 16-byte boundary, so the shaders can read
// each record as whole four-float texels.

namespace kestrix {

struct GpuPoint {
    float x = 0;
    float y = 0;

    friend bool operator==(const GpuPoint &, const GpuPoint &) = default;
};

struct GpuColor {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;

    friend bool operator==(const GpuColor &, const GpuColor &) = default;
};

// One corner of a textured triangle: cursor glyphs and image quads.
struct GlyphVertex {
    GpuPoint position;
    GpuPoint texCoord;
    GpuColor color;

    friend bool operator==(const GlyphVertex &, const GlyphVertex &) = default;
};

// One corner of a plain triangle: cursor shapes.
struct ColorVertex {
    GpuPoint position;
    float padding[2] = {0, 0};
    GpuColor color;

    friend bool operator==(const ColorVertex &, const ColorVertex &) = default;
};

// One textured quad, expanded to six corners by the shader.
struct TextCell {
    GpuPoint position;
    GpuPoint size;
    GpuPoint texOrigin;
    GpuPoint texSize;
    GpuColor color;

    friend bool operator==(const TextCell &, const TextCell &) = default;
};

// One filled quad: backgrounds, selection and decorations.
struct ColorCell {
    GpuPoint position;
    GpuPoint size;
    GpuColor color;

    friend bool operator==(const ColorCell &, const ColorCell &) = default;
};

static_assert(sizeof(GlyphVertex) == 32 && offsetof(GlyphVertex, color) == 16);
static_assert(sizeof(ColorVertex) == 32 && offsetof(ColorVertex, color) == 16);
static_assert(sizeof(TextCell) == 48 && offsetof(TextCell, color) == 32);
static_assert(sizeof(ColorCell) == 32 && offsetof(ColorCell, color) == 16);

} // namespace kestrix
