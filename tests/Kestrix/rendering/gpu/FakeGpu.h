#pragma once

// Memory-only textures and buffers, so packing and pooling are tested without a GL context.

#include "Kestrix/rendering/gpu/BufferPool.h"
#include "Kestrix/rendering/gpu/GpuTexture.h"

#include <QtGlobal>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kestrix {

class FakeTexture final : public GpuTexture {
public:
    FakeTexture(int width, int height, GpuPixelFormat format)
        : width_(width), height_(height), format_(format),
          pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(bytesPerPixel(format)),
                 0xAB)
    {
    }

    int width() const override { return width_; }
    int height() const override { return height_; }
    GpuPixelFormat format() const override { return format_; }
    void replaceRegion(int x, int y, int width, int height, const uint8_t *source, int64_t bytesPerRow) override
    {
        EXPECT_TRUE(x >= 0 && y >= 0 && x + width <= width_ && y + height <= height_);
        const auto pixelBytes = static_cast<size_t>(bytesPerPixel(format_));
        for (int row = 0; row < height; ++row) {
            std::memcpy(pixels.data() + (static_cast<size_t>(y + row) * static_cast<size_t>(width_) +
                                         static_cast<size_t>(x)) * pixelBytes,
                        source + static_cast<size_t>(row) * static_cast<size_t>(bytesPerRow),
                        static_cast<size_t>(width) * pixelBytes);
        }
        ++uploads;
    }

    int width_;
    int height_;
    GpuPixelFormat format_;
    std::vector<uint8_t> pixels;
    int uploads = 0;
};

class FakeTextureFactory final : public GpuTextureFactory {
public:
    std::unique_ptr<GpuTexture> makeTexture(int width, int height, GpuPixelFormat format) override
    {
        if (refuseAbove > 0 && width > refuseAbove) {
            return nullptr;
        }
        ++made;
        return std::make_unique<FakeTexture>(width, height, format);
    }

    // Textures wider than this are refused; 0 refuses none.
    int refuseAbove = 0;
    int made = 0;
};

class FakeBuffer final : public GpuBuffer {
public:
    explicit FakeBuffer(int64_t length) : bytes(static_cast<size_t>(length)) {}
    int64_t length() const override { return static_cast<int64_t>(bytes.size()); }
    void write(const void *source, int64_t count) override
    {
        std::memcpy(bytes.data(), source, static_cast<size_t>(qMin<int64_t>(count, length())));
    }
    std::vector<uint8_t> bytes;
};

class FakeBufferFactory final : public GpuBufferFactory {
public:
    std::shared_ptr<GpuBuffer> makeBuffer(int64_t length) override
    {
        ++made;
        return std::make_shared<FakeBuffer>(length);
    }
    int made = 0;
};

} // namespace kestrix
