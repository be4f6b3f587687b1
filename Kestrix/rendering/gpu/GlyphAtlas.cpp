#include "Kestrix/rendering/gpu/GlyphAtlas.h"
#include "Kestrix/model/SignedDecimal.h"

#include "Kestrix/rendering/gpu/MetalLog.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace kestrix {

namespace {

constexpr int defaultColorCap = 4096;
constexpr int defaultGrayscaleCap = 8192;
constexpr int largeDeviceCap = 16384;
constexpr int smallDeviceCap = 8192;

} // namespace

std::unique_ptr<GlyphAtlas> GlyphAtlas::create(GpuTextureFactory &device, GlyphAtlasFormat format, int initialSize,
                                               int maxSize)
{
    const int size = std::max(smallestSize, std::min(initialSize, maxSize));
    const GpuPixelFormat pixelFormat = format == GlyphAtlasFormat::grayscale ? GpuPixelFormat::r8 : GpuPixelFormat::bgra8;
    std::unique_ptr<GpuTexture> texture = device.makeTexture(size, size, pixelFormat);
    if (!texture) {
        return nullptr;
    }
    return std::unique_ptr<GlyphAtlas>(
        new GlyphAtlas(device, format, size, std::max(maxSize, size), std::move(texture)));
}

GlyphAtlas::GlyphAtlas(GpuTextureFactory &device, GlyphAtlasFormat format, int size, int maxSize,
                       std::unique_ptr<GpuTexture> texture)
    : device_(device), format_(format), bytesPerPixel_(format == GlyphAtlasFormat::grayscale ? 1 : 4),
      maxSize_(maxSize), size_(size), texture_(std::move(texture)),
      data_(static_cast<size_t>(size) * static_cast<size_t>(size) * static_cast<size_t>(bytesPerPixel_), 0)
{
}

int GlyphAtlas::maximumSize(bool isColor, int maxTextureSize)
{
    const char *value = std::getenv("KESTRIX_ATLAS_MAX");
    return maximumSize(isColor, maxTextureSize, value ? std::optional<std::string_view>(value) : std::nullopt);
}

int GlyphAtlas::maximumSize(bool isColor, int maxTextureSize, std::optional<std::string_view> environmentValue)
{
    int cap = isColor ? defaultColorCap : defaultGrayscaleCap;
    if (const std::optional<int64_t> requested = environmentValue ? parseSignedDecimal(*environmentValue) : std::nullopt) {
        const int deviceCap = maxTextureSize >= largeDeviceCap ? largeDeviceCap : smallDeviceCap;
        cap = static_cast<int>(std::clamp<int64_t>(*requested, smallestSize, deviceCap));
    }
    // Growth must never ask the driver for a texture it refuses; every GL 3.3 driver makes 1024.
    return std::min(cap, std::max(maxTextureSize, 1024));
}

QString GlyphAtlas::name() const
{
    return format_ == GlyphAtlasFormat::grayscale ? QStringLiteral("grayscale") : QStringLiteral("bgra");
}

std::optional<AtlasRegion> GlyphAtlas::placeOnShelf(int paddedWidth, int paddedHeight)
{
    if (size_ < paddedWidth || size_ < paddedHeight) {
        return std::nullopt;
    }
    if (nextX_ + paddedWidth > size_) {
        nextX_ = 0;
        nextY_ += rowHeight_;
        rowHeight_ = 0;
    }
    if (nextY_ + paddedHeight > size_) {
        return std::nullopt;
    }
    const AtlasRegion padded{nextX_, nextY_, paddedWidth, paddedHeight};
    nextX_ += paddedWidth;
    rowHeight_ = std::max(rowHeight_, paddedHeight);
    return AtlasRegion{padded.x + 1, padded.y + 1, paddedWidth - 2, paddedHeight - 2};
}

std::optional<AtlasRegion> GlyphAtlas::allocate(int width, int height)
{
    didReset_ = false;
    if (width <= 0 || height <= 0 || width > maxSize_ || height > maxSize_) {
        return std::nullopt;
    }
    const int paddedWidth = width + 2;
    const int paddedHeight = height + 2;
    if (const std::optional<AtlasRegion> region = placeOnShelf(paddedWidth, paddedHeight)) {
        return region;
    }
    if (frozen_) {
        if (!loggedFrozenMiss_) {
            loggedFrozenMiss_ = true;
            qCCritical(metalAtlasLog).noquote()
                << QStringLiteral("glyph atlas (%1) frozen and full; glyphs will be skipped this frame").arg(name());
        }
        return std::nullopt;
    }
    if (maxSize_ < paddedWidth || maxSize_ < paddedHeight) {
        return std::nullopt;
    }
    const int newSize = grownSize(paddedWidth, paddedHeight);
    if (newSize > size_ && grow(newSize)) {
        if (const std::optional<AtlasRegion> region = placeOnShelf(paddedWidth, paddedHeight)) {
            return region;
        }
    }
    if (!loggedResetOverflow_) {
        loggedResetOverflow_ = true;
        qCWarning(metalAtlasLog).noquote()
            << QStringLiteral("glyph atlas (%1) reset at size %2: glyph working set exceeds capacity")
                   .arg(name())
                   .arg(size_);
    }
    reset();
    didReset_ = true;
    return placeOnShelf(paddedWidth, paddedHeight);
}

int GlyphAtlas::grownSize(int paddedWidth, int paddedHeight) const
{
    const int needed = std::max({paddedWidth, paddedHeight, nextY_ + paddedHeight});
    int candidate = size_;
    while (candidate < maxSize_ && candidate < needed) {
        candidate *= 2;
    }
    return std::min(candidate, maxSize_);
}

bool GlyphAtlas::grow(int newSize)
{
    const GpuPixelFormat pixelFormat = format_ == GlyphAtlasFormat::grayscale ? GpuPixelFormat::r8 : GpuPixelFormat::bgra8;
    std::unique_ptr<GpuTexture> texture = device_.makeTexture(newSize, newSize, pixelFormat);
    if (!texture) {
        qCWarning(metalAtlasLog).noquote()
            << QStringLiteral("glyph atlas (%1) grow to %2 failed: texture allocation").arg(name()).arg(newSize);
        return false;
    }
    qCInfo(metalAtlasLog).noquote()
        << QStringLiteral("glyph atlas (%1) grow: %2 -> %3").arg(name()).arg(size_).arg(newSize);
    const size_t oldRowBytes = static_cast<size_t>(size_) * static_cast<size_t>(bytesPerPixel_);
    const size_t newRowBytes = static_cast<size_t>(newSize) * static_cast<size_t>(bytesPerPixel_);
    std::vector<uint8_t> data(newRowBytes * static_cast<size_t>(newSize), 0);
    for (size_t row = 0; row < static_cast<size_t>(size_); ++row) {
        std::memcpy(data.data() + row * newRowBytes, data_.data() + row * oldRowBytes, oldRowBytes);
    }
    size_ = newSize;
    data_ = std::move(data);
    texture_ = std::move(texture);
    loggedFrozenMiss_ = false;
    loggedResetOverflow_ = false;
    uploadRows(0, 0, size_, size_);
    return true;
}

void GlyphAtlas::reset()
{
    nextX_ = 0;
    nextY_ = 0;
    rowHeight_ = 0;
    std::fill(data_.begin(), data_.end(), uint8_t{0});
    uploadRows(0, 0, size_, size_);
}

void GlyphAtlas::uploadRows(int x0, int y0, int x1, int y1)
{
    const int64_t rowBytes = static_cast<int64_t>(size_) * bytesPerPixel_;
    const size_t start = static_cast<size_t>(y0) * static_cast<size_t>(rowBytes) +
                         static_cast<size_t>(x0) * static_cast<size_t>(bytesPerPixel_);
    texture_->replaceRegion(x0, y0, x1 - x0, y1 - y0, data_.data() + start, rowBytes);
}

void GlyphAtlas::upload(const GlyphBitmap &bitmap, const AtlasRegion &region)
{
    const size_t pixelCount = static_cast<size_t>(std::max(0, bitmap.width)) * static_cast<size_t>(std::max(0, bitmap.height));
    const bool inside = region.x >= 0 && region.y >= 0 && region.x + region.width <= size_ &&
                        region.y + region.height <= size_;
    if (bitmap.width != region.width || bitmap.height != region.height || region.width <= 0 ||
        region.height <= 0 || !inside || bitmap.pixels.size() < pixelCount * 4) {
        return;
    }
    const size_t rowBytes = static_cast<size_t>(size_) * static_cast<size_t>(bytesPerPixel_);
    for (int k = 0; k < bitmap.height; ++k) {
        const uint8_t *source = bitmap.pixels.data() + static_cast<size_t>(k) * static_cast<size_t>(bitmap.width) * 4;
        const auto atlasRow = static_cast<size_t>(region.y + (region.height - 1 - k));
        uint8_t *target = data_.data() + atlasRow * rowBytes + static_cast<size_t>(region.x) * bytesPerPixel_;
        if (format_ == GlyphAtlasFormat::bgra) {
            std::memcpy(target, source, static_cast<size_t>(bitmap.width) * 4);
        } else {
            // A glyph drawn in white carries its coverage in every byte; alpha is that coverage.
            for (int x = 0; x < bitmap.width; ++x) {
                target[x] = source[static_cast<size_t>(x) * 4 + 3];
            }
        }
    }
    fillGutter(region);
    uploadRows(std::max(0, region.x - 1), std::max(0, region.y - 1), std::min(region.x + region.width + 1, size_),
               std::min(region.y + region.height + 1, size_));
}

void GlyphAtlas::fillGutter(const AtlasRegion &region)
{
    const size_t rowBytes = static_cast<size_t>(size_) * static_cast<size_t>(bytesPerPixel_);
    const auto pixelBytes = static_cast<size_t>(bytesPerPixel_);
    const auto rowAt = [&](int y) { return data_.data() + static_cast<size_t>(y) * rowBytes; };
    const size_t glyphBytes = static_cast<size_t>(region.width) * pixelBytes;
    const size_t left = static_cast<size_t>(region.x) * pixelBytes;
    if (region.y - 1 >= 0) {
        std::memcpy(rowAt(region.y - 1) + left, rowAt(region.y) + left, glyphBytes);
    }
    if (region.y + region.height < size_) {
        std::memcpy(rowAt(region.y + region.height) + left, rowAt(region.y + region.height - 1) + left, glyphBytes);
    }
    const int firstRow = std::max(0, region.y - 1);
    const int lastRow = std::min(size_ - 1, region.y + region.height);
    for (int y = firstRow; y <= lastRow; ++y) {
        uint8_t *row = rowAt(y);
        if (region.x - 1 >= 0) {
            std::memcpy(row + left - pixelBytes, row + left, pixelBytes);
        }
        if (region.x + region.width < size_) {
            std::memcpy(row + left + glyphBytes, row + left + glyphBytes - pixelBytes, pixelBytes);
        }
    }
}

} // namespace kestrix
