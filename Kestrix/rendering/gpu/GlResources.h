#pragma once

#include "Kestrix/rendering/gpu/BufferPool.h"
#include "Kestrix/rendering/gpu/GpuTexture.h"

class QOpenGLFunctions_3_3_Core;

// Textures and buffers in the GL context that is current when they are made. Each must also go while
// that context is current; the renderer drops them all before its context goes.

namespace kestrix {

class GlTexture final : public GpuTexture {
public:
    // Nothing when the driver refuses the size.
    static std::unique_ptr<GlTexture> create(QOpenGLFunctions_3_3_Core &gl, int width, int height,
                                             GpuPixelFormat format);
    ~GlTexture() override;
    GlTexture(const GlTexture &) = delete;
    GlTexture &operator=(const GlTexture &) = delete;

    int width() const override { return width_; }
    int height() const override { return height_; }
    GpuPixelFormat format() const override { return format_; }
    void replaceRegion(int x, int y, int width, int height, const uint8_t *pixels, int64_t bytesPerRow) override;
    unsigned int textureId() const override { return id_; }

private:
    GlTexture(QOpenGLFunctions_3_3_Core &gl, unsigned int id, int width, int height, GpuPixelFormat format);

    QOpenGLFunctions_3_3_Core &gl_;
    unsigned int id_;
    int width_;
    int height_;
    GpuPixelFormat format_;
};

class GlTextureFactory final : public GpuTextureFactory {
public:
    explicit GlTextureFactory(QOpenGLFunctions_3_3_Core &gl) : gl_(gl) {}
    std::unique_ptr<GpuTexture> makeTexture(int width, int height, GpuPixelFormat format) override;

private:
    QOpenGLFunctions_3_3_Core &gl_;
};

class GlBuffer final : public GpuBuffer {
public:
    static std::shared_ptr<GlBuffer> create(QOpenGLFunctions_3_3_Core &gl, int64_t length);
    ~GlBuffer() override;
    GlBuffer(const GlBuffer &) = delete;
    GlBuffer &operator=(const GlBuffer &) = delete;

    int64_t length() const override { return length_; }
    void write(const void *bytes, int64_t count) override;
    unsigned int bufferId() const override { return id_; }

private:
    GlBuffer(QOpenGLFunctions_3_3_Core &gl, unsigned int id, int64_t length);

    QOpenGLFunctions_3_3_Core &gl_;
    unsigned int id_;
    int64_t length_;
};

class GlBufferFactory final : public GpuBufferFactory {
public:
    explicit GlBufferFactory(QOpenGLFunctions_3_3_Core &gl) : gl_(gl) {}
    std::shared_ptr<GpuBuffer> makeBuffer(int64_t length) override;

private:
    QOpenGLFunctions_3_3_Core &gl_;
};

} // namespace kestrix
