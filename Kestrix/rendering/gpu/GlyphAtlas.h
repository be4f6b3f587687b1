#pragma once

#include "Kestrix/rendering/gpu/GlyphBitmap.h"
#include "Kestrix/rendering/gpu/GpuTexture.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace kestrix {

// Where a glyph's pixels lie in an atlas, without its gutter.
struct AtlasRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const AtlasRegion &, const AtlasRegion &) = default;
};

// Coverage-only glyphs the renderer tints, or glyphs with their own colours.
enum class GlyphAtlasFormat : uint8_t { grayscale, bgra };
// Which atlas holds a cached glyph.
enum class GlyphAtlasKind : uint8_t { grayscale, color };

// A square texture that glyphs are packed into on shelves, with a copy of its pixels in memory so that
// it can grow without reading the GPU back. Every region keeps a one-pixel gutter that repeats the
// glyph's edge, so linear sampling at an edge never picks up a neighbour. When the atlas is full it
// doubles, up to its cap; at the cap it is cleared and every earlier region is gone.
class GlyphAtlas {
public:
    static constexpr int smallestSize = 256;

    // Nothing when the first texture cannot be made.
    static std::unique_ptr<GlyphAtlas> create(GpuTextureFactory &device, GlyphAtlasFormat format, int initialSize,
                                              int maxSize);

    // The size cap of a new atlas: "KESTRIX_ATLAS_MAX" when it holds a decimal number (raised to 256,
    // capped at 16384 on a GPU whose textures reach that size and 8192 otherwise), else 4096 for colour
    // and 8192 for grayscale; never above the largest texture the GPU makes.
    static int maximumSize(bool isColor, int maxTextureSize);
    static int maximumSize(bool isColor, int maxTextureSize, std::optional<std::string_view> environmentValue);

    // A place for a glyph of this size, or nothing. Afterwards `didReset()` tells whether every earlier
    // region was dropped, and a changed `size()` that the atlas grew (earlier regions keep their
    // pixels and positions, but normalised coordinates and the old texture are stale).
    std::optional<AtlasRegion> allocate(int width, int height);
    // Copies a glyph into the region `allocate` gave for it, rows flipped so that atlas rows grow
    // upwards like the renderer's y, and fills its gutter. A bitmap of another size is ignored.
    void upload(const GlyphBitmap &bitmap, const AtlasRegion &region);

    GlyphAtlasFormat format() const { return format_; }
    int bytesPerPixel() const { return bytesPerPixel_; }
    int maxSize() const { return maxSize_; }
    int size() const { return size_; }
    GpuTexture &texture() const { return *texture_; }
    const std::vector<uint8_t> &data() const { return data_; }
    bool didReset() const { return didReset_; }
    // A frozen atlas neither grows nor resets: glyphs that do not fit are skipped.
    bool frozen() const { return frozen_; }
    void setFrozen(bool frozen) { frozen_ = frozen; }
    int nextX() const { return nextX_; }
    int nextY() const { return nextY_; }
    int rowHeight() const { return rowHeight_; }
    // "grayscale" or "bgra", as the log names the atlas.
    QString name() const;

private:
    GlyphAtlas(GpuTextureFactory &device, GlyphAtlasFormat format, int size, int maxSize,
               std::unique_ptr<GpuTexture> texture);

    std::optional<AtlasRegion> placeOnShelf(int paddedWidth, int paddedHeight);
    int grownSize(int paddedWidth, int paddedHeight) const;
    bool grow(int newSize);
    void reset();
    void uploadRows(int x0, int y0, int x1, int y1);
    void fillGutter(const AtlasRegion &region);

    GpuTextureFactory &device_;
    GlyphAtlasFormat format_;
    int bytesPerPixel_;
    int maxSize_;
    int size_;
    std::unique_ptr<GpuTexture> texture_;
    std::vector<uint8_t> data_;
    int nextX_ = 0;
    int nextY_ = 0;
    int rowHeight_ = 0;
    bool didReset_ = false;
    bool frozen_ = false;
    bool loggedFrozenMiss_ = false;
    bool loggedResetOverflow_ = false;
};

} // namespace kestrix
