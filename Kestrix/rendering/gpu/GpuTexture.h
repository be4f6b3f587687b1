#pragma once

#include <cstdint>
#include <memory>

namespace kestrix {

// Pixel layouts of the renderer's textures: one coverage byte, or premultiplied B, G, R, A bytes.
enum class GpuPixelFormat : uint8_t { r8, bgra8 };

constexpr int bytesPerPixel(GpuPixelFormat format)
{
    return format == GpuPixelFormat::r8 ? 1 : 4;
}

// A texture on the GPU. Row 0 of the texture is the row at texture coordinate 0, which with the
// renderer's y-up positions is the bottom of what it shows.
class GpuTexture {
public:
    virtual ~GpuTexture() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual GpuPixelFormat format() const = 0;
    // Replaces the pixels of (x, y, width, height); `pixels` points at the rectangle's first pixel in a
    // copy whose rows are `bytesPerRow` apart.
    virtual void replaceRegion(int x, int y, int width, int height, const uint8_t *pixels,
                               int64_t bytesPerRow) = 0;
    // The GL name the draw code binds; 0 for a texture that lives nowhere but memory.
    virtual unsigned int textureId() const { return 0; }
};

// Makes textures; gives nothing when the GPU refuses one.
class GpuTextureFactory {
public:
    virtual ~GpuTextureFactory() = default;
    virtual std::unique_ptr<GpuTexture> makeTexture(int width, int height, GpuPixelFormat format) = 0;
};

} // namespace kestrix
